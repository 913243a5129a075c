// The VST 2 library built from the same sources, loaded through its `main`
// as a host loads it: what the other faces' samples and texts are held
// against. The test program defines VARNOX_PLUGIN_PATH.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/vst2.h"

class Vst2Plugin {
public:
    Vst2Plugin();
    ~Vst2Plugin();
    Vst2Plugin(const Vst2Plugin&) = delete;
    Vst2Plugin& operator=(const Vst2Plugin&) = delete;

    intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f);
    std::string text(int32_t opcode, int32_t index = 0);
    void set(int32_t index, float value) { record->setParameter(record, index, value); }
    float get(int32_t index) { return record->getParameter(record, index); }
    void start(float sampleRate = 44100.0f, int32_t blockSize = 1024);
    void process(float* inLeft, float* inRight, float* outLeft, float* outRight, int32_t frames);

    AEffect* record = nullptr;
};

/// A stereo result, whichever face made it.
struct Rendered {
    std::vector<float> left, right;
};

/// A test failure at the first frame whose bits differ from `expected`'s.
void expectSameSamples(const Rendered& got, const Rendered& expected, const std::string& what);
