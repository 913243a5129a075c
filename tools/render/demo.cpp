#include "tools/render/demo.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRate = kDemoSampleRate;
constexpr double kBeat = 0.5;          // 120 beats per minute
constexpr double kMusicSeconds = 4.0;  // two bars
constexpr double kTotalSeconds = 6.0;  // the rest is the quiet tail
constexpr double kPeak = 0.89;         // -1 dBFS, so unity gain does not clip

// Its own generator: the demo must not change with the standard library.
class Noise {
public:
    double next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<double>(state) / 2147483648.0 - 1.0;
    }

private:
    uint32_t state = 0x9E3779B9u;
};

struct Stereo {
    std::vector<double> left, right;
    explicit Stereo(size_t frames) : left(frames), right(frames) {}
    // Constant-power pan: -1 left, +1 right.
    void add(size_t frame, double sample, double pan) {
        if (frame >= left.size()) return;
        double angle = (pan + 1.0) * kPi / 4.0;
        left[frame] += sample * std::cos(angle);
        right[frame] += sample * std::sin(angle);
    }
};

size_t at(double seconds) { return static_cast<size_t>(seconds * kRate); }

// Karplus-Strong: a noise burst circulating through a damped averaging delay.
void pluck(Stereo& out, Noise& noise, double start, double frequency, double level, double pan, double seconds) {
    size_t period = static_cast<size_t>(kRate / frequency);
    std::vector<double> line(period);
    double previous = 0.0;
    for (double& sample : line) {  // a softened burst sounds less like a harpsichord
        previous = 0.5 * previous + 0.5 * noise.next();
        sample = previous;
    }
    size_t first = at(start);
    size_t count = at(seconds);
    for (size_t n = 0, position = 0; n < count; ++n) {
        size_t nextPosition = (position + 1) % period;
        double sample = line[position];
        line[position] = 0.996 * 0.5 * (sample + line[nextPosition]);
        position = nextPosition;
        out.add(first + n, level * sample, pan);
    }
}

void strum(Stereo& out, Noise& noise, double start, const std::vector<double>& notes, double level,
           double seconds) {
    for (size_t i = 0; i < notes.size(); ++i) {
        double pan = -0.6 + 1.2 * static_cast<double>(i) / static_cast<double>(notes.size() - 1);
        pluck(out, noise, start + 0.012 * static_cast<double>(i), notes[i], level, pan, seconds);
    }
}

void kick(Stereo& out, double start) {
    double phase = 0.0;
    for (size_t n = 0; n < at(0.35); ++n) {
        double t = static_cast<double>(n) / kRate;
        double frequency = 48.0 + 110.0 * std::exp(-t * 28.0);
        phase += 2.0 * kPi * frequency / kRate;
        out.add(at(start) + n, 0.9 * std::sin(phase) * std::exp(-t * 9.0), 0.0);
    }
}

void snare(Stereo& out, Noise& noise, double start) {
    double low = 0.0;
    for (size_t n = 0; n < at(0.22); ++n) {
        double t = static_cast<double>(n) / kRate;
        double white = noise.next();
        low += 0.3 * (white - low);
        double body = std::sin(2.0 * kPi * 185.0 * t) * std::exp(-t * 30.0);
        out.add(at(start) + n, (0.45 * (white - low) + 0.35 * body) * std::exp(-t * 18.0), 0.1);
    }
}

void hat(Stereo& out, Noise& noise, double start, double level) {
    double previous = 0.0;
    for (size_t n = 0; n < at(0.06); ++n) {
        double t = static_cast<double>(n) / kRate;
        double white = noise.next();
        double high = white - previous;  // first difference: only the fizz is left
        previous = white;
        out.add(at(start) + n, level * high * std::exp(-t * 70.0), 0.35);
    }
}

}  // namespace

std::vector<float> demoSamples() {
    size_t frames = at(kTotalSeconds);
    Stereo mix(frames);
    Noise noise;

    const std::vector<double> eMinor = {82.41, 123.47, 164.81, 196.00, 246.94, 329.63};
    const std::vector<double> cMajor = {130.81, 164.81, 196.00, 261.63, 329.63};
    const std::vector<double> aMinor = {110.00, 164.81, 220.00, 261.63, 329.63};
    strum(mix, noise, 0.0, eMinor, 0.22, 2.0);
    strum(mix, noise, 1.0, eMinor, 0.16, 1.0);
    strum(mix, noise, 2.0, cMajor, 0.22, 2.0);
    strum(mix, noise, 3.0, cMajor, 0.16, 1.0);

    for (int beat = 0; beat < 8; ++beat) {
        double start = beat * kBeat;
        if (beat % 2 == 0) kick(mix, start);
        else snare(mix, noise, start);
        hat(mix, noise, start, 0.25);
        hat(mix, noise, start + kBeat / 2, 0.15);
    }
    kick(mix, 3.75);

    // Scale the loud part to the demo's peak before the tail goes in, so the
    // tail stays quiet (about -30 dBFS) whatever the loop adds up to.
    double peak = 0.0;
    for (size_t n = 0; n < frames; ++n) peak = std::max({peak, std::fabs(mix.left[n]), std::fabs(mix.right[n])});
    double scale = peak > 0.0 ? kPeak / peak : 1.0;
    for (size_t n = 0; n < frames; ++n) {
        mix.left[n] *= scale;
        mix.right[n] *= scale;
    }
    Stereo tail(frames);
    strum(tail, noise, kMusicSeconds, aMinor, 0.03, kTotalSeconds - kMusicSeconds);

    std::vector<float> interleaved(frames * kDemoChannels);
    size_t fadeStart = at(kTotalSeconds - 0.5);
    for (size_t n = 0; n < frames; ++n) {
        double fade = n < fadeStart ? 1.0 : static_cast<double>(frames - n) / static_cast<double>(frames - fadeStart);
        interleaved[2 * n] = static_cast<float>((mix.left[n] + tail.left[n]) * fade);
        interleaved[2 * n + 1] = static_cast<float>((mix.right[n] + tail.right[n]) * fade);
    }
    return interleaved;
}
