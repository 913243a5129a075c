#include "tests/support/reference_model.h"

#include <cmath>

namespace model {

const std::array<RawValues, 10> kFactoryPrograms = {{
    {64, 64, 64, 0, 0, 0},
    {56, 64, 21, 26, 0, 1},
    {64, 115, 12, 77, 0, 0},
    {64, 17, 76, 128, 0, 1},
    {64, 0, 128, 128, 1, 1},
    {47, 0, 0, 128, 1, 0},
    {64, 81, 111, 128, 1, 1},
    {54, 112, 0, 128, 1, 0},
    {54, 128, 0, 128, 1, 1},
    {64, 128, 0, 128, 1, 1},
}};

Coefficients derive(const RawValues& raw, float sampleRate) {
    Coefficients c{};
    const float g = raw[0];
    if (g > 64.0f) {
        float d = (g - 65.0f) * 0.015384615f;
        float dd = d * d;
        c.inputGain = (1.0f - dd) + 6.66f * dd;
    } else {
        float e = (g * 0.015625f) * (g * 0.015625f);
        c.inputGain = e + 0.158f * (1.0f - e);
    }
    const float scale = 44100.0f / sampleRate;
    const float a = raw[1] / 128.0f;
    const float r = raw[2] / 128.0f;
    c.attack = 0.1f * scale / (127.0f * (a * a) + 1.0f);
    c.release = 0.08f * scale / (200.0f * (r * r) + 1.0f);
    c.drive = raw[3] / 128.0f;
    return c;
}

Effect::Effect(const RawValues& raw, float sampleRate) : raw_(raw), c_(derive(raw, sampleRate)) {}

void Effect::process(std::vector<float>& left, std::vector<float>& right) {
    const bool boost = raw_[5] != 0.0f;
    const bool twice = raw_[4] == 1.0f;
    std::vector<float>* channels[2] = {&left, &right};
    float* peaks[2] = {&peakLeft, &peakRight};
    for (int ch = 0; ch < 2; ++ch) {
        for (float& sample : *channels[ch]) {
            float w = sample * c_.inputGain;
            if (std::fabs(w) > 1.0f) clipLevel = 1.0f;
            *peaks[ch] = std::fmax(*peaks[ch], std::fabs(w));
            if (std::fabs(w) < 2.3283064e-10f) w = 0.0f;
            w = stages_[ch].run(w, boost, c_);
            if (twice) w = stages_[2 + ch].run(w, boost, c_);
            sample = w;
        }
    }
}

}  // namespace model
