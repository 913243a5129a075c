// The built-in demo: a few seconds of synthesised stereo music, so the tool
// can be heard without an input file.
#pragma once

#include <vector>

constexpr int kDemoSampleRate = 44100;
constexpr int kDemoChannels = 2;

/// Interleaved stereo at kDemoSampleRate: two strummed chords over a drum
/// loop, then a quiet, decaying tail. The same samples on every call.
std::vector<float> demoSamples();
