// The render loop: source blocks through the plug-in into the writer, with
// level statistics and a progress callback.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class PluginHost;
class SoundFileReader;
class SoundFileWriter;

/// Interleaved audio, pulled block by block.
class AudioSource {
public:
    virtual ~AudioSource() = default;
    virtual int channels() const = 0;
    virtual int sampleRate() const = 0;
    /// Frames to expect, for progress; 0 when not known.
    virtual int64_t frames() const = 0;
    /// Up to `frameCount` frames; fewer only at the end.
    virtual int64_t read(float* interleaved, int64_t frameCount) = 0;
};

class FileSource : public AudioSource {
public:
    explicit FileSource(SoundFileReader& reader) : reader(reader) {}
    int channels() const override;
    int sampleRate() const override;
    int64_t frames() const override;
    int64_t read(float* interleaved, int64_t frameCount) override;

private:
    SoundFileReader& reader;
};

class MemorySource : public AudioSource {
public:
    MemorySource(std::vector<float> interleaved, int channels, int sampleRate);
    int channels() const override { return channelCount; }
    int sampleRate() const override { return rate; }
    int64_t frames() const override { return static_cast<int64_t>(samples.size()) / channelCount; }
    int64_t read(float* interleaved, int64_t frameCount) override;

private:
    std::vector<float> samples;
    int channelCount;
    int rate;
    int64_t position = 0;
};

/// Peak and RMS over all channels; samples that are not finite (NaN, inf)
/// are counted apart and left out of both.
class LevelMeter {
public:
    void add(const float* samples, int64_t count);
    float peak() const { return largest; }
    double rms() const;
    int64_t nonFinite() const { return nonFiniteCount; }

private:
    float largest = 0.0f;
    double sumOfSquares = 0.0;
    int64_t sampleCount = 0;
    int64_t nonFiniteCount = 0;
};

struct RenderResult {
    LevelMeter input;
    LevelMeter output;
    int64_t frames = 0;
    double renderSeconds = 0.0;  // wall time of the loop, reading and writing included
};

/// Called with the frames done so far; returns false to stop the render.
using ProgressCallback = std::function<bool(int64_t framesDone)>;

/// How many plug-in instances a source of `channels` channels takes: one per
/// stereo pair, and one for a last odd channel.
int instancesFor(int channels);

/// Runs the whole source through the started instances, instancesFor(channels)
/// of them: channels 1 and 2 through the first, 3 and 4 through the second,
/// and so on. A channel without a partner goes to both inputs of its
/// instance as one buffer, as a mono host passes it, and its left output is
/// kept: the same as either channel of a stereo pair of two equal channels.
/// With `oversample` above 1 the instances run at that multiple of the
/// source's rate (they must have been started so): the audio goes up and
/// back down through libsoxr, and the output keeps the input's length and
/// timing.
RenderResult render(const std::vector<std::unique_ptr<PluginHost>>& instances, AudioSource& source,
                    SoundFileWriter& writer, const ProgressCallback& progress, int oversample = 1);
