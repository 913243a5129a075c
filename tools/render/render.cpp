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
        float magnitude = std::fabs(samples[i]);
        largest = std::max(largest, magnitude);
        sumOfSquares += static_cast<double>(samples[i]) * samples[i];
    }
    sampleCount += count;
}

double LevelMeter::rms() const { return sampleCount > 0 ? std::sqrt(sumOfSquares / sampleCount) : 0.0; }

RenderResult render(PluginHost& host, AudioSource& source, SoundFileWriter& writer, const ProgressCallback& progress) {
    const int channels = source.channels();
    const int block = host.blockSize();
    // The plug-in may have more pins than the file has channels: spare inputs
    // get silence, spare outputs are written and dropped.
    const int inputPins = std::max(host.inputCount(), channels);
    const int outputPins = std::max(host.outputCount(), channels);

    std::vector<float> interleaved(static_cast<size_t>(block) * channels);
    std::vector<std::vector<float>> inputBuffers(channels, std::vector<float>(block));
    std::vector<std::vector<float>> outputBuffers(outputPins, std::vector<float>(block));
    std::vector<float> silence(block, 0.0f);
    std::vector<float*> inputs(inputPins, silence.data());
    std::vector<float*> outputs(outputPins);
    // A mono host hands the plug-in the same buffer on both inputs.
    for (int pin = 0; pin < inputPins; ++pin)
        if (pin < channels || channels == 1) inputs[pin] = inputBuffers[std::min(pin, channels - 1)].data();
    for (int pin = 0; pin < outputPins; ++pin) outputs[pin] = outputBuffers[pin].data();

    RenderResult result;
    auto started = std::chrono::steady_clock::now();
    for (;;) {
        int64_t got = source.read(interleaved.data(), block);
        if (got <= 0) break;
        const int frames = static_cast<int>(got);
        result.input.add(interleaved.data(), got * channels);
        for (int frame = 0; frame < frames; ++frame)
            for (int channel = 0; channel < channels; ++channel)
                inputBuffers[channel][frame] = interleaved[static_cast<size_t>(frame) * channels + channel];

        host.process(inputs.data(), outputs.data(), frames);

        for (int frame = 0; frame < frames; ++frame)
            for (int channel = 0; channel < channels; ++channel)
                interleaved[static_cast<size_t>(frame) * channels + channel] = outputBuffers[channel][frame];
        result.output.add(interleaved.data(), got * channels);
        writer.write(interleaved.data(), got);
        result.frames += got;
        if (progress && !progress(result.frames)) break;
        if (frames < block) break;
    }
    result.renderSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return result;
}
