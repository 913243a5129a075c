#include "tools/render/render.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "tools/render/audio_file.h"
#include "tools/render/plugin_host.h"

int FileSource::channels() const { return reader.channels(); }
int FileSource::sampleRate() const { return reader.sampleRate(); }
int64_t FileSource::frames() const { return reader.frames(); }
int64_t FileSource::read(float* interleaved, int64_t frameCount) { return reader.read(interleaved, frameCount); }

MemorySource::MemorySource(std::vector<float> interleaved, int channels, int sampleRate)
    : samples(std::move(interleaved)), channelCount(channels), rate(sampleRate) {}

int64_t MemorySource::read(float* interleaved, int64_t frameCount) {
    int64_t count = std::min(frameCount, frames() - position);
    std::copy_n(samples.begin() + position * channelCount, count * channelCount, interleaved);
    position += count;
    return count;
}

void LevelMeter::add(const float* samples, int64_t count) {
    for (int64_t i = 0; i < count; ++i) {
        if (!std::isfinite(samples[i])) {
            ++nonFiniteCount;
            continue;
        }
        largest = std::max(largest, std::fabs(samples[i]));
        sumOfSquares += static_cast<double>(samples[i]) * samples[i];
        ++sampleCount;
    }
}

double LevelMeter::rms() const { return sampleCount > 0 ? std::sqrt(sumOfSquares / sampleCount) : 0.0; }

int instancesFor(int channels) { return (channels + 1) / 2; }

namespace {

// One instance's share: its channels of the file and the buffers it runs on.
struct Lane {
    PluginHost* host = nullptr;
    int firstChannel = 0;
    int channelCount = 0;  // 1 or 2
    std::vector<std::vector<float>> inputBuffers, outputBuffers;
    std::vector<float*> inputs, outputs;

    Lane(PluginHost& plugin, int first, int count, int block, std::vector<float>& silence)
        : host(&plugin), firstChannel(first), channelCount(count) {
        // The plug-in may have more pins than the lane has channels: spare
        // inputs get silence, spare outputs are written and dropped.
        const int inputPins = std::max(host->inputCount(), 2);
        const int outputPins = std::max(host->outputCount(), 2);
        inputBuffers.assign(static_cast<size_t>(count), std::vector<float>(static_cast<size_t>(block)));
        outputBuffers.assign(static_cast<size_t>(outputPins), std::vector<float>(static_cast<size_t>(block)));
        inputs.assign(static_cast<size_t>(inputPins), silence.data());
        // A mono host hands the plug-in the same buffer on both inputs.
        for (int pin = 0; pin < 2; ++pin) inputs[static_cast<size_t>(pin)] = inputBuffers[static_cast<size_t>(std::min(pin, count - 1))].data();
        for (int pin = 0; pin < outputPins; ++pin) outputs.push_back(outputBuffers[static_cast<size_t>(pin)].data());
    }
};

}  // namespace

RenderResult render(const std::vector<std::unique_ptr<PluginHost>>& instances, AudioSource& source,
                    SoundFileWriter& writer, const ProgressCallback& progress) {
    const int channels = source.channels();
    const int block = instances.front()->blockSize();
    std::vector<float> silence(static_cast<size_t>(block), 0.0f);
    std::vector<Lane> lanes;
    lanes.reserve(static_cast<size_t>(instancesFor(channels)));
    for (int first = 0, index = 0; first < channels; first += 2, ++index)
        lanes.emplace_back(*instances[static_cast<size_t>(index)], first, std::min(2, channels - first), block, silence);

    std::vector<float> interleaved(static_cast<size_t>(block) * static_cast<size_t>(channels));
    auto at = [channels](int frame, int channel) {
        return static_cast<size_t>(frame) * static_cast<size_t>(channels) + static_cast<size_t>(channel);
    };
    RenderResult result;
    auto started = std::chrono::steady_clock::now();
    for (;;) {
        int64_t got = source.read(interleaved.data(), block);
        if (got <= 0) break;
        const int frames = static_cast<int>(got);
        result.input.add(interleaved.data(), got * channels);
        for (Lane& lane : lanes) {
            for (int frame = 0; frame < frames; ++frame)
                for (int c = 0; c < lane.channelCount; ++c)
                    lane.inputBuffers[static_cast<size_t>(c)][static_cast<size_t>(frame)] = interleaved[at(frame, lane.firstChannel + c)];
            lane.host->process(lane.inputs.data(), lane.outputs.data(), frames);
            for (int frame = 0; frame < frames; ++frame)
                for (int c = 0; c < lane.channelCount; ++c)
                    interleaved[at(frame, lane.firstChannel + c)] = lane.outputBuffers[static_cast<size_t>(c)][static_cast<size_t>(frame)];
        }
        result.output.add(interleaved.data(), got * channels);
        writer.write(interleaved.data(), got);
        result.frames += got;
        if (progress && !progress(result.frames)) break;
        if (frames < block) break;
    }
    result.renderSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return result;
}
