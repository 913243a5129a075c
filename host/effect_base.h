// The VST 2 host binding: the AEffect record, its static entry functions, the
// opcode dispatcher and every plug-in-to-host request, with a default for each
// operation. Virtual operations are declared in a fixed slot order; derived
// classes replace the defaults they need.
#pragma once

#include <cstdint>

#include "platform/vst2.h"
#include "util/relaxed.h"

class EditorBase;

class EffectBase {
public:
    EffectBase(audioMasterCallback hostCallback, int32_t programCount, int32_t parameterCount);
    EffectBase(const EffectBase&) = delete;
    EffectBase& operator=(const EffectBase&) = delete;

    // Slot 0. Destroys the attached editor.
    virtual ~EffectBase();
    virtual void putParameter(int32_t index, float value);
    virtual float readParameter(int32_t index);
    /// Sets the parameter, then tells the host (audioMasterAutomate).
    virtual void automateParameter(int32_t index, float value);
    virtual void processAccumulate(float** inputs, float** outputs, int32_t sampleFrames) = 0;
    virtual void processReplace(float** inputs, float** outputs, int32_t sampleFrames);
    /// Serves opcodes 0 to 24; everything else answers 0.
    virtual intptr_t dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);
    virtual void onOpen();
    virtual void onClose();
    virtual int32_t activeProgram();
    virtual void selectProgram(int32_t program);
    virtual void renameProgram(char* text);
    virtual void programNameText(char* text);
    virtual void parameterLabelText(int32_t index, char* text);
    virtual void parameterDisplayText(int32_t index, char* text);
    virtual void parameterNameText(int32_t index, char* text);
    virtual float meterLevel();
    virtual int32_t saveChunk(void** data, bool isPreset);
    virtual int32_t loadChunk(void* data, int32_t byteSize, bool isPreset);
    virtual void applySampleRate(float rate);
    virtual void applyBlockSize(int32_t size);
    virtual void switchOff();
    virtual void switchOn();
    virtual void setEffectId(int32_t id);
    virtual void setInputCount(int32_t count);
    virtual void setOutputCount(int32_t count);
    virtual void setHasMeter(bool on);
    virtual void setHasClip(bool on);
    virtual void setCanMono(bool on);
    virtual void setCanReplace(bool on);
    virtual void setChunkPrograms(bool on);
    virtual void setRealtimeQualityCount(int32_t count);
    virtual void setOfflineQualityCount(int32_t count);
    virtual void setLatencySamples(int32_t frames);
    virtual float sampleRateSetting();
    virtual int32_t blockSizeSetting();
    virtual int32_t hostVersion();
    virtual int32_t hostCurrentId();
    virtual void hostIdle();
    virtual bool inputPinConnected(int32_t index);
    virtual bool outputPinConnected(int32_t index);
    /// Linear amplitude as decibels, or "  -oo   " for 0 and below.
    virtual void decibelsToText(float value, char* text);
    /// A period in sample frames as a frequency at the current rate.
    virtual void hertzToText(float samples, char* text);
    /// A length in sample frames as milliseconds at the current rate.
    virtual void millisecondsToText(float samples, char* text);
    /// Fixed-width decimal text of at most 8 - used characters; digits are cut, never rounded.
    /// `text` must hold 9 bytes.
    virtual void floatToText(float value, char* text, int8_t used);
    /// "%7d" cut to 8 characters, or " Huge!  ".
    virtual void integerToText(int32_t value, char* text);

    AEffect* record() { return &effectRecord; }
    static EffectBase* fromRecord(AEffect* effect) { return static_cast<EffectBase*>(effect->object); }

    static intptr_t VSTCALLBACK dispatchEntry(AEffect* effect, int32_t opcode, int32_t index,
                                              intptr_t value, void* ptr, float opt);
    static void VSTCALLBACK processEntry(AEffect* effect, float** inputs, float** outputs,
                                         int32_t sampleFrames);
    static void VSTCALLBACK processReplacingEntry(AEffect* effect, float** inputs, float** outputs,
                                                  int32_t sampleFrames);
    static void VSTCALLBACK setParameterEntry(AEffect* effect, int32_t index, float value);
    static float VSTCALLBACK getParameterEntry(AEffect* effect, int32_t index);

protected:
    /// The one call path to the host; 0 when the host gave no callback, which
    /// each request reads as its own default.
    intptr_t callHost(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                      float opt = 0.0f);
    /// Sets or clears one bit of the record's flags.
    void setFlag(int32_t flag, bool on);

    AEffect effectRecord;
    Relaxed<float> currentSampleRate{44100.0f};
    // Owned: a raw pointer because the editor attaches itself from its own
    // constructor (see SkinEditor); destroyed in ~EffectBase.
    EditorBase* attachedEditor = nullptr;
    audioMasterCallback hostCallback;
    int32_t programCount;
    int32_t parameterCount;
    Relaxed<int32_t> programIndex{0};
    Relaxed<int32_t> currentBlockSize{1024};

