#include "tools/render/plugin_host.h"

#include <cstring>
#include <mutex>

#include "tools/render/tool_error.h"

namespace {

constexpr intptr_t kHostVstVersion = 2400;

// Plug-ins copy names and texts without a bound; hosts hand out buffers far
// larger than any text they expect.
constexpr size_t kTextBufferSize = 256;

// Instances are made and closed one at a time, as a DAW does on its main
// thread: a plug-in's entry may keep process-wide state. Processing on
// several threads at once, one instance each, is what hosts do too.
std::mutex lifecycle;

}  // namespace

PluginHost::PluginHost(const std::string& libraryPath) {
    std::lock_guard<std::mutex> lock(lifecycle);
    if (!library.open(libraryPath)) {
        // The loader's reason often repeats the path.
        std::string reason = library.error();
        if (reason.rfind(libraryPath + ": ", 0) == 0) reason.erase(0, libraryPath.size() + 2);
        throw ToolError(kExitPlugin, "cannot load plug-in '" + libraryPath + "': " + reason);
    }
    auto entry = reinterpret_cast<VstEntryProc>(library.symbol("main"));
    if (entry == nullptr) entry = reinterpret_cast<VstEntryProc>(library.symbol("VSTPluginMain"));
    if (entry == nullptr)
        throw ToolError(kExitPlugin, "plug-in '" + libraryPath + "' exports no VST 2 entry (main)");
    open(entry, "plug-in '" + libraryPath + "'");
}

PluginHost::PluginHost(VstEntryProc entry, const std::string& description) {
    std::lock_guard<std::mutex> lock(lifecycle);
    open(entry, description);
}

void PluginHost::open(VstEntryProc entry, const std::string& what) {
    effect = entry(&PluginHost::hostCallback);
    if (effect == nullptr) throw ToolError(kExitPlugin, what + " made no effect (main returned null)");
    if (effect->magic != kEffectMagic) {
        effect = nullptr;  // not a record we may call into
        throw ToolError(kExitPlugin, what + " is not a VST 2 effect (bad magic)");
    }
    effect->user = this;
    if (effect->processReplacing == nullptr || (effect->flags & effFlagsCanReplacing) == 0) {
        dispatch(effClose);
        effect = nullptr;
        throw ToolError(kExitPlugin, what + " cannot process in replacing mode");
    }
    dispatch(effOpen);
}

PluginHost::~PluginHost() {
    std::lock_guard<std::mutex> lock(lifecycle);
    if (effect == nullptr) return;
    if (running) stop();
    // effClose destroys the instance; the record is gone afterwards.
    dispatch(effClose);
    effect = nullptr;
}

intptr_t VSTCALLBACK PluginHost::hostCallback(AEffect* effect, int32_t opcode, int32_t /*index*/,
                                              intptr_t /*value*/, void* /*ptr*/, float /*opt*/) {
    // During the entry call the record is not ours yet (user is still null).
    auto* host = effect != nullptr ? static_cast<PluginHost*>(effect->user) : nullptr;
    switch (opcode) {
    case audioMasterVersion:
        return kHostVstVersion;
    case audioMasterPinConnected:
        return 0;  // 0 means connected: every pin is
    case audioMasterGetSampleRate:
        return host != nullptr ? static_cast<intptr_t>(host->rate) : 0;
    case audioMasterGetBlockSize:
        return host != nullptr ? host->block : 0;
    case audioMasterAutomate:
    default:
        return 0;
    }
}

intptr_t PluginHost::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

std::string PluginHost::textRequest(int32_t opcode, int32_t index) {
    char text[kTextBufferSize] = {};
    dispatch(opcode, index, 0, text);
    text[kTextBufferSize - 1] = '\0';
    return text;
}

std::string PluginHost::effectName() { return textRequest(effGetEffectName, 0); }
std::string PluginHost::vendorName() { return textRequest(effGetVendorString, 0); }
int PluginHost::currentProgram() { return static_cast<int>(dispatch(effGetProgram)); }

std::string PluginHost::programName(int program) { return textRequest(effGetProgramNameIndexed, program); }

void PluginHost::selectProgram(int program) { dispatch(effSetProgram, 0, program); }

std::string PluginHost::parameterName(int index) { return textRequest(effGetParamName, index); }
std::string PluginHost::parameterLabel(int index) { return textRequest(effGetParamLabel, index); }
std::string PluginHost::parameterDisplay(int index) { return textRequest(effGetParamDisplay, index); }
float PluginHost::parameter(int index) { return effect->getParameter(effect, index); }
void PluginHost::setParameter(int index, float value) { effect->setParameter(effect, index, value); }

void PluginHost::start(float sampleRate, int blockSize) {
    rate = sampleRate;
    block = blockSize;
    dispatch(effSetSampleRate, 0, 0, nullptr, sampleRate);
    dispatch(effSetBlockSize, 0, blockSize);
    dispatch(effMainsChanged, 0, 1);
    running = true;
}

void PluginHost::process(float** inputs, float** outputs, int frames) {
    effect->processReplacing(effect, inputs, outputs, frames);
}

void PluginHost::stop() {
    dispatch(effMainsChanged, 0, 0);
    running = false;
}
