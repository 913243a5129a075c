// Test doubles for the host binding: a minimal concrete effect that counts the
// virtual operations the dispatcher reaches, and an editor that counts its own.
#pragma once

#include <cstdint>
#include <vector>

#include "host/editor_base.h"
#include "host/effect_base.h"

class TestEditor : public EditorBase {
public:
    /// Counts every TestEditor destroyed, in any test.
    static inline int destroyed = 0;

    explicit TestEditor(EffectBase& effect) : EditorBase(&effect) {}
    ~TestEditor() override { ++destroyed; }

    int32_t queryRect(ERect** where) override {
        ++rectQueries;
        *where = &rect;
        return rectAnswer;
    }
    int32_t openWindow(void* parent) override {
        ++opens;
        openedWith = parent;
        return openAnswer;
    }
    void closeWindow() override { ++closes; }
    void onIdle() override { ++idles; }

    ERect rect{0, 0, 140, 500};
    int32_t rectAnswer = 1;
    int32_t openAnswer = 1;
    int rectQueries = 0;
    int opens = 0;
    int closes = 0;
    int idles = 0;
    void* openedWith = nullptr;
};

class TestEffect : public ExtendedEffectBase {
public:
    static constexpr int32_t kPrograms = 4;
    static constexpr int32_t kParams = 3;
    /// Count every TestEffect destroyed and every onClose, in any test.
    static inline int destroyed = 0;
    static inline int closedTotal = 0;

    explicit TestEffect(audioMasterCallback host = nullptr) : ExtendedEffectBase(host, kPrograms, kParams) {}
    ~TestEffect() override { ++destroyed; }

    void processAccumulate(float**, float**, int32_t sampleFrames) override {
        accumulated.push_back(sampleFrames);
    }
    void processReplace(float**, float**, int32_t sampleFrames) override { replaced.push_back(sampleFrames); }
    void putParameter(int32_t index, float value) override {
        puts.push_back({index, value});
        lastPut = value;
    }
    float readParameter(int32_t index) override { return static_cast<float>(index) + 0.25f; }
    void onOpen() override { ++opens; }
    void onClose() override {
        ++closes;
        ++closedTotal;
    }
    float meterLevel() override { return level; }
    void applySampleRate(float rate) override {
        ++sampleRateApplied;
        ExtendedEffectBase::applySampleRate(rate);
    }
    void applyBlockSize(int32_t size) override {
        ++blockSizeApplied;
        ExtendedEffectBase::applyBlockSize(size);
    }
    void switchOn() override { ++switchOns; }
    void switchOff() override { ++switchOffs; }
    bool keysNeeded() override { return needsKeys; }

    // Read access to the base state.
    using EffectBase::callHost;
    float sampleRate() const { return currentSampleRate; }
    int32_t blockSize() const { return currentBlockSize; }
    int32_t programs() const { return programCount; }
    int32_t parameters() const { return parameterCount; }
    void setSampleRate(float rate) { currentSampleRate = rate; }
    void setBlockSize(int32_t size) { currentBlockSize = size; }
    using ExtendedEffectBase::setFlag;

    struct Put {
        int32_t index;
        float value;
    };
    std::vector<Put> puts;
    std::vector<int32_t> accumulated;
    std::vector<int32_t> replaced;
    float lastPut = -1.0f;
    float level = 0.0f;
    bool needsKeys = false;
    int opens = 0;
    int closes = 0;
    int sampleRateApplied = 0;
    int blockSizeApplied = 0;
    int switchOns = 0;
    int switchOffs = 0;
};

/// An effect with only the base defaults reachable: nothing overridden but
/// the one operation every concrete effect must supply.
class BareEffect : public ExtendedEffectBase {
public:
    explicit BareEffect(audioMasterCallback host = nullptr) : ExtendedEffectBase(host, 4, 3) {}
    void processAccumulate(float**, float**, int32_t) override {}
    using EffectBase::callHost;
    using ExtendedEffectBase::setFlag;
    float sampleRate() const { return currentSampleRate; }
    int32_t blockSize() const { return currentBlockSize; }
};
