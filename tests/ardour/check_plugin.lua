-- Ardour's headless Lua session with one Varnox bundle (VARNOX_ARDOUR_FORMAT:
-- vst3 or lv2) on a bus after a sine generator (-12 dBFS, 440 Hz), on the
-- Dummy backend. Each level is the peak the bus's meter saw over half a
-- second. Run by scripts/check-ardour.
local dir = assert(os.getenv("VARNOX_ARDOUR_SESSION"), "VARNOX_ARDOUR_SESSION not set")
-- What differs between the faces: how Ardour finds the plug-in, where its
-- controls start among its parameters, and the values they take (VST 3
-- raw steps; LV2 control ports in what the editor shows, percent and dB).
local formats = {
  vst3 = {id = "ORv Varnox", type = ARDOUR.PluginType.VST3, what = "the VST 3 bundle", first = 1,
          driveMax = 128, ingainMax = 128},
  lv2 = {id = "urn:zem:varnox", type = ARDOUR.PluginType.LV2, what = "the LV2 bundle", first = 5,
         driveMax = 100, ingainMax = 16.010288},
}
local face = assert(formats[os.getenv("VARNOX_ARDOUR_FORMAT") or ""], "VARNOX_ARDOUR_FORMAT is vst3 or lv2")
local failures = 0
local function check(ok, what)
  print((ok and "ok     " or "FAILED ") .. what)
  if not ok then failures = failures + 1 end
end

AudioEngine:set_backend("None (Dummy)", "", "")
local session = create_session(dir, "varnox", 48000)
assert(session, "no session")
local bus = session:new_audio_route(2, 2, nil, 1, "Varnox", ARDOUR.PresentationInfo.Flag.AudioBus,
                                    ARDOUR.PresentationInfo.max_order):front()
local sine = ARDOUR.LuaAPI.new_luaproc(session, "SinGen")
assert(not sine:isnil(), "no sine generator")
bus:add_processor_by_index(sine, 0, nil, true)
ARDOUR.LuaAPI.set_processor_param(sine, 0, 440)
ARDOUR.LuaAPI.set_processor_param(sine, 1, -12)

local fx = ARDOUR.LuaAPI.new_plugin(session, face.id, face.type, "")
check(not fx:isnil(), "Ardour loads " .. face.what)
if fx:isnil() then
  close_session()
  quit()
end
check(bus:add_processor_by_index(fx, 1, nil, true) == 0, "the effect goes on the bus")
local plugin = fx:to_insert():plugin(0)
local names = {}
for i = 0, plugin:parameter_count() - 1 do names[#names + 1] = plugin:parameter_label(i) end
print("parameters: " .. table.concat(names, ", "))
-- LV2: Ardour lists every port, and the controls follow the four audio ports.
check(names[face.first] == "Ingain" and names[face.first + 3] == "Drive", "parameters in the VST 2 order")

-- The generator smooths its gain: let it settle before the first reading.
ARDOUR.LuaAPI.usleep(2000000)
local function level()
  ARDOUR.LuaAPI.usleep(300000)
  bus:peak_meter():reset_max()
  ARDOUR.LuaAPI.usleep(500000)
  return bus:peak_meter():meter_level(0, ARDOUR.MeterType.MeterMaxPeak)
end

fx:deactivate()
local dry = level()
fx:activate()
local default = level()
print(string.format("without the effect %.4f dB, default program %.4f dB", dry, default))
check(math.abs(default - dry) < 0.001, "the default program is transparent")

ARDOUR.LuaAPI.set_processor_param(fx, 3, face.driveMax)  -- Drive 100 %
local driven = level()
print(string.format("Drive 100 %%: %.4f dB", driven))
check(math.abs(driven - dry) > 1.0, "Drive up changes the level")

ARDOUR.LuaAPI.set_processor_param(fx, 3, 0)
ARDOUR.LuaAPI.set_processor_param(fx, 0, face.ingainMax)  -- Ingain +16 dB
local gained = level()
print(string.format("Ingain +16 dB: %.4f dB", gained))
check(gained > dry + 1.0, "Ingain up raises the level")

close_session()
print(failures == 0 and "ardour check passed" or "ardour check FAILED")
quit()
