// VST 3 audio side: the component with its buses and state, the audio
// processor with its setup and block data, and the per-block parameter queues.
#pragma once

#include "platform/vst3/base.h"

namespace vst3 {

using MediaType = int32;
using BusDirection = int32;
using BusType = int32;
using IoMode = int32;
using ParamID = uint32;
using ParamValue = double;
using SampleRate = double;
using Sample32 = float;
using Sample64 = double;
using SpeakerArrangement = uint64;
using TChar = char16;
using String128 = TChar[128];

enum MediaTypes : int32 { kAudio = 0, kEvent = 1 };
enum BusDirections : int32 { kInput = 0, kOutput = 1 };
enum BusTypes : int32 { kMain = 0, kAux = 1 };
enum SymbolicSampleSizes : int32 { kSample32 = 0, kSample64 = 1 };
enum ProcessModes : int32 { kRealtime = 0, kPrefetch = 1, kOffline = 2 };

namespace SpeakerArr {
constexpr SpeakerArrangement kEmpty = 0;
constexpr SpeakerArrangement kMono = 1ull << 19;  // kSpeakerM
constexpr SpeakerArrangement kStereo = (1ull << 0) | (1ull << 1);  // kSpeakerL | kSpeakerR
}  // namespace SpeakerArr

struct BusInfo {
    enum BusFlags : uint32 { kDefaultActive = 1 << 0, kIsControlVoltage = 1 << 1 };
    MediaType mediaType;
    BusDirection direction;
    int32 channelCount;
    String128 name;
    BusType busType;
    uint32 flags;
};

struct RoutingInfo {
    MediaType mediaType;
    int32 busIndex;
    int32 channel;
};

class IComponent : public IPluginBase {
public:
    virtual tresult VST3_API getControllerClassId(TUID classId) = 0;
    virtual tresult VST3_API setIoMode(IoMode mode) = 0;
    virtual int32 VST3_API getBusCount(MediaType type, BusDirection dir) = 0;
    virtual tresult VST3_API getBusInfo(MediaType type, BusDirection dir, int32 index, BusInfo& bus) = 0;
    virtual tresult VST3_API getRoutingInfo(RoutingInfo& inInfo, RoutingInfo& outInfo) = 0;
    virtual tresult VST3_API activateBus(MediaType type, BusDirection dir, int32 index, TBool state) = 0;
    virtual tresult VST3_API setActive(TBool state) = 0;
    virtual tresult VST3_API setState(IBStream* state) = 0;
    virtual tresult VST3_API getState(IBStream* state) = 0;
    static constexpr Uid iid = Uid::of(0xE831FF31, 0xF2D54301, 0x928EBBEE, 0x25697802);

protected:
    ~IComponent() = default;
};

struct ProcessSetup {
    int32 processMode;
    int32 symbolicSampleSize;
    int32 maxSamplesPerBlock;
    SampleRate sampleRate;
};

struct AudioBusBuffers {
    int32 numChannels;
    uint64 silenceFlags;  // bit n: every sample of channel n is 0
    union {
        Sample32** channelBuffers32;
        Sample64** channelBuffers64;
    };
};

class IParamValueQueue : public FUnknown {
public:
    virtual ParamID VST3_API getParameterId() = 0;
    virtual int32 VST3_API getPointCount() = 0;
    virtual tresult VST3_API getPoint(int32 index, int32& sampleOffset, ParamValue& value) = 0;
    virtual tresult VST3_API addPoint(int32 sampleOffset, ParamValue value, int32& index) = 0;
    static constexpr Uid iid = Uid::of(0x01263A18, 0xED074F6F, 0x98C9D356, 0x4686F9BA);

protected:
    ~IParamValueQueue() = default;
};

class IParameterChanges : public FUnknown {
public:
    virtual int32 VST3_API getParameterCount() = 0;
    virtual IParamValueQueue* VST3_API getParameterData(int32 index) = 0;
    virtual IParamValueQueue* VST3_API addParameterData(const ParamID& id, int32& index) = 0;
    static constexpr Uid iid = Uid::of(0xA4779663, 0x0BB64A56, 0xB44384A8, 0x466FEB9D);

protected:
    ~IParameterChanges() = default;
};

class IEventList;      // not used: the effect takes no events
struct ProcessContext;  // not used: the effect needs no transport information

struct ProcessData {
    int32 processMode;
    int32 symbolicSampleSize;
    int32 numSamples;
    int32 numInputs;
    int32 numOutputs;
    AudioBusBuffers* inputs;
    AudioBusBuffers* outputs;
    IParameterChanges* inputParameterChanges;
    IParameterChanges* outputParameterChanges;
    IEventList* inputEvents;
    IEventList* outputEvents;
    ProcessContext* processContext;
};

class IAudioProcessor : public FUnknown {
public:
    virtual tresult VST3_API setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                                SpeakerArrangement* outputs, int32 numOuts) = 0;
    virtual tresult VST3_API getBusArrangement(BusDirection dir, int32 index, SpeakerArrangement& arr) = 0;
    virtual tresult VST3_API canProcessSampleSize(int32 symbolicSampleSize) = 0;
    virtual uint32 VST3_API getLatencySamples() = 0;
    virtual tresult VST3_API setupProcessing(ProcessSetup& setup) = 0;
    virtual tresult VST3_API setProcessing(TBool state) = 0;
    virtual tresult VST3_API process(ProcessData& data) = 0;
    virtual uint32 VST3_API getTailSamples() = 0;
    static constexpr Uid iid = Uid::of(0x42043F99, 0xB7DA453C, 0xA569E79D, 0x9AAEC33D);

protected:
    ~IAudioProcessor() = default;
};

/// What the processor needs in ProcessData::processContext; asked once before activation.
class IProcessContextRequirements : public FUnknown {
public:
    virtual uint32 VST3_API getProcessContextRequirements() = 0;
    static constexpr Uid iid = Uid::of(0x2A654303, 0xEF764E3D, 0x95B5FE83, 0x730EF6D0);

protected:
    ~IProcessContextRequirements() = default;
};

constexpr char kVstAudioEffectClass[] = "Audio Module Class";

static_assert(sizeof(String128) == 256);
static_assert(offsetof(BusInfo, channelCount) == 8 && offsetof(BusInfo, name) == 12 &&
              offsetof(BusInfo, busType) == 268 && offsetof(BusInfo, flags) == 272 && sizeof(BusInfo) == 276);
static_assert(sizeof(RoutingInfo) == 12);
static_assert(offsetof(ProcessSetup, maxSamplesPerBlock) == 8 && offsetof(ProcessSetup, sampleRate) == 16 &&
              sizeof(ProcessSetup) == 24);
static_assert(offsetof(AudioBusBuffers, silenceFlags) == 8 && offsetof(AudioBusBuffers, channelBuffers32) == 16 &&
              sizeof(AudioBusBuffers) == 24);
static_assert(offsetof(ProcessData, numSamples) == 8 && offsetof(ProcessData, numOutputs) == 16 &&
              offsetof(ProcessData, inputs) == 24 && offsetof(ProcessData, outputs) == 32 &&
              offsetof(ProcessData, inputParameterChanges) == 40 &&
              offsetof(ProcessData, outputParameterChanges) == 48 && offsetof(ProcessData, inputEvents) == 56 &&
              offsetof(ProcessData, processContext) == 72 && sizeof(ProcessData) == 80);

}  // namespace vst3
