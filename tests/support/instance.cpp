#include "tests/support/instance.h"

#include <algorithm>
#include <stdexcept>

#include "product/shaper_effect_edit.h"

Instance::Instance(FakeHost& /*host*/) : record_(createEffectInstance(FakeHost::callback)) {
    if (!record_) throw std::runtime_error("the entry made no instance");
}

Instance::~Instance() { record_->dispatcher(record_, effClose, 0, 0, nullptr, 0.0f); }

intptr_t Instance::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) const {
    return record_->dispatcher(record_, opcode, index, value, ptr, opt);
}

std::string Instance::text(int32_t opcode, int32_t index) const {
    char buffer[256] = {};
    dispatch(opcode, index, 0, buffer);
    return buffer;
}

void Instance::start(float sampleRate, int32_t blockSize) const {
    dispatch(effSetSampleRate, 0, 0, nullptr, sampleRate);
    dispatch(effSetBlockSize, 0, blockSize);
    dispatch(effMainsChanged, 0, 1);
}

void Instance::render(std::vector<float>& left, std::vector<float>& right, int32_t blockSize) const {
    const std::size_t frames = std::min(left.size(), right.size());
    std::vector<float> outLeft(frames), outRight(frames);
    for (std::size_t start = 0; start < frames; start += blockSize) {
        const auto count = static_cast<int32_t>(std::min<std::size_t>(blockSize, frames - start));
        float* inputs[2] = {left.data() + start, right.data() + start};
        float* outputs[2] = {outLeft.data() + start, outRight.data() + start};
        record_->processReplacing(record_, inputs, outputs, count);
    }
    left = std::move(outLeft);
    right = std::move(outRight);
}
