#include "lv2/plugin.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/routing.h"

namespace lv2face {

namespace {

constexpr double kMeterWindowSeconds = 0.05;

float valueAt(void* port, float fallback) { return port ? *static_cast<const float*>(port) : fallback; }

}  // namespace

Plugin::Plugin(double rate) : sampleRate(static_cast<float>(rate)) {
    lastValue.fill(std::numeric_limits<float>::quiet_NaN());
    effect.setSampleRate(sampleRate);
    effect.offerOversampling();
    if (rate > 0.0) windowLength = std::max<uint32_t>(1, static_cast<uint32_t>(rate * kMeterWindowSeconds));
}

void Plugin::connect(uint32_t port, void* data) {
    if (port < ports.size()) ports[port] = data;
}

bool Plugin::activate() {
    meters.fill(MeterHold{});
    windowFrames = 0;
    return effect.switchOn(sampleRate, kWorkFrames);
}

void Plugin::deactivate() { effect.switchOff(); }

void Plugin::applyControls() {
    for (int32_t p = 0; p < kPortCount; ++p) {
        const Port& port = kPorts[p];
        if (port.kind != PortKind::kControl && port.kind != PortKind::kEnabled) continue;
        const float value = valueAt(ports[p], lastValue[p]);
        // Unchanged (NaN never equals: an unconnected port keeps its default).
        if (value == lastValue[p] || std::isnan(value)) continue;
        lastValue[p] = value;
        if (port.kind == PortKind::kEnabled) {
            // lv2:toggled: above 0 is on, and on means processing.
            bypassed = !(value > 0.0f);
            continue;
        }
        const float raw = rawOfPortValue(*port.row, value);
        if (port.row->kind == ParamKind::kOversampling) {
            effect.setOversampling(oversamplingFactorOf(raw));
            continue;
        }
        if (port.parameter < 0) continue;  // a face parameter this face does not use yet
        if (raw == effect.rawValue[port.parameter]) continue;
        // As a host's value raw / maximum, which takes exactly that step.
        effect.setParameter(port.parameter, raw / kRawMaximum[port.parameter], true, -1);
    }
}

void Plugin::updateMeters(uint32_t frames) {
    const float readings[3] = {effect.display.peakLeft, effect.display.peakRight, effect.display.clipLevel};
    for (int m = 0; m < 3; ++m) meters[m].current = std::max(meters[m].current, readings[m]);
    effect.display.peakLeft = 0.0f;
    effect.display.peakRight = 0.0f;
    effect.display.clipLevel = 0.0f;

    for (int m = 0; m < 3; ++m) {
        if (void* port = ports[kMeterPorts[m]]) *static_cast<float*>(port) = meters[m].value();
    }
    windowFrames += frames;
    if (windowFrames >= windowLength) {
        windowFrames = 0;
        for (MeterHold& meter : meters) meter = MeterHold{0.0f, meter.current};
    }
}

void Plugin::run(uint32_t frames) {
    applyControls();
    const auto count = static_cast<int32_t>(std::min<uint32_t>(frames, INT32_MAX));
    float* in[2] = {static_cast<float*>(ports[0]), static_cast<float*>(ports[1])};
    float* out[2] = {static_cast<float*>(ports[2]), static_cast<float*>(ports[3])};

    if (bypassed) {
        // Delayed by the oversampling's latency, so that the bypass does not shift the signal.
        effect.bypassBlock(in, out, count);
    } else if (effect.isSwitchedOn()) {
        // Every port is connected: only a buffer passed twice narrows the routing.
        const Routing routing = routeBlock(in, out, [](Pin, int32_t) { return true; });
        effect.processBlock(routing, in, out, count, false);
    } else {
        for (float* channel : out) {
            if (channel) std::fill_n(channel, count, 0.0f);
        }
    }
    updateMeters(frames);
    if (void* latency = ports[kLatencyPort]) *static_cast<float*>(latency) = static_cast<float>(effect.latency());
}

}  // namespace lv2face
