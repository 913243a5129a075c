// An effect instance as a host holds it: created through the entry, driven
// through its AEffect record, closed with effClose.
#pragma once

#include <string>
#include <vector>

#include "engine/shaper_effect.h"
#include "host/effect_base.h"
#include "tests/support/fake_host.h"

class Instance {
public:
    explicit Instance(FakeHost& host);
    ~Instance();
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    AEffect* record() const { return record_; }
    ShaperEffect& effect() const { return *static_cast<ShaperEffect*>(EffectBase::fromRecord(record_)); }

    intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                      float opt = 0.0f) const;
    /// A text opcode's answer, read from a 256-byte buffer.
    std::string text(int32_t opcode, int32_t index = 0) const;
    void set(int32_t index, float value) const { record_->setParameter(record_, index, value); }
    float get(int32_t index) const { return record_->getParameter(record_, index); }

    /// Sample rate, block size and switch-on, as a host prepares to play.
    void start(float sampleRate = 44100.0f, int32_t blockSize = 512) const;
    /// Runs a stereo signal through processReplacing in blocks of `blockSize`.
    void render(std::vector<float>& left, std::vector<float>& right, int32_t blockSize = 512) const;

private:
    AEffect* record_;
};
