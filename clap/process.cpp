// The block call: parameter events applied at their sample offsets, the
// block split at each, every piece through the effect core's block path.
#include <algorithm>

#include "clap/plugin.h"

namespace clapface {

namespace {

// The host's channel `index` of the first port, or null.
float* channelOf(const clap_audio_buffer_t* ports, uint32_t count, uint32_t index) {
    if (!ports || count < 1 || ports[0].channel_count <= index || !ports[0].data32) return nullptr;
    return ports[0].data32[index];
}

bool silent(const float* samples, uint32_t frames) {
    return !samples || std::all_of(samples, samples + frames, [](float s) { return s == 0.0f; });
}

}  // namespace

clap_process_status Plugin::process(const clap_process_t& block) {
    if (!active) return CLAP_PROCESS_ERROR;
    const uint32_t frames = block.frames_count;
    // What the editor did since the last call comes first, at the block's start.
    edits.drainTo(block.out_events, 0);

    float* inputs[2];
    float* outputs[2];
    for (uint32_t ch = 0; ch < 2; ++ch) {
        float* host = channelOf(block.audio_inputs, block.audio_inputs_count, ch);
        inputs[ch] = host ? host : silence[ch].data();
        outputs[ch] = channelOf(block.audio_outputs, block.audio_outputs_count, ch);
    }

    uint32_t position = 0;
    applyInputEvents(block.in_events, block.out_events, frames, position, inputs, outputs);
    render(inputs, outputs, position, frames);

    // Silent outputs say so; after a tail of silence in and out, nothing
    // changes until the input or a parameter does.
    bool quiet = true;
    for (uint32_t ch = 0; ch < 2; ++ch) {
        if (inputs[ch] != silence[ch].data() && !silent(inputs[ch], frames)) quiet = false;
    }
    if (block.audio_outputs && block.audio_outputs_count >= 1) {
        uint64_t mask = 0;
        for (uint32_t ch = 0; ch < 2; ++ch) {
            if (outputs[ch] && silent(outputs[ch], frames)) {
                mask |= uint64_t{1} << ch;
            } else if (outputs[ch]) {
                quiet = false;
            }
        }
        block.audio_outputs[0].constant_mask = mask;
    }
    return quiet ? CLAP_PROCESS_SLEEP : CLAP_PROCESS_CONTINUE;
}

void Plugin::applyInputEvents(const clap_input_events_t* in, const clap_output_events_t* out, uint32_t frames,
                              uint32_t& position, float* const* inputs, float* const* outputs) {
    const uint32_t count = in && in->size && in->get ? in->size(in) : 0;
    for (uint32_t e = 0; e < count; ++e) {
        const clap_event_header_t* header = in->get(in, e);
        if (!header || header->space_id != CLAP_CORE_EVENT_SPACE_ID || header->type != CLAP_EVENT_PARAM_VALUE ||
            header->size < sizeof(clap_event_param_value_t))
            continue;
        // Events come in time order; one out of order or past the end takes
        // effect where the block has got to, or at its end.
        const uint32_t at = std::min(std::max(header->time, position), frames);
        if (at > position) {
            render(inputs, outputs, position, at);
            position = at;
        }
        applyEvent(*reinterpret_cast<const clap_event_param_value_t*>(header), out,
                   std::min(at, frames > 0 ? frames - 1 : 0));
    }
}

// The bypass row's place among the face parameters; -1 for none.
constexpr int32_t kBypassPlace = [] {
    for (std::size_t i = 0; i < kFaceParameters.size(); ++i) {
        if (kFaceParameters[i].kind == ParamKind::kBypass) return static_cast<int32_t>(i);
    }
    return -1;
}();

void Plugin::render(float* const* inputs, float* const* outputs, uint32_t start, uint32_t end) {
    if (start >= end) return;
    const bool bypassed = kBypassPlace >= 0 && face[static_cast<std::size_t>(kBypassPlace)] == 1.0f;
    // Silence stands in for a missing input one piece of its length at a time.
    const bool needsSilence = inputs[0] == silence[0].data() || inputs[1] == silence[1].data();
    const uint32_t chunk = needsSilence ? static_cast<uint32_t>(std::min(silence[0].size(), silence[1].size())) : end;
    for (uint32_t at = start; at < end;) {
        const uint32_t count = std::min(chunk, end - at);
        float* in[2] = {inputs[0] + (inputs[0] == silence[0].data() ? 0 : at),
                        inputs[1] + (inputs[1] == silence[1].data() ? 0 : at)};
        float* out[2] = {outputs[0] ? outputs[0] + at : nullptr, outputs[1] ? outputs[1] + at : nullptr};
        if (bypassed) {
            // Delayed by the oversampling's latency, so that the bypass does not shift the signal.
            effect.bypassBlock(in, out, static_cast<int32_t>(count));
        } else {
            // Every pin is connected: only buffers passed twice narrow the routing.
            const Routing routing = routeBlock(in, out, [](Pin, int32_t) { return true; });
            effect.processBlock(routing, in, out, static_cast<int32_t>(count), false);
        }
        at += count;
    }
}

}  // namespace clapface
