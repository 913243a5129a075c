// The LV2 face's ports, from the parameter table: stereo audio in and out, a
// control input for each parameter a host can set (the effect's own, then the
// face parameters but the program list, which the presets stand for), and
// the meters the editor shows as control outputs, so that a UI needs nothing
// but ports. The Turtle generator and the plug-in both read this one list.
#pragma once

#include <array>
#include <cstdint>

#include "core/parameters.h"

namespace lv2face {

constexpr const char* kPluginUri = "urn:zem:varnox";
constexpr const char* kUiUri = "urn:zem:varnox#editor";
constexpr const char* kPluginName = "ORv Varnox";
constexpr const char* kBinary = "Varnox.so";
constexpr const char* kUiBinary = "Varnox_ui.so";

enum class PortKind {
    kAudioIn,
    kAudioOut,
    kControl,  // a parameter, in the units the editor shows
    kEnabled,  // the bypass row, inverted: lv2:enabled, 1 processes
    kMeter,    // a control output for the editor's display
    kLatency,  // a control output: the delay oversampling adds, in frames
};

enum class Meter { kNone, kPeakLeft, kPeakRight, kClip };

struct Port {
    PortKind kind;
    const char* symbol;
    const char* name;
    const ParamRow* row = nullptr;  // kControl, kEnabled
    int32_t parameter = -1;         // kControl of an effect parameter: its index
    Meter meter = Meter::kNone;
};

/// Whether a face parameter has a port; the program list has presets instead.
constexpr bool hasPort(const ParamRow& row) { return row.kind != ParamKind::kProgram; }

constexpr int32_t countControlPorts() {
    int32_t count = kParamCount;
    for (const ParamRow& row : kFaceParameters) count += hasPort(row) ? 1 : 0;
    return count;
}

constexpr int32_t kAudioPortCount = 4;
constexpr int32_t kMeterCount = 3;
constexpr int32_t kPortCount = kAudioPortCount + countControlPorts() + kMeterCount + 1;

/// A port symbol from a parameter's name: lower case, blanks as '_'.
struct Symbol {
    std::array<char, 32> chars{};
    constexpr Symbol() = default;
    constexpr explicit Symbol(const char* name) {
        std::size_t n = 0;
        for (; name[n] && n + 1 < chars.size(); ++n) {
            const char c = name[n];
            chars[n] = c == ' ' ? '_' : (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        }
    }
};

constexpr std::array<Symbol, kParamCount + kFaceParameters.size()> kSymbols = [] {
    std::array<Symbol, kParamCount + kFaceParameters.size()> symbols{};
    for (int32_t i = 0; i < kParamCount; ++i) symbols[i] = Symbol(kParameters[i].name);
    for (std::size_t i = 0; i < kFaceParameters.size(); ++i) symbols[kParamCount + i] = Symbol(kFaceParameters[i].name);
    return symbols;
}();

constexpr std::array<Port, kPortCount> kPorts = [] {
    std::array<Port, kPortCount> ports{};
    int32_t at = 0;
    ports[at++] = Port{PortKind::kAudioIn, "in_l", "Left In"};
    ports[at++] = Port{PortKind::kAudioIn, "in_r", "Right In"};
    ports[at++] = Port{PortKind::kAudioOut, "out_l", "Left Out"};
    ports[at++] = Port{PortKind::kAudioOut, "out_r", "Right Out"};
    for (int32_t i = 0; i < kParamCount; ++i) {
        ports[at++] = Port{PortKind::kControl, kSymbols[i].chars.data(), kParameters[i].name, &kParameters[i], i};
    }
    for (std::size_t i = 0; i < kFaceParameters.size(); ++i) {
        const ParamRow& row = kFaceParameters[i];
        if (!hasPort(row)) continue;
        if (row.kind == ParamKind::kBypass) {
            ports[at++] = Port{PortKind::kEnabled, "enabled", "Enabled", &row};
        } else {
            ports[at++] = Port{PortKind::kControl, kSymbols[kParamCount + i].chars.data(), row.name, &row};
        }
    }
    ports[at++] = Port{PortKind::kMeter, "peak_left", "Left Peak", nullptr, -1, Meter::kPeakLeft};
    ports[at++] = Port{PortKind::kMeter, "peak_right", "Right Peak", nullptr, -1, Meter::kPeakRight};
    ports[at++] = Port{PortKind::kMeter, "clip", "Clip", nullptr, -1, Meter::kClip};
    ports[at++] = Port{PortKind::kLatency, "latency", "Latency"};
    return ports;
}();

/// The port of effect parameter `index`, or -1.
constexpr int32_t portOfParameter(int32_t index) {
    for (int32_t p = 0; p < kPortCount; ++p) {
        if (kPorts[p].kind == PortKind::kControl && kPorts[p].parameter == index && index >= 0) return p;
    }
    return -1;
}

constexpr int32_t portOfMeter(Meter meter) {
    for (int32_t p = 0; p < kPortCount; ++p) {
        if (kPorts[p].meter == meter) return p;
    }
    return -1;
}

constexpr int32_t kLatencyPort = kPortCount - 1;

constexpr std::array<int32_t, 3> kMeterPorts = {portOfMeter(Meter::kPeakLeft), portOfMeter(Meter::kPeakRight),
                                                 portOfMeter(Meter::kClip)};

/// The value a port carries for raw step `raw`: the number the editor shows
/// (dB, percent), 0 or 1 for a switch, the entry's index for a list.
float portValue(const ParamRow& row, float raw);

/// The raw step a port value takes (core/value_text.h stepOfShown).
float rawOfPortValue(const ParamRow& row, float value);

}  // namespace lv2face
