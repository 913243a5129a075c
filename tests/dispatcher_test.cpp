// The host-to-plug-in dispatcher of the base classes and the record's entries.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "tests/support/test_effect.h"

namespace {

intptr_t send(EffectBase& effect, int32_t opcode, int32_t index = 0, intptr_t value = 0,
              void* ptr = nullptr, float opt = 0.0f) {
    return effect.record()->dispatcher(effect.record(), opcode, index, value, ptr, opt);
}

TEST(Dispatcher, RecordAfterConstruction) {
    BareEffect effect;
    const AEffect& r = *effect.record();
    EXPECT_EQ(r.magic, fourCharCode('V', 's', 't', 'P'));
    EXPECT_EQ(r.dispatcher, &EffectBase::dispatchEntry);
    EXPECT_EQ(r.process, &EffectBase::processEntry);
    EXPECT_EQ(r.processReplacing, &EffectBase::processReplacingEntry);
    EXPECT_EQ(r.setParameter, &EffectBase::setParameterEntry);
    EXPECT_EQ(r.getParameter, &EffectBase::getParameterEntry);
    EXPECT_EQ(r.numPrograms, 4);
    EXPECT_EQ(r.numParams, 3);
    EXPECT_EQ(r.numInputs, 1);
    EXPECT_EQ(r.numOutputs, 2);
    EXPECT_EQ(r.flags, 0);
    EXPECT_EQ(r.resvd1, 0);
    EXPECT_EQ(r.resvd2, 0);
    EXPECT_EQ(r.initialDelay, 0);
    EXPECT_EQ(r.realQualities, 0);
    EXPECT_EQ(r.offQualities, 0);
    EXPECT_EQ(r.ioRatio, 2.0f);
    EXPECT_EQ(r.object, static_cast<EffectBase*>(&effect));
    EXPECT_EQ(r.user, nullptr);
    EXPECT_EQ(r.uniqueID, fourCharCode('N', 'o', 'E', 'f'));
    EXPECT_EQ(r.version, 2);
    for (char c : r.future) EXPECT_EQ(c, 0);
    EXPECT_EQ(effect.sampleRate(), 44100.0f);
    EXPECT_EQ(effect.blockSize(), 1024);
    EXPECT_EQ(effect.editor(), nullptr);
    EXPECT_EQ(send(effect, effGetProgram), 0);
}

struct OpcodeAnswer {
    const char* what;
    int32_t opcode;
    int32_t index;
    intptr_t value;
    intptr_t expected;
};

// Answers of an effect that keeps every base default.
TEST(Dispatcher, DefaultAnswers) {
    static const OpcodeAnswer kCases[] = {
        {"negative opcode", -1, 0, 0, 0},
        {"first unknown opcode", 59, 0, 0, 0},
        {"far opcode", 100, 0, 0, 0},
        {"lowest opcode", INT_MIN, 0, 0, 0},
        {"effOpen", effOpen, 0, 0, 0},
        {"effClose", effClose, 0, 0, 0},
        {"effGetProgram", effGetProgram, 0, 0, 0},
        {"effGetVu", effGetVu, 0, 0, 0},
        {"effEditGetRect without editor", effEditGetRect, 0, 0, 0},
        {"effEditOpen without editor", effEditOpen, 0, 0, 0},
        {"effEditClose without editor", effEditClose, 0, 0, 0},
        {"effEditIdle without editor", effEditIdle, 0, 0, 0},
        {"effEditDraw", effEditDraw, 0, 0, 0},
        {"effEditMouse", effEditMouse, 1, 1, 0},
        {"effEditKey", effEditKey, 1, 1, 0},
        {"effEditTop", effEditTop, 0, 0, 0},
        {"effEditSleep", effEditSleep, 0, 0, 0},
        {"effIdentify", effIdentify, 0, 0, fourCharCode('N', 'v', 'E', 'f')},
        {"effCanBeAutomated", effCanBeAutomated, 0, 0, 1},
        {"effCanBeAutomated, any index", effCanBeAutomated, 999, 0, 1},
        {"effGetNumProgramCategories", effGetNumProgramCategories, 0, 0, 1},
        {"effCopyProgram", effCopyProgram, 1, 0, 0},
        {"effConnectInput, connected", effConnectInput, 0, 1, 1},
        {"effConnectInput, disconnected", effConnectInput, 1, 0, 1},
        {"effConnectOutput, connected", effConnectOutput, 0, 1, 1},
        {"effConnectOutput, disconnected", effConnectOutput, 1, 0, 1},
        {"effGetPlugCategory", effGetPlugCategory, 0, 0, kPlugCategUnknown},
        {"effGetCurrentPosition", effGetCurrentPosition, 0, 0, 0},
        {"effGetDestinationBuffer", effGetDestinationBuffer, 0, 0, 0},
        {"effOfflineNotify", effOfflineNotify, 1, 0, 0},
        {"effOfflinePrepare", effOfflinePrepare, 0, 0, 0},
        {"effOfflineRun", effOfflineRun, 0, 0, 0},
        {"effProcessVarIo", effProcessVarIo, 0, 0, 0},
        {"effSetSpeakerArrangement", effSetSpeakerArrangement, 0, 0, 0},
        {"effSetBypass", effSetBypass, 0, 1, 0},
        {"effGetVendorVersion", effGetVendorVersion, 0, 0, 0},
        {"effVendorSpecific", effVendorSpecific, 1, 2, 0},
        {"effGetTailSize", effGetTailSize, 0, 0, 0},
        {"effIdle", effIdle, 0, 0, 0},
        {"effGetIcon", effGetIcon, 0, 0, 0},
        {"effSetViewPosition", effSetViewPosition, 10, 20, 0},
        {"effKeysRequired (inverted)", effKeysRequired, 0, 0, 1},
        {"effGetVstVersion", effGetVstVersion, 0, 0, 2},
    };
    BareEffect effect;
    for (const OpcodeAnswer& c : kCases) {
        // Straight to dispatch: effClose through the entry would end the instance.
        EXPECT_EQ(effect.dispatch(c.opcode, c.index, c.value, nullptr, 0.0f), c.expected) << c.what;
    }
}

TEST(Dispatcher, ChunkRequestsAnswerZeroAndLeaveThePointer) {
    BareEffect effect;
    char data[4] = {1, 2, 3, 4};
    void* chunk = data;
    EXPECT_EQ(send(effect, effGetChunk, 0, 0, &chunk), 0);
    EXPECT_EQ(send(effect, effGetChunk, 1, 0, &chunk), 0);
    EXPECT_EQ(chunk, data);
    EXPECT_EQ(send(effect, effSetChunk, 1, sizeof data, data), 0);
}

TEST(Dispatcher, PlugCategoryFollowsSynthFlag) {
    BareEffect effect;
    effect.setSynth(true);
    EXPECT_EQ(send(effect, effGetPlugCategory), kPlugCategSynth);
    effect.setSynth(false);
    EXPECT_EQ(send(effect, effGetPlugCategory), kPlugCategUnknown);
}

TEST(Dispatcher, KeysRequiredIsInverted) {
    TestEffect effect;
    effect.needsKeys = true;
    EXPECT_EQ(send(effect, effKeysRequired), 0);
    effect.needsKeys = false;
    EXPECT_EQ(send(effect, effKeysRequired), 1);
}

TEST(Dispatcher, VuIsLevelTimes32767TruncatedTowardZero) {
    struct Case {
        float level;
        intptr_t expected;
    };
    static const Case kCases[] = {
        {1.0f, 32767},
        {0.5f, 16383},  // 16383.5
        {-0.5f, -16383},
        {-1.0f, -32767},
        {0.0f, 0},
        {0.75f, 24575},  // 24575.25
        {-0.75f, -24575},
        {2.0f, 65534},
        // Out of any meter's range: no undefined conversion, a bounded answer.
        {std::numeric_limits<float>::quiet_NaN(), 0},
        {1e30f, INT32_MAX},
        {-1e30f, INT32_MIN},
        {std::numeric_limits<float>::infinity(), INT32_MAX},
    };
    TestEffect effect;
    for (const Case& c : kCases) {
        effect.level = c.level;
        EXPECT_EQ(send(effect, effGetVu), c.expected) << c.level;
    }
}

TEST(Dispatcher, SetProgramOnlyWithinProgramCount) {
    struct Case {
        intptr_t value;
        int32_t expectedProgram;
    };
    static const Case kCases[] = {
        {TestEffect::kPrograms - 1, TestEffect::kPrograms - 1},
        {TestEffect::kPrograms, TestEffect::kPrograms - 1},
        {-1, TestEffect::kPrograms - 1},
        {0, 0},
        {INT32_MIN, 0},
        {2, 2},
#if INTPTR_MAX > INT32_MAX
        // Would become program 1 if cut to 32 bits before the bounds check.
        {(intptr_t{1} << 32) + 1, 2},
#endif
    };
    TestEffect effect;
    for (const Case& c : kCases) {
        EXPECT_EQ(send(effect, effSetProgram, 0, c.value), 0);
        EXPECT_EQ(send(effect, effGetProgram), c.expectedProgram) << c.value;
    }
}

TEST(Dispatcher, MainsChangedSwitchesOffOnlyForZero) {
    struct Case {
        intptr_t value;
        int ons;
        int offs;
    };
    static const Case kCases[] = {{0, 0, 1}, {1, 1, 0}, {2, 1, 0}, {-1, 1, 0}};
    for (const Case& c : kCases) {
        TestEffect effect;
        EXPECT_EQ(send(effect, effMainsChanged, 0, c.value), 0);
        EXPECT_EQ(effect.switchOns, c.ons) << c.value;
        EXPECT_EQ(effect.switchOffs, c.offs) << c.value;
    }
}

TEST(Dispatcher, SampleRateAndBlockSize) {
    TestEffect effect;
    EXPECT_EQ(send(effect, effSetSampleRate, 0, 0, nullptr, 96000.0f), 0);
    EXPECT_EQ(effect.sampleRate(), 96000.0f);
    EXPECT_EQ(effect.sampleRateApplied, 1);
    EXPECT_EQ(send(effect, effSetBlockSize, 0, 256), 0);
    EXPECT_EQ(effect.blockSize(), 256);
    EXPECT_EQ(effect.blockSizeApplied, 1);

    // The combined request stores both but runs neither operation.
    EXPECT_EQ(send(effect, effSetBlockSizeAndSampleRate, 0, 512, nullptr, 48000.0f), 1);
    EXPECT_EQ(effect.sampleRate(), 48000.0f);
    EXPECT_EQ(effect.blockSize(), 512);
    EXPECT_EQ(effect.sampleRateApplied, 1);
    EXPECT_EQ(effect.blockSizeApplied, 1);
    EXPECT_EQ(effect.sampleRateSetting(), 48000.0f);
    EXPECT_EQ(effect.blockSizeSetting(), 512);
}

TEST(Dispatcher, OpenAndCloseReachTheirOperations) {
    TestEffect effect;
    effect.dispatch(effOpen, 0, 0, nullptr, 0.0f);
    effect.dispatch(effClose, 0, 0, nullptr, 0.0f);  // not through the entry: the object stays
    EXPECT_EQ(effect.opens, 1);
    EXPECT_EQ(effect.closes, 1);
}

TEST(Dispatcher, CloseThroughTheEntryAnswersOneAndDestroysWithEditor) {
    const int effectsBefore = TestEffect::destroyed;
    const int editorsBefore = TestEditor::destroyed;
    const int closesBefore = TestEffect::closedTotal;
    auto* effect = new TestEffect;
    effect->attachEditor(new TestEditor(*effect));
    AEffect* record = effect->record();
    EXPECT_EQ(record->dispatcher(record, effClose, 0, 0, nullptr, 0.0f), 1);
    EXPECT_EQ(TestEffect::closedTotal, closesBefore + 1);
    EXPECT_EQ(TestEffect::destroyed, effectsBefore + 1);
    EXPECT_EQ(TestEditor::destroyed, editorsBefore + 1);
}

TEST(Dispatcher, EditorOpcodesReachTheAttachedEditor) {
    TestEffect effect;
    auto* editor = new TestEditor(effect);
    effect.attachEditor(editor);

    // Idle before open still reaches the editor.
    EXPECT_EQ(send(effect, effEditIdle), 0);
    EXPECT_EQ(editor->idles, 1);

    ERect* rect = nullptr;
    EXPECT_EQ(send(effect, effEditGetRect, 0, 0, &rect), 1);
    EXPECT_EQ(rect, &editor->rect);
    editor->rectAnswer = 7;
    EXPECT_EQ(send(effect, effEditGetRect, 0, 0, &rect), 7);

    int parent = 0;
    EXPECT_EQ(send(effect, effEditOpen, 0, 0, &parent), 1);
    EXPECT_EQ(editor->openedWith, &parent);
    editor->openAnswer = 0;
    EXPECT_EQ(send(effect, effEditOpen, 0, 0, &parent), 0);

    EXPECT_EQ(send(effect, effEditClose), 0);
    EXPECT_EQ(editor->closes, 1);

    // A null rectangle address must not be written through.
    EXPECT_EQ(send(effect, effEditGetRect, 0, 0, nullptr), 0);
    EXPECT_EQ(editor->rectQueries, 2);
}

TEST(Dispatcher, DefaultTextsAreEmptyAndNamesAreNotCleared) {
    BareEffect effect;
    struct Case {
        int32_t opcode;
        const char* expected;
    };
    static const Case kCases[] = {
        {effGetProgramName, ""}, {effGetParamLabel, ""}, {effGetParamDisplay, ""},
        {effGetParamName, ""},
        // The host's new name is input; the default keeps no names and leaves it be.
        {effSetProgramName, "Keep"},
    };
    for (const Case& c : kCases) {
        char text[16] = "Keep";
        send(effect, c.opcode, 1, 0, text);
        EXPECT_STREQ(text, c.expected) << c.opcode;
    }
}

// An effect whose text operations fail the test when handed a null buffer.
class PickyEffect : public ExtendedEffectBase {
public:
    PickyEffect() : ExtendedEffectBase(nullptr, 2, 2) {}
    void processAccumulate(float**, float**, int32_t) override {}
    void renameProgram(char* t) override { touch(t); }
    void programNameText(char* t) override { touch(t); }
    void parameterLabelText(int32_t, char* t) override { touch(t); }
    void parameterDisplayText(int32_t, char* t) override { touch(t); }
    void parameterNameText(int32_t, char* t) override { touch(t); }
    int32_t saveChunk(void** d, bool) override { return touch(d), 5; }
    int32_t loadChunk(void* d, int32_t, bool) override { return touch(d), 5; }
    int32_t receiveEvents(void* e) override { return touch(e), 1; }
    bool parameterFromText(int32_t, char* t) override { return touch(t), true; }
    bool indexedProgramName(int32_t, int32_t, char* t) override { return touch(t), true; }
    bool inputPinProperties(int32_t, VstPinProperties* p) override { return touch(p), true; }
    bool outputPinProperties(int32_t, VstPinProperties* p) override { return touch(p), true; }
    bool effectNameText(char* t) override { return touch(t), true; }
    bool errorText(char* t) override { return touch(t), true; }
    bool vendorText(char* t) override { return touch(t), true; }
    bool productText(char* t) override { return touch(t), true; }
    int32_t capability(char* t) override { return touch(t), 1; }
    bool parameterProperties(int32_t, void* p) override { return touch(p), true; }

private:
    static void touch(const void* p) {
        if (!p) ADD_FAILURE() << "null buffer reached an operation";
    }
};

TEST(Dispatcher, NullBufferFromTheHostIsNotPassedOn) {
    static const int32_t kOpcodes[] = {
        effSetProgramName,   effGetProgramName,   effGetParamLabel,     effGetParamDisplay,
        effGetParamName,     effGetChunk,         effSetChunk,          effProcessEvents,
        effString2Parameter, effGetProgramNameIndexed, effGetInputProperties,
        effGetOutputProperties, effGetEffectName, effGetErrorText,      effGetVendorString,
        effGetProductString, effCanDo,            effGetParameterProperties,
    };
    PickyEffect effect;
    for (int32_t opcode : kOpcodes) {
        EXPECT_EQ(send(effect, opcode, 0, 1, nullptr), 0) << opcode;
    }
    // With a buffer, the operations' own answers come through.
    char text[64] = "";
    VstPinProperties pin{};
    EXPECT_EQ(send(effect, effCanDo, 0, 0, text), 1);
    EXPECT_EQ(send(effect, effGetInputProperties, 0, 0, &pin), 1);
    EXPECT_EQ(send(effect, effSetChunk, 0, 4, text), 5);
}

TEST(Dispatcher, FlagSettersTouchOnlyTheirBit) {
    struct Case {
        void (*set)(BareEffect&, bool);
        int32_t flag;
    };
    static const Case kCases[] = {
        {[](BareEffect& e, bool on) { e.setHasMeter(on); }, effFlagsHasVu},
        {[](BareEffect& e, bool on) { e.setHasClip(on); }, effFlagsHasClip},
        {[](BareEffect& e, bool on) { e.setCanMono(on); }, effFlagsCanMono},
        {[](BareEffect& e, bool on) { e.setCanReplace(on); }, effFlagsCanReplacing},
        {[](BareEffect& e, bool on) { e.setChunkPrograms(on); }, effFlagsProgramChunks},
        {[](BareEffect& e, bool on) { e.setSynth(on); }, effFlagsIsSynth},
        {[](BareEffect& e, bool on) { e.setSilentInStop(on); }, effFlagsNoSoundInStop},
        {[](BareEffect& e, bool on) { e.setAsync(on); }, effFlagsExtIsAsync},
        {[](BareEffect& e, bool on) { e.setExternalBuffer(on); }, effFlagsExtHasBuffer},
    };
    for (const Case& c : kCases) {
        BareEffect effect;
        effect.record()->flags = effFlagsHasEditor;
        c.set(effect, true);
        EXPECT_EQ(effect.record()->flags, effFlagsHasEditor | c.flag) << c.flag;
        c.set(effect, true);
        EXPECT_EQ(effect.record()->flags, effFlagsHasEditor | c.flag) << c.flag;
        c.set(effect, false);
        EXPECT_EQ(effect.record()->flags, effFlagsHasEditor) << c.flag;
    }
}

TEST(Dispatcher, EntriesForwardToTheInstance) {
    TestEffect effect;
    AEffect* r = effect.record();
    r->process(r, nullptr, nullptr, 64);
    r->processReplacing(r, nullptr, nullptr, 32);
    r->setParameter(r, 2, 0.75f);
    EXPECT_EQ(r->getParameter(r, 1), 1.25f);
    ASSERT_EQ(effect.accumulated.size(), 1u);
    EXPECT_EQ(effect.accumulated[0], 64);
    ASSERT_EQ(effect.replaced.size(), 1u);
    EXPECT_EQ(effect.replaced[0], 32);
    ASSERT_EQ(effect.puts.size(), 1u);
    EXPECT_EQ(effect.puts[0].index, 2);
    EXPECT_EQ(effect.puts[0].value, 0.75f);
}

TEST(Dispatcher, EntriesIgnoreARecordWithoutObject) {
    AEffect stray{};
    EXPECT_EQ(EffectBase::dispatchEntry(&stray, effClose, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(EffectBase::dispatchEntry(nullptr, effGetVstVersion, 0, 0, nullptr, 0.0f), 0);
    EffectBase::processReplacingEntry(&stray, nullptr, nullptr, 16);
    EXPECT_EQ(EffectBase::getParameterEntry(&stray, 0), 0.0f);
}

// A further dispatch override must not be entered again for opcodes 0..24.
class CountingDispatch : public TestEffect {
public:
    intptr_t dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) override {
        ++calls;
        return TestEffect::dispatch(opcode, index, value, ptr, opt);
    }
    int calls = 0;
};

TEST(Dispatcher, BaseOpcodesAreHandedOnWithoutReentry) {
    CountingDispatch effect;
    EXPECT_EQ(send(effect, effSetProgram, 0, 3), 0);
    EXPECT_EQ(effect.calls, 1);
    EXPECT_EQ(send(effect, effGetProgram), 3);
    EXPECT_EQ(effect.calls, 2);
}

}  // namespace
