#include "lv2/turtle.h"

#include <charconv>
#include <cmath>
#include <sstream>

#include "core/oversampler.h"
#include "core/programs.h"
#include "core/value_text.h"
#include "lv2/ports.h"

namespace lv2face {

namespace {

constexpr const char* kPrefixes =
    "@prefix doap:  <http://usefulinc.com/ns/doap#> .\n"
    "@prefix lv2:   <http://lv2plug.in/ns/lv2core#> .\n"
    "@prefix opts:  <http://lv2plug.in/ns/ext/options#> .\n"
    "@prefix pprops: <http://lv2plug.in/ns/ext/port-props#> .\n"
    "@prefix pset:  <http://lv2plug.in/ns/ext/presets#> .\n"
    "@prefix rdf:   <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
    "@prefix rdfs:  <http://www.w3.org/2000/01/rdf-schema#> .\n"
    "@prefix ui:    <http://lv2plug.in/ns/extensions/ui#> .\n"
    "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
    "@prefix urid:  <http://lv2plug.in/ns/ext/urid#> .\n\n";

std::string quoted(const char* text) {
    std::string out = "\"";
    for (const char* c = text; *c; ++c) {
        if (*c == '"' || *c == '\\') out += '\\';
        out += *c;
    }
    return out + '"';
}

std::string uri(const std::string& text) { return "<" + text + ">"; }

// The range and kind of one control input, from its row.
void describeControl(std::ostringstream& out, const ParamRow& row) {
    const auto steps = static_cast<float>(row.steps);
    out << "        lv2:default " << decimal(portValue(row, row.defaultRaw)) << " ;\n"
        << "        lv2:minimum " << decimal(portValue(row, 0.0f)) << " ;\n"
        << "        lv2:maximum " << decimal(portValue(row, steps)) << " ;\n";
    switch (row.shown) {
        case Shown::kDecibels:
            out << "        units:unit units:db ;\n";
            break;
        case Shown::kPercent:
            // Linear in steps: a host can offer exactly the knob's steps.
            out << "        units:unit units:pc ;\n"
                << "        pprops:rangeSteps " << row.steps + 1 << " ;\n";
            break;
        case Shown::kOnOff:
            out << "        lv2:portProperty lv2:toggled , lv2:integer ;\n";
            break;
        case Shown::kFactor:
            // A new factor restarts the filters and changes the latency:
            // a setting, not something to automate.
            out << "        lv2:portProperty pprops:notAutomatic ;\n";
            [[fallthrough]];
        case Shown::kProgramName:
            out << "        lv2:portProperty lv2:enumeration , lv2:integer ;\n";
            for (int32_t step = 0; step <= row.steps; ++step) {
                out << "        lv2:scalePoint [ rdfs:label " << quoted(valueText(row, static_cast<float>(step)).c_str())
                    << " ; rdf:value " << step << " ] ;\n";
            }
            break;
    }
}

void describePort(std::ostringstream& out, int32_t index, const Port& port) {
    const bool input =
        port.kind != PortKind::kAudioOut && port.kind != PortKind::kMeter && port.kind != PortKind::kLatency;
    const bool audio = port.kind == PortKind::kAudioIn || port.kind == PortKind::kAudioOut;
    out << "    [\n"
        << "        a lv2:" << (input ? "InputPort" : "OutputPort") << " , lv2:" << (audio ? "AudioPort" : "ControlPort")
        << " ;\n"
        << "        lv2:index " << index << " ;\n"
        << "        lv2:symbol " << quoted(port.symbol) << " ;\n"
        << "        lv2:name " << quoted(port.name) << " ;\n";
    switch (port.kind) {
        case PortKind::kAudioIn:
        case PortKind::kAudioOut:
            break;
        case PortKind::kControl:
            describeControl(out, *port.row);
            break;
        case PortKind::kEnabled:
            // The bypass switch turned round: 1 processes, 0 passes the input.
            out << "        lv2:designation lv2:enabled ;\n"
                << "        lv2:default 1 ;\n"
                << "        lv2:minimum 0 ;\n"
                << "        lv2:maximum 1 ;\n"
                << "        lv2:portProperty lv2:toggled , lv2:integer ;\n";
            break;
        case PortKind::kLatency:
            // Hosts that read it align the other tracks; it may be left unconnected.
            out << "        lv2:designation lv2:latency ;\n"
                << "        lv2:minimum 0 ;\n"
                << "        lv2:maximum " << Oversampler::latencyFor(Oversampler::kMaxFactor) << " ;\n"
                << "        lv2:portProperty lv2:connectionOptional , lv2:integer , pprops:notOnGUI ;\n";
            break;
        case PortKind::kMeter:
            // For the editor; a host may leave them unconnected.
            out << "        lv2:minimum 0.0 ;\n"
                << "        lv2:maximum 1.0 ;\n";
            if (port.meter == Meter::kClip) {
                out << "        lv2:portProperty lv2:connectionOptional , lv2:toggled ;\n";
            } else {
                out << "        lv2:portProperty lv2:connectionOptional ;\n";
            }
            break;
    }
    out << "    ]";
}

}  // namespace

std::string decimal(float value) {
    if (value == 0.0f) return "0.0";  // -0 too
    char text[64];
    const auto [end, error] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
    if (error != std::errc()) return "0.0";
    std::string out(text, end);
    if (out.find('.') == std::string::npos) out += ".0";
    return out;
}

std::string presetUri(int program) { return std::string(kPluginUri) + "#program" + std::to_string(program); }

std::string manifestTurtle() {
    std::ostringstream out;
    out << kPrefixes;
    out << uri(kPluginUri) << "\n"
        << "    a lv2:Plugin ;\n"
        << "    lv2:binary " << uri(kBinary) << " ;\n"
        << "    rdfs:seeAlso <Varnox.ttl> .\n\n";
    out << uri(kUiUri) << "\n"
        << "    a ui:X11UI ;\n"
        << "    ui:binary " << uri(kUiBinary) << " ;\n"
        << "    rdfs:seeAlso <Varnox.ttl> .\n";
    for (int32_t p = 0; p < kProgramCount; ++p) {
        out << "\n"
            << uri(presetUri(p)) << "\n"
            << "    a pset:Preset ;\n"
            << "    lv2:appliesTo " << uri(kPluginUri) << " ;\n"
            << "    rdfs:seeAlso <presets.ttl> .\n";
    }
    return out.str();
}

std::string pluginTurtle() {
    std::ostringstream out;
    out << kPrefixes;
    out << uri(kPluginUri) << "\n"
        << "    a lv2:Plugin , lv2:DistortionPlugin ;\n"
        << "    doap:name " << quoted(kPluginName) << " ;\n"
        << "    lv2:minorVersion 0 ;\n"
        << "    lv2:microVersion 0 ;\n"
        << "    lv2:optionalFeature lv2:hardRTCapable ;\n"
        << "    ui:ui " << uri(kUiUri) << " ;\n"
        << "    lv2:port\n";
    for (int32_t p = 0; p < kPortCount; ++p) {
        describePort(out, p, kPorts[p]);
        out << (p + 1 < kPortCount ? " ,\n" : " .\n");
    }

    // Only ports: the UI works in a host that runs it in another process.
    out << "\n"
        << uri(kUiUri) << "\n"
        << "    a ui:X11UI ;\n"
        << "    lv2:requiredFeature ui:parent , ui:idleInterface ;\n"
        << "    lv2:optionalFeature ui:resize , ui:touch , urid:map , opts:options ;\n"
        << "    lv2:extensionData ui:idleInterface ;\n"
        << "    opts:supportedOption ui:scaleFactor";
    for (int32_t p = 0; p < kPortCount; ++p) {
        if (kPorts[p].kind != PortKind::kMeter) continue;
        out << " ;\n    ui:portNotification [\n"
            << "        ui:plugin " << uri(kPluginUri) << " ;\n"
            << "        lv2:symbol " << quoted(kPorts[p].symbol) << " ;\n"
            << "        ui:protocol ui:floatProtocol\n"
            << "    ]";
    }
    out << " .\n";
    return out.str();
}

std::string presetsTurtle() {
    std::ostringstream out;
    out << kPrefixes;
    for (int32_t program = 0; program < kProgramCount; ++program) {
        out << uri(presetUri(program)) << "\n"
            << "    a pset:Preset ;\n"
            << "    lv2:appliesTo " << uri(kPluginUri) << " ;\n"
            << "    rdfs:label " << quoted(kFactoryPrograms[program].name) << " ;\n"
            << "    lv2:port\n";
        bool first = true;
        for (int32_t p = 0; p < kPortCount; ++p) {
            const Port& port = kPorts[p];
            if (port.kind != PortKind::kControl || port.parameter < 0) continue;
            out << (first ? "" : " ,\n") << "    [\n"
                << "        lv2:symbol " << quoted(port.symbol) << " ;\n"
                << "        pset:value " << decimal(portValue(*port.row, factoryRaw(program, port.parameter))) << "\n"
                << "    ]";
            first = false;
        }
        out << " .\n\n";
    }
    return out.str();
}

}  // namespace lv2face
