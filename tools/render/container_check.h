// What the header of a WAV, RF64, W64, AIFF or AU file promises about its
// audio. libsndfile trims such a file to what it holds without saying so, and
// reads none of the samples behind a data chunk whose size was never filled
// in; comparing the promise with what was read tells a damaged file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

struct DeclaredLength {
    int64_t frames = -1;       // frames the header promises; -1: it does not say
    int64_t framesBeyond = 0;  // whole frames of data after the declared audio that no chunk accounts for
};

/// Bytes per sample of a fixed-size sample format (PCM, float, A/u-law), or 0.
int bytesPerSample(int format);

/// Reads up to `size` bytes at `offset`; returns how many it read.
using ByteReader = std::function<size_t(int64_t offset, void* buffer, size_t size)>;

/// The promise of the file `read` gives access to (`fileSize` bytes), opened
/// by libsndfile as `format` with `channels`. Other containers, and samples
/// without a fixed size (ADPCM, codecs), answer "does not say".
DeclaredLength declaredLength(const ByteReader& read, int64_t fileSize, int format, int channels);
