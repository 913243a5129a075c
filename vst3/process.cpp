// The block call: parameter changes applied at their sample offsets, the block
// split at every change, each piece through the effect core's block path.
#include <algorithm>
#include <climits>
#include <cstring>

#include "core/value_text.h"
#include "vst3/component.h"
#include "vst3/parameters.h"

namespace vst3face {

using namespace vst3;

namespace {

// One host queue, read point by point in offset order; each point is asked
// for once.
struct Cursor {
    ParamID id = 0;
    IParamValueQueue* queue = nullptr;
    int32 count = 0;
    int32 next = -1;
    int32 offset = INT_MAX;  // of the next point; INT_MAX when there is none
    ParamValue value = 0.0;

    void start(IParamValueQueue* q, int32 frames) {
        queue = q;
        count = q->getPointCount();
        advance(frames);
    }
    // Moves to the next readable point, its offset kept within the block and
    // never before the previous one's.
    void advance(int32 frames) {
        const int32 floor = next < 0 ? 0 : offset;
        offset = INT_MAX;
        while (++next < count) {
            int32 at = 0;
            if (queue->getPoint(next, at, value) != kResultOk) continue;
            offset = std::clamp(std::max(at, floor), 0, frames);
            return;
        }
    }
};

// At one offset the program comes first, so that values set with it win,
// then bypass, then the parameters in id order.
int32 applyRank(ParamID id) { return id == kProgramId ? -2 : id == kBypassId ? -1 : static_cast<int32>(id); }

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
    const int32 frames = std::max<int32>(data.numSamples, 0);
    const Channels channels = channelsOf(data);

    // The queues of our parameters, in the order points at one offset apply.
    Cursor cursors[kParameterCount];
    int32 active = 0;
    if (IParameterChanges* changes = data.inputParameterChanges) {
        bool seen[kParameterCount] = {};
        const int32 queues = changes->getParameterCount();
        for (int32 q = 0; q < queues; ++q) {
            IParamValueQueue* queue = changes->getParameterData(q);
            if (!queue) continue;
            const ParamID id = queue->getParameterId();
            if (id >= static_cast<ParamID>(kParameterCount) || seen[id]) continue;
            seen[id] = true;
            int32 at = active++;
            for (; at > 0 && applyRank(cursors[at - 1].id) > applyRank(id); --at) cursors[at] = cursors[at - 1];
            cursors[at] = Cursor{};
            cursors[at].id = id;
            cursors[at].start(queue, frames);
        }
    }

    int32 position = 0;
    for (;;) {
        int32 next = INT_MAX;
        for (int32 c = 0; c < active; ++c) next = std::min(next, cursors[c].offset);
        const int32 end = std::min(next, frames);
        if (end > position) {
            render(channels, position, end);
            position = end;
        }
        if (next == INT_MAX) break;

        for (int32 c = 0; c < active; ++c) {
            Cursor& cursor = cursors[c];
            for (; cursor.offset == next; cursor.advance(frames)) {
                if (cursor.id == kBypassId) {
                    bypass = rawFromNormalized(kBypassRow, cursor.value) == 1.0f;
                } else if (cursor.id == kProgramId) {
                    if (applyProgram(static_cast<int32_t>(rawFromNormalized(kProgramRow, cursor.value))))
                        reportProgramValues(data, std::min(next, std::max(frames - 1, 0)));
                } else {
                    applyHostValue(static_cast<int32_t>(cursor.id), cursor.value);
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
    for (int32_t i = 0; i < kParamCount; ++i) {
        int32 index = 0;
        IParamValueQueue* queue = changes->addParameterData(static_cast<ParamID>(i), index);
        if (queue) queue->addPoint(offset, effect.normalized(i), index);
    }
}

Component::Channels Component::channelsOf(ProcessData& data) {
    Channels channels{};
    bool needsSilence = false;
    for (int32 ch = 0; ch < 2; ++ch) {
        channels.out[ch] = data.outputs ? channel(data.outputs, data.numOutputs, ch) : nullptr;
        float* host = data.inputs ? channel(data.inputs, data.numInputs, ch) : nullptr;
        // A buffer flagged silent holds zeros by contract; read our own zeros
        // rather than trust a host that left it uncleared.
        const bool silent = !host || silentFlag(data.inputs, data.numInputs, ch);
        channels.in[ch] = silent ? silence[ch].data() : host;
        needsSilence = needsSilence || silent;
    }
    channels.chunk = needsSilence ? static_cast<int32>(std::min(silence[0].size(), silence[1].size())) : INT_MAX;
    channels.switchedOn = effect.isSwitchedOn();
    return channels;
}

void Component::render(const Channels& channels, int32_t start, int32_t end) {
    const bool bypassed = bypass.load(std::memory_order_relaxed);
    // Splitting a block without a change in it leaves the effect's output as it is.
    for (int32 at = start; at < end;) {
        const int32 count = std::min(channels.chunk, end - at);
        float* inputs[2] = {channels.in[0] + (channels.in[0] == silence[0].data() ? 0 : at),
                            channels.in[1] + (channels.in[1] == silence[1].data() ? 0 : at)};
        float* outputs[2] = {channels.out[0] ? channels.out[0] + at : nullptr,
                             channels.out[1] ? channels.out[1] + at : nullptr};
        if (bypassed) {
            for (int32 ch = 0; ch < 2; ++ch) {
                if (outputs[ch] && outputs[ch] != inputs[ch])
                    std::memmove(outputs[ch], inputs[ch], static_cast<std::size_t>(count) * sizeof(float));
            }
        } else if (channels.switchedOn) {
            // Every pin is connected: only buffers passed twice narrow the routing.
            const Routing routing = routeBlock(inputs, outputs, [](Pin, int32_t) { return true; });
            effect.processBlock(routing, inputs, outputs, count, false);
        } else {
            // Not switched on, the effect writes nothing; the host must not hear its buffers' old contents.
            for (int32 ch = 0; ch < 2; ++ch) {
                if (outputs[ch]) std::fill_n(outputs[ch], count, 0.0f);
            }
        }
        at += count;
    }
}

}  // namespace vst3face