public:
    /// The editor attaches itself here when it is built, which tells the host
    /// there is an editor (effFlagsHasEditor).
    void attachEditor(EditorBase* editor) {
        attachedEditor = editor;
        setFlag(effFlagsHasEditor, editor != nullptr);
    }
    EditorBase* editor() const { return attachedEditor; }
    audioMasterCallback callback() const { return hostCallback; }
};

class ExtendedEffectBase : public EffectBase {
public:
    using EffectBase::EffectBase;

    /// Serves opcodes 25 to 58 and hands the rest to EffectBase::dispatch.
    intptr_t dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) override;

    virtual void requestEvents(int32_t filter);
    virtual void* hostTimeInfo(int32_t filter);
    virtual int32_t hostTempoAt(int32_t position);
    virtual int32_t receiveEvents(void* events);
    virtual int32_t hostAutomatableCount();
    virtual int32_t hostParameterQuantization();
    virtual bool parameterAutomatable(int32_t index);
    virtual bool parameterFromText(int32_t index, char* text);
    virtual float channelParameter(int32_t channel, int32_t index);
    virtual int32_t programCategoryCount();
    virtual bool indexedProgramName(int32_t category, int32_t index, char* text);
    virtual bool copyProgramTo(int32_t destination);
    virtual bool hostIoChanged();
    virtual bool hostNeedIdle();
    virtual bool hostSizeWindow(int32_t width, int32_t height);
    /// Asks the host, then answers currentSampleRate (the host may set it while it answers).
    virtual float refreshSampleRate();
    virtual int32_t refreshBlockSize();
    virtual int32_t hostInputLatency();
    virtual int32_t hostOutputLatency();
    virtual AEffect* hostPreviousEffect(int32_t input);
    virtual AEffect* hostNextEffect(int32_t output);
    virtual void onInputPinConnection(int32_t index, bool connected);
    virtual void onOutputPinConnection(int32_t index, bool connected);
    virtual bool inputPinProperties(int32_t index, VstPinProperties* properties);
    virtual bool outputPinProperties(int32_t index, VstPinProperties* properties);
    virtual int32_t plugCategory();
    virtual int32_t hostReplaceOrAccumulate();
    virtual int32_t hostProcessLevel();
    virtual int32_t hostAutomationState();
    virtual void setAsync(bool on);
    virtual void setExternalBuffer(bool on);
    virtual int32_t currentPosition();
    virtual float* destinationBuffer();
    virtual bool hostOfflineRead(void* task, int32_t option, bool readSource);
    virtual bool hostOfflineWrite(void* task, int32_t option);
    virtual bool hostOfflineStart(void* files, int32_t fileCount, int32_t newFileCount);
    virtual int32_t hostOfflinePass();
    virtual int32_t hostOfflineMetaPass();
    virtual bool offlineNotice(void* files, int32_t fileCount, bool start);
    virtual bool offlineSetup(void* task, int32_t count);
    virtual bool offlineExecute(void* task, int32_t count);
    virtual int32_t offlinePassCount();
    virtual int32_t offlineMetaPassCount();
    virtual void hostSetOutputRate(float rate);
    virtual bool hostSpeakerArrangement(void* input, void* output);
    virtual bool hostVendorText(char* text);
    virtual bool hostProductText(char* text);
    virtual int32_t hostVendorVersion();
    virtual intptr_t hostVendorCall(int32_t index, intptr_t value, void* ptr, float opt);
    virtual bool hostCapability(char* text);
    virtual void setSynth(bool on);
    virtual void setSilentInStop(bool on);
    virtual int32_t hostLanguage();
    virtual void* hostOpenWindow(void* description);
    virtual bool hostCloseWindow(void* description);
    virtual void* hostDirectory();
    virtual bool hostUpdateDisplay();
    virtual bool variableIo(void* io);
    virtual bool takeSpeakerArrangement(void* input, void* output);
    /// Stores both directly: neither applyBlockSize nor applySampleRate runs.
    virtual void storeBlockSizeAndRate(int32_t size, float rate);
    virtual bool bypass(bool on);
    virtual bool effectNameText(char* text);
    virtual bool errorText(char* text);
    virtual bool vendorText(char* text);
    virtual bool productText(char* text);
    virtual int32_t vendorVersion();
    virtual intptr_t vendorCall(int32_t index, intptr_t value, void* ptr, float opt);
    virtual int32_t capability(char* text);
    virtual void* icon();
    virtual bool viewPosition(int32_t x, int32_t y);
    virtual int32_t tailSize();
    virtual int32_t idleTick();
    virtual bool parameterProperties(int32_t index, void* properties);
    virtual bool keysNeeded();
    virtual int32_t interfaceVersion();

    /// audioMasterProcessEvents; true only when the host answers exactly 1.
    bool hostSendEvents(void* events);
    /// audioMasterBeginEdit and audioMasterEndEdit around a gesture on a
    /// parameter (the user holds a knob); the answer means nothing.
    void hostBeginEdit(int32_t index);
    void hostEndEdit(int32_t index);
};

// The library's module handle, written by the library entry routine; the
// editor registers its window class and loads its bitmaps with it.
extern void* moduleInstance;
