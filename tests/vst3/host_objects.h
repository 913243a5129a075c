// Host objects a VST 3 plug-in talks to, shared by the tests and the
// benchmark: reference counting for objects the host owns, and the parameter
// changes of one block in fixed storage.
#pragma once

#include <array>
#include <atomic>
#include <tuple>

#include "platform/vst3/audio.h"

namespace vst3host {

using namespace vst3;

/// `object`'s interface I, counted, or null when it has none.
template <typename I>
I* queried(FUnknown* object) {
    void* obj = nullptr;
    if (!object || object->queryInterface(I::iid.bytes, &obj) != kResultOk) return nullptr;
    return static_cast<I*>(obj);
}

/// Counts references; the test owns the object and outlives every reference.
template <typename... Interfaces>
class HostObject : public Interfaces... {
public:
    tresult VST3_API queryInterface(const TUID iid, void** obj) override {
        return answerQuery<Interfaces...>(this, iid, obj);
    }
    uint32 VST3_API addRef() override { return ++references; }
    uint32 VST3_API release() override { return --references; }
    std::atomic<int> references{0};
};

/// Parameter changes of one block, in fixed storage (nothing allocated while
/// a plug-in adds to them).
class ParameterChanges : public HostObject<IParameterChanges> {
public:
    static constexpr int kMaxQueues = 16;
    static constexpr int kMaxPoints = 64;

    class Queue : public HostObject<IParamValueQueue> {
    public:
        ParamID VST3_API getParameterId() override { return id; }
        int32 VST3_API getPointCount() override { return count; }
        tresult VST3_API getPoint(int32 index, int32& sampleOffset, ParamValue& value) override;
        tresult VST3_API addPoint(int32 sampleOffset, ParamValue value, int32& index) override;
        ParamID id = 0;
        int32 count = 0;
        std::array<int32, kMaxPoints> offsets{};
        std::array<ParamValue, kMaxPoints> values{};
    };

    int32 VST3_API getParameterCount() override { return count; }
    IParamValueQueue* VST3_API getParameterData(int32 index) override;
    IParamValueQueue* VST3_API addParameterData(const ParamID& id, int32& index) override;

    /// Appends a point to the parameter's queue (made when first needed).
    void add(ParamID id, int32 offset, ParamValue value);
    /// The queue of `id`, or null.
    Queue* find(ParamID id);
    void clear() { count = 0; }

    int32 count = 0;
    std::array<Queue, kMaxQueues> queues;
};

// --- ParameterChanges

inline tresult VST3_API ParameterChanges::Queue::getPoint(int32 index, int32& sampleOffset, ParamValue& value) {
    if (index < 0 || index >= count) return kInvalidArgument;
    sampleOffset = offsets[index];
    value = values[index];
    return kResultOk;
}

inline tresult VST3_API ParameterChanges::Queue::addPoint(int32 sampleOffset, ParamValue value, int32& index) {
    if (count >= kMaxPoints) return kOutOfMemory;
    offsets[count] = sampleOffset;
    values[count] = value;
    index = count++;
    return kResultOk;
}

inline IParamValueQueue* VST3_API ParameterChanges::getParameterData(int32 index) {
    return index >= 0 && index < count ? &queues[index] : nullptr;
}

inline IParamValueQueue* VST3_API ParameterChanges::addParameterData(const ParamID& id, int32& index) {
    for (int32 i = 0; i < count; ++i) {
        if (queues[i].id == id) {
            index = i;
            return &queues[i];
        }
    }
    if (count >= kMaxQueues) return nullptr;
    queues[count].id = id;
    queues[count].count = 0;
    index = count;
    return &queues[count++];
}

inline void ParameterChanges::add(ParamID id, int32 offset, ParamValue value) {
    int32 index = 0;
    int32 point = 0;
    if (IParamValueQueue* queue = addParameterData(id, index)) queue->addPoint(offset, value, point);
}

inline ParameterChanges::Queue* ParameterChanges::find(ParamID id) {
    for (int32 i = 0; i < count; ++i) {
        if (queues[i].id == id) return &queues[i];
    }
    return nullptr;
}

/// One stereo block as a host hands it over: one bus of two channels each
/// way; set the channel pointers, numSamples and the changes per call.
struct StereoBlock {
    StereoBlock() {
        inBus.numChannels = outBus.numChannels = 2;
        inBus.channelBuffers32 = inputs;
        outBus.channelBuffers32 = outputs;
        data.symbolicSampleSize = kSample32;
        data.numInputs = data.numOutputs = 1;
        data.inputs = &inBus;
        data.outputs = &outBus;
    }
    StereoBlock(const StereoBlock&) = delete;
    StereoBlock& operator=(const StereoBlock&) = delete;

    float* inputs[2] = {nullptr, nullptr};
    float* outputs[2] = {nullptr, nullptr};
    AudioBusBuffers inBus{};
    AudioBusBuffers outBus{};
    ProcessData data{};
};

}  // namespace vst3host
