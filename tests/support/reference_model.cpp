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

float Stage::run(float input, bool boost, const Coefficients& co) {
    const float x = std::fmin(1.0f, std::fmax(-1.0f, input));
    const float u = std::fabs(x);
    const float e0 = envelope;
    const float cube = (1.0f - e0) * (1.0f - e0) * (1.0f - e0);
    const float c = boost ? co.drive * cube : co.drive * (cube * cube);
    if (u > envelope) {
        if (boost)
            envelope = envelope + (u - envelope) * co.attack;
        else
            envelope = envelope + (u - envelope) * co.attack * c;
    }
    if (envelope > u) {
        if (boost) {
            float q = envelope - u;
            envelope = envelope - q * q * ((1.01f - c) * (1.01f - c)) * co.release;
        } else {
            envelope = envelope - (envelope - u) * co.release * (envelope * envelope);
        }
    }
    weight = (weight + c) * 0.5f;
    const float k = weight;
    float t = 2.0f * u;
    if (t > 1.0f) t = 2.0f - t;
    float shaped = 2.0f * t * (1.0f - 0.5f * t);
    if (x < 0.0f) shaped = -shaped;
    const float y = k * shaped + x * (1.0f - k * k);
    const float d = std::fmin(1.0f, std::fabs(y - lastShaped));
    lastShaped = y;
    smoothed = smoothed + (y - smoothed) * (boost ? 1.0f - k * k * d : 1.0f - k * d);
    const float flush = 1.192111085e-7f;
    return std::fabs(smoothed) < flush ? 0.0f : smoothed;
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
