// The block call: parameter changes applied at their sample offsets, the block
// split at every change, each piece through the effect's own block path.
#include <algorithm>
#include <climits>
#include <cstring>

#include "vst3/component.h"
#include "vst3/parameters.h"

namespace vst3face {

using namespace vst3;

namespace {

// One host queue, read point by point in offset order.
struct Cursor {
    IParamValueQueue* queue = nullptr;
    int32 count = 0;
    int32 next = 0;
    int32 floor = 0;  // offsets never go back within a block

    bool pending() const { return next < count; }
    // The next point, its offset kept within the block and after the last.
    bool peek(int32 frames, int32& offset, ParamValue& value) const {
        if (queue->getPoint(next, offset, value) != kResultOk) return false;
        offset = std::clamp(std::max(offset, floor), 0, frames);
        return true;
    }
};

// At one offset the program comes first, so that values set with it win.
constexpr ParamID kApplyOrder[kParameterCount] = {kProgramId, kBypassId, 0, 1, 2, 3, 4, 5};

float* channel(const AudioBusBuffers* buses, int32 count, int32 index) {
    if (!buses || count < 1 || buses[0].numChannels <= index || !buses[0].channelBuffers32) return nullptr;
    return buses[0].channelBuffers32[index];
}

bool silentFlag(const AudioBusBuffers* buses, int32 count, int32 index) {
    return buses && count >= 1 && (buses[0].silenceFlags >> index) & 1u;
}

}  // namespace

tresult VST3_API Component::process(ProcessData& data) {
    if (data.symbolicSampleSize != kSample32) return kInvalidArgument;
    HostSideScope hostSide;
    const int32 frames = std::max<int32>(data.numSamples, 0);

    Cursor cursors[kParameterCount];
    if (IParameterChanges* changes = data.inputParameterChanges) {
        const int32 queues = changes->getParameterCount();
        for (int32 q = 0; q < queues; ++q) {
            IParamValueQueue* queue = changes->getParameterData(q);
            if (!queue) continue;
            const ParamID id = queue->getParameterId();
            if (id >= static_cast<ParamID>(kParameterCount) || cursors[id].queue) continue;
            cursors[id].queue = queue;
            cursors[id].count = queue->getPointCount();
        }
    }

    int32 position = 0;
    for (;;) {
        int32 next = INT_MAX;
        for (Cursor& cursor : cursors) {
            int32 offset;
            ParamValue value;
            while (cursor.pending() && !cursor.peek(frames, offset, value)) ++cursor.next;  // unreadable point
            if (cursor.pending()) next = std::min(next, offset);
        }
        const int32 end = std::min(next, frames);
        if (end > position) {
            render(data, position, end);
            position = end;
        }
        if (next == INT_MAX) break;

        for (const ParamID id : kApplyOrder) {
            Cursor& cursor = cursors[id];
            int32 offset;
            ParamValue value;
            while (cursor.pending() && cursor.peek(frames, offset, value) && offset == next) {
                cursor.floor = offset;
                ++cursor.next;
                if (id == kBypassId) {
                    bypass = listIndex(value, 1) == 1;
                } else if (id == kProgramId) {
                    if (applyProgram(listIndex(value, kFactoryProgramCount - 1)))
                        reportProgramValues(data, std::min(offset, std::max(frames - 1, 0)));
                } else {
                    applyHostValue(static_cast<int32_t>(id), value);
                }
            }
        }
    }

    // Silent outputs say so, which lets the host skip work after us.
    for (int32 out = 0; data.outputs && out < std::min<int32>(data.numOutputs, 1); ++out) {
        AudioBusBuffers& bus = data.outputs[out];
        uint64 flags = 0;
        for (int32 ch = 0; ch < bus.numChannels && ch < 64; ++ch) {
            const float* samples = bus.channelBuffers32 ? bus.channelBuffers32[ch] : nullptr;
            if (!samples) continue;
            if (std::all_of(samples, samples + frames, [](float s) { return s == 0.0f; })) flags |= uint64{1} << ch;
        }
        bus.silenceFlags = flags;
    }
    return kResultOk;
}

void Component::reportProgramValues(ProcessData& data, int32 offset) {
    IParameterChanges* changes = data.outputParameterChanges;
    if (!changes) return;
    for (int32_t i = 0; i < kEffectParameterCount; ++i) {
        int32 index = 0;
        IParamValueQueue* queue = changes->addParameterData(static_cast<ParamID>(i), index);
        if (queue) queue->addPoint(offset, effect.readParameter(i), index);
    }
}

void Component::render(ProcessData& data, int32_t start, int32_t end) {
    float* out[2] = {nullptr, nullptr};
    const float* in[2] = {nullptr, nullptr};
    bool needsSilence = false;
    for (int32 ch = 0; ch < 2; ++ch) {
        out[ch] = data.outputs ? channel(data.outputs, data.numOutputs, ch) : nullptr;
        float* host = data.inputs ? channel(data.inputs, data.numInputs, ch) : nullptr;
        // A buffer flagged silent holds zeros by contract; read our own zeros
        // rather than trust a host that left it uncleared.
        if (host && !silentFlag(data.inputs, data.numInputs, ch)) {
            in[ch] = host;
        } else {
            needsSilence = true;
        }
    }
    const int32 limit = needsSilence ? static_cast<int32>(std::min(silence[0].size(), silence[1].size())) : end - start;
    // Splitting a block without a change in it leaves the effect's output as it is.
    for (int32 at = start; at < end; at += limit) {
        const int32 count = std::min(limit, end - at);
        float* inputs[2];
        float* outputs[2];
        for (int32 ch = 0; ch < 2; ++ch) {
            inputs[ch] = in[ch] ? const_cast<float*>(in[ch]) + at : silence[ch].data();
            outputs[ch] = out[ch] ? out[ch] + at : nullptr;
        }
        if (bypass.load()) {
            for (int32 ch = 0; ch < 2; ++ch) {
                if (outputs[ch] && outputs[ch] != inputs[ch]) std::memmove(outputs[ch], inputs[ch], count * sizeof(float));
            }
        } else if (effect.isSwitchedOn()) {
            effect.processReplace(inputs, outputs, count);
        } else {
            // Not switched on: the effect writes nothing, and the host must not hear its buffers' old contents.
            for (int32 ch = 0; ch < 2; ++ch) {
                if (outputs[ch]) std::fill_n(outputs[ch], count, 0.0f);
            }
        }
    }
}

}  // namespace vst3face
