#include "tools/render/render.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include <soxr.h>

#include "tools/render/audio_file.h"
#include "tools/render/tool_error.h"
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

namespace {

// One libsoxr stream at its very-high quality (offline: the best filter
// wins). Its output is aligned with its input: the filter's delay is taken
// out at the start and the tail comes with the flush.
class Resampler {
public:
    Resampler(double from, double to, int channels) : channels_(channels), ratio_(to / from) {
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_VHQ, 0);
        soxr_error_t error = nullptr;
        handle_ = soxr_create(from, to, static_cast<unsigned>(channels), &error, nullptr, &quality, nullptr);
        if (error || !handle_) throw ToolError(kExitFailure, std::string("cannot set up the resampler: ") + (error ? error : "no memory"));
    }
    ~Resampler() { soxr_delete(handle_); }
    Resampler(const Resampler&) = delete;
    Resampler& operator=(const Resampler&) = delete;

    /// Appends what `count` interleaved frames at `in` give to `out`; a null
    /// `in` flushes what the filter still holds.
    void run(const float* in, std::size_t count, std::vector<float>& out) {
        const auto width = static_cast<std::size_t>(channels_);
        std::size_t offered = 0;
        for (;;) {
            const std::size_t left = in ? count - offered : 0;
            const auto room = static_cast<std::size_t>(static_cast<double>(left) * ratio_) + 256;
            const std::size_t before = out.size();
            out.resize(before + room * width);
            std::size_t taken = 0, given = 0;
            const soxr_error_t error =
                soxr_process(handle_, in ? in + offered * width : nullptr, left, &taken, out.data() + before, room, &given);
            if (error) throw ToolError(kExitFailure, std::string("resampling failed: ") + error);
            out.resize(before + given * width);
            offered += taken;
            // Done once the input is taken and the output did not fill its room.
            if ((in == nullptr || offered >= count) && given < room) return;
        }
    }

private:
    soxr_t handle_ = nullptr;
    int channels_;
    double ratio_;
};

// Runs `frames` interleaved frames of `channels` channels through the lanes, in place.
void processLanes(std::vector<Lane>& lanes, float* interleaved, int frames, int channels) {
    auto at = [channels](int frame, int channel) {
        return static_cast<size_t>(frame) * static_cast<size_t>(channels) + static_cast<size_t>(channel);
    };
    for (Lane& lane : lanes) {
        for (int frame = 0; frame < frames; ++frame)
            for (int c = 0; c < lane.channelCount; ++c)
                lane.inputBuffers[static_cast<size_t>(c)][static_cast<size_t>(frame)] = interleaved[at(frame, lane.firstChannel + c)];
        lane.host->process(lane.inputs.data(), lane.outputs.data(), frames);
        for (int frame = 0; frame < frames; ++frame)
            for (int c = 0; c < lane.channelCount; ++c)
                interleaved[at(frame, lane.firstChannel + c)] = lane.outputBuffers[static_cast<size_t>(c)][static_cast<size_t>(frame)];
    }
}

}  // namespace

RenderResult render(const std::vector<std::unique_ptr<PluginHost>>& instances, AudioSource& source,
                    SoundFileWriter& writer, const ProgressCallback& progress, int oversample) {
    const int channels = source.channels();
    const int pluginBlock = instances.front()->blockSize();
    std::vector<float> silence(static_cast<size_t>(pluginBlock), 0.0f);
    std::vector<Lane> lanes;
    lanes.reserve(static_cast<size_t>(instancesFor(channels)));
    for (int first = 0, index = 0; first < channels; first += 2, ++index)
        lanes.emplace_back(*instances[static_cast<size_t>(index)], first, std::min(2, channels - first), pluginBlock, silence);

    // The file's blocks; oversampled, the plug-in's blocks are that many times longer.
    const int block = std::max(1, pluginBlock / std::max(1, oversample));
    std::vector<float> interleaved(static_cast<size_t>(block) * static_cast<size_t>(channels));
    std::unique_ptr<Resampler> up, down;
    if (oversample > 1) {
        const double rate = source.sampleRate();
        up = std::make_unique<Resampler>(rate, rate * oversample, channels);
        down = std::make_unique<Resampler>(rate * oversample, rate, channels);
    }
    std::vector<float> fast, slow;
    RenderResult result;
    int64_t written = 0;
    // Oversampled output lags its input by what the resamplers hold; it is
    // written as it comes, up to the input's length.
    const auto emit = [&](float* samples, int64_t frames) {
        frames = std::min(frames, result.frames - written);
        if (frames <= 0) return;
        result.output.add(samples, frames * channels);
        writer.write(samples, frames);
        written += frames;
    };
    const auto throughPlugin = [&](std::vector<float>& samples) {
        const auto frames = static_cast<int>(samples.size() / static_cast<size_t>(channels));
        for (int at = 0; at < frames; at += pluginBlock)
            processLanes(lanes, samples.data() + static_cast<size_t>(at) * channels, std::min(pluginBlock, frames - at), channels);
    };
    auto started = std::chrono::steady_clock::now();
    for (;;) {
        int64_t got = source.read(interleaved.data(), block);
        const bool last = got < block;
        if (got > 0) {
            const int frames = static_cast<int>(got);
            result.input.add(interleaved.data(), got * channels);
            result.frames += got;
            if (!up) {
                processLanes(lanes, interleaved.data(), frames, channels);
                emit(interleaved.data(), got);
            } else {
                fast.clear();
                up->run(interleaved.data(), static_cast<size_t>(got), fast);
            }
        }
        if (up) {
            if (last) up->run(nullptr, 0, fast);
            throughPlugin(fast);
            slow.clear();
            down->run(fast.data(), fast.size() / static_cast<size_t>(channels), slow);
            if (last) down->run(nullptr, 0, slow);
            emit(slow.data(), static_cast<int64_t>(slow.size() / static_cast<size_t>(channels)));
            fast.clear();
        }
        if (progress && !progress(result.frames)) break;
        if (last) break;
    }
    // Whatever the filters' rounding left short of the input's length is silence.
    if (up && written < result.frames) {
        std::vector<float> zeros(static_cast<size_t>(result.frames - written) * static_cast<size_t>(channels), 0.0f);
        emit(zeros.data(), result.frames - written);
    }
    result.renderSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return result;
}
