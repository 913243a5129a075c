// The block call: parameter changes applied at their sample offsets, the block
// split at every change, each piece through the effect core's block path.
#include <algorithm>
#include <climits>
#include <cstring>
#include <type_traits>

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

// Channel `index` of the first bus, or null. Both members of the buffers'
// union are arrays of pointers: either one says whether there is a buffer.
template <typename Sample>
Sample* channel(const AudioBusBuffers* buses, int32 count, int32 index) {
    if (!buses || count < 1 || buses[0].numChannels <= index || !buses[0].channelBuffers32) return nullptr;
    if constexpr (std::is_same_v<Sample, double>) {
        return buses[0].channelBuffers64[index];
    } else {
        return buses[0].channelBuffers32[index];
    }
}

bool silentFlag(const AudioBusBuffers* buses, int32 count, int32 index) {
    return buses && count >= 1 && index < 64 && (buses[0].silenceFlags >> index) & 1u;
}

template <typename Sample>
uint64 silentChannels(const AudioBusBuffers& bus, Sample* const* buffers, int32 frames) {
    uint64 flags = 0;
    for (int32 ch = 0; ch < bus.numChannels && ch < 64; ++ch) {
        const Sample* samples = buffers ? buffers[ch] : nullptr;
        if (!samples) continue;
        if (std::all_of(samples, samples + frames, [](Sample s) { return s == Sample(0); })) flags |= uint64{1} << ch;
    }
    return flags;
}

}  // namespace

tresult VST3_API Component::process(ProcessData& data) {
    // 64-bit blocks need the buffers setupProcessing made for them.
    const bool wide = data.symbolicSampleSize == kSample64 && !wideInput[0].empty();
    if (data.symbolicSampleSize != kSample32 && !wide) return kInvalidArgument;
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
                } else if (cursor.id == kOversamplingId) {
                    applyOversampling(rawFromNormalized(kOversamplingRow, cursor.value));
                } else {
                    applyHostValue(static_cast<int32_t>(cursor.id), cursor.value);
                }
            }
        }
    }

    // Silent outputs say so, which lets the host skip work after us.
    for (int32 out = 0; data.outputs && out < std::min<int32>(data.numOutputs, 1); ++out) {
        AudioBusBuffers& bus = data.outputs[out];
        bus.silenceFlags = wide ? silentChannels(bus, bus.channelBuffers64, frames)
                                : silentChannels(bus, bus.channelBuffers32, frames);
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
    channels.wide = data.symbolicSampleSize == kSample64;
    bool needsSilence = false;
    for (int32 ch = 0; ch < 2; ++ch) {
        // A mono input feeds both of the effect's inputs with the same buffer,
        // which the effect runs as one channel copied to both results, as for
        // a VST 2 host on a mono track; a mono output takes the left result.
        const int32 source = inputChannels == 1 ? 0 : ch;
        const bool outputHere = ch < outputChannels;
        if (channels.wide) {
            channels.out64[ch] = outputHere ? channel<double>(data.outputs, data.numOutputs, ch) : nullptr;
            channels.in64[ch] = channel<double>(data.inputs, data.numInputs, source);
        } else {
            channels.out[ch] = outputHere ? channel<float>(data.outputs, data.numOutputs, ch) : nullptr;
            channels.in[ch] = channel<float>(data.inputs, data.numInputs, source);
        }
        // A buffer flagged silent holds zeros by contract; read our own zeros
        // rather than trust a host that left it uncleared.
        const bool silent = (channels.wide ? !channels.in64[ch] : !channels.in[ch]) ||
                            silentFlag(data.inputs, data.numInputs, source);
        if (silent) {
            channels.in[ch] = silence[source].data();
            channels.in64[ch] = nullptr;
            needsSilence = true;
        }
    }
    const auto ours = static_cast<int32>(std::min(silence[0].size(), silence[1].size()));
    channels.chunk = needsSilence || channels.wide ? ours : INT_MAX;
    channels.switchedOn = effect.isSwitchedOn();
    return channels;
}

void Component::render(const Channels& channels, int32_t start, int32_t end) {
    const bool bypassed = bypass.load(std::memory_order_relaxed);
    // Splitting a block without a change in it leaves the effect's output as it is.
    for (int32 at = start; at < end;) {
        const int32 count = std::min(channels.chunk, end - at);
        if (channels.wide) {
            renderWidePiece(channels, at, count, bypassed);
        } else {
            renderPiece(channels, at, count, bypassed);
        }
        at += count;
    }
}

void Component::renderPiece(const Channels& channels, int32_t at, int32_t count, bool bypassed) {
    const auto ownSilence = [this](const float* buffer) {
        return buffer == silence[0].data() || buffer == silence[1].data();
    };
    float* inputs[2] = {channels.in[0] + (ownSilence(channels.in[0]) ? 0 : at),
                        channels.in[1] + (ownSilence(channels.in[1]) ? 0 : at)};
    float* outputs[2] = {channels.out[0] ? channels.out[0] + at : nullptr,
                         channels.out[1] ? channels.out[1] + at : nullptr};
    if (bypassed) {
        // Delayed by the oversampling's latency, so that the bypass does not shift the signal.
        effect.bypassBlock(inputs, outputs, count);
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
}

void Component::renderWidePiece(const Channels& channels, int32_t at, int32_t count, bool bypassed) {
    if (bypassed && effect.latency() == 0) {
        // Bit for bit, as in 32 bits: no rounding on the way past the effect.
        for (int32 ch = 0; ch < 2; ++ch) {
            double* out = channels.out64[ch] ? channels.out64[ch] + at : nullptr;
            const double* in = channels.in64[ch] ? channels.in64[ch] + at : nullptr;
            if (!out || out == in) continue;
            if (in) {
                std::memmove(out, in, static_cast<std::size_t>(count) * sizeof(double));
            } else {
                std::fill_n(out, count, 0.0);
            }
        }
        return;
    }
    // The host's buffers map onto ours as they are: one buffer passed twice
    // stays one buffer, which is what tells the effect a channel is mono.
    Channels piece{};
    for (int32 ch = 0; ch < 2; ++ch) {
        const double* in = channels.in64[ch];
        if (!in) {
            piece.in[ch] = channels.in[ch];  // our silence
        } else if (ch == 1 && in == channels.in64[0]) {
            piece.in[1] = piece.in[0];
        } else {
            std::transform(in + at, in + at + count, wideInput[ch].begin(),
                           [](double s) { return static_cast<float>(s); });
            piece.in[ch] = wideInput[ch].data();
        }
        const double* out = channels.out64[ch];
        piece.out[ch] = !out ? nullptr : ch == 1 && out == channels.out64[0] ? piece.out[0] : wideOutput[ch].data();
    }
    piece.switchedOn = channels.switchedOn;
    renderPiece(piece, 0, count, bypassed);
    // Every host buffer is read above before any is written: in place is safe.
    for (int32 ch = 0; ch < 2; ++ch) {
        double* out = channels.out64[ch];
        if (!out || (ch == 1 && out == channels.out64[0])) continue;
        std::copy_n(piece.out[ch], count, out + at);
    }
}

}  // namespace vst3face
