#include "tools/render/job.h"

#include <sndfile.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "tools/render/audio_file.h"
#include "tools/render/demo.h"
#include "tools/render/output_file.h"
#include "tools/render/plugin_host.h"
#include "tools/render/progress.h"
#include "tools/render/render.h"
#include "tools/render/stop_signals.h"

namespace fs = std::filesystem;

namespace {

// Below this the render time is mostly opening files and loading the plug-in.
constexpr double kShortestTimedRender = 0.01;

std::string decibels(double level) {
    if (level <= 0.0) return "-inf";
    double value = 20.0 * std::log10(level);
    char text[32];
    // Signed so that a level above full scale cannot be misread; no "-0.0".
    std::snprintf(text, sizeof text, std::fabs(value) < 0.05 ? "0.0" : "%+.1f", value);
    return text;
}

// Short renders in seconds, long ones as minutes and seconds.
std::string formatDuration(double seconds) {
    if (seconds >= 60.0) return formatTime(seconds);
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", seconds);
    return text;
}

std::string levels(const char* which, const LevelMeter& meter) {
    std::string text = std::string(which) + " peak " + decibels(meter.peak()) + " dBFS, RMS " +
                       decibels(meter.rms()) + " dBFS";
    if (int64_t bad = meter.nonFinite())
        text += ", " + std::to_string(bad) + (bad == 1 ? " sample" : " samples") + " not finite (NaN or inf)";
    return text;
}

std::string channelLayout(int channels) {
    if (channels == 1) return "mono";
    if (channels == 2) return "stereo";
    int pairs = channels / 2;
    std::string text = std::to_string(channels) + " channels (" + std::to_string(pairs) + " stereo pair" +
                       (pairs == 1 ? "" : "s");
    return text + (channels % 2 != 0 ? " and a mono channel)" : ")");
}

std::string speed(const RenderResult& result, double audioSeconds) {
    if (result.renderSeconds < kShortestTimedRender || audioSeconds <= 0.0) return "- (too short to time)";
    double factor = result.renderSeconds / audioSeconds;
    double times = 1.0 / factor;
    char text[64];
    std::snprintf(text, sizeof text, times >= 10.0 ? "%.4f (%.0fx real time)" : "%.4f (%.2gx real time)", factor, times);
    return text;
}

// A name as the summary shows it: control characters (a newline in a file
// name) escaped, so that one file stays one line.
std::string printable(const std::string& name) {
    std::string text;
    for (unsigned char c : name) {
        if (c >= 0x20 && c != 0x7F) {
            text += static_cast<char>(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, c == '\n' ? "\\n" : c == '\t' ? "\\t" : "\\x%02x", c);
            text += escaped;
        }
    }
    return text;
}

std::string shown(const std::string& path, const char* stream) { return path == "-" ? stream : printable(path); }

std::string clipText(int64_t clipped) {
    if (clipped == 0) return "";
    return "; " + std::to_string(clipped) + (clipped == 1 ? " sample" : " samples") + " clipped at full scale";
}

std::string summaryLine(const Job& job, PluginHost& host, const RenderPlan& plan, const RenderResult& result,
                        const SoundFileWriter& writer, int channels, int sampleRate) {
    double audioSeconds = static_cast<double>(result.frames) / sampleRate;
    std::string clip = "n/a";
    if (std::optional<float> gain = inputGain(host)) {
        // The plug-in's indicator fires on a gained input sample beyond full
        // scale; the largest one is the input peak times the gain.
        float gainedPeak = result.input.peak() * *gain;
        clip = std::string(gainedPeak > 1.0f ? "fired" : "off") + " (input peak x Ingain " + decibels(gainedPeak) +
               " dBFS)";
    }
    return (job.input.empty() ? std::string("demo") : shown(job.input, "standard input")) + " -> " +
           shown(job.output, "standard output") + " (" + writer.description() + "): " + formatDuration(audioSeconds) +
           ", " + std::to_string(sampleRate) + " Hz " + channelLayout(channels) + ", " + presetText(host, plan.preset) +
           (plan.oversample > 1 ? ", oversampled " + std::to_string(plan.oversample) + "x" : std::string()) + "; " +
           levels("input", result.input) + "; " + levels("output", result.output) + "; clip indicator " + clip +
           clipText(writer.clipped()) + "; real-time factor " + speed(result, audioSeconds) +
           (writer.carried().empty() ? "" : "; carried over: " + joinWords(writer.carried()));
}

// The input's modification time on the finished output (--keep-times).
void keepTime(const Job& job) {
    struct stat input {};
    if (job.input.empty() || job.output == "-" || stat(job.input.c_str(), &input) != 0) return;
    const struct timespec times[2] = {{0, UTIME_OMIT}, input.st_mtim};
    if (utimensat(AT_FDCWD, job.output.c_str(), times, 0) != 0)
        throw ToolError(kExitFailure, "cannot give output '" + job.output + "' its input's time: " + std::strerror(errno));
}

JobResult renderFile(const Job& job, const RenderPlan& plan, const JobProgress& progress) {
    if (int signal = stopsignals::received()) throw interruptedError(signal);
    if (job.skip) {
        JobResult skipped;
        skipped.summary = shown(job.input, "standard input") + " -> " + shown(job.output, "standard output") +
                          ": exists, left alone (--no-clobber)";
        return skipped;
    }
    // Known before the output's temporary file exists: a render over its
    // own input must not replace it with less than it held.
    const std::optional<FileIdentity> inputFile = job.input.empty() ? std::nullopt : identityOf(job.input, STDIN_FILENO);
    const bool inPlace = inputFile && inputFile == identityOf(job.output, STDOUT_FILENO);
    // The output first: a destination that cannot be written is found
    // before any time goes into reading and rendering.
    OutputFile output(job.output, !job.inBatch);
    std::unique_ptr<SoundFileReader> reader;
    std::unique_ptr<AudioSource> source;
    if (job.input.empty()) {
        source = std::make_unique<MemorySource>(demoSamples(), kDemoChannels, kDemoSampleRate);
    } else {
        // A worker thread's open is not cut short by a signal: it must not wait.
        reader = std::make_unique<SoundFileReader>(job.input, !job.inBatch, plan.rawInput);
        source = std::make_unique<FileSource>(*reader);
    }
    const int channels = source->channels();
    const int sampleRate = source->sampleRate();

    std::vector<std::unique_ptr<PluginHost>> instances;
    for (int i = 0; i < instancesFor(channels); ++i) {
        instances.push_back(std::make_unique<PluginHost>(plan.pluginPath));
        applyPreset(*instances.back(), plan.preset);
        instances.back()->start(static_cast<float>(sampleRate) * static_cast<float>(plan.oversample),
                                plan.blockSize * plan.oversample);
    }

    WriterSettings settings;
    settings.format = chooseOutputFormat(job.type, plan.format, reader ? reader->format() : 0, channels, sampleRate);
    if (job.type.container == SF_FORMAT_RAW && plan.rawOutputSubtype != 0)
        settings.format = SF_FORMAT_RAW | plan.rawOutputSubtype;
    settings.channels = channels;
    settings.sampleRate = sampleRate;
    settings.dither = plan.dither;
    // Each file its own dither, the same for the same name and settings.
    const std::string inputName = job.input.empty() ? "demo" : fs::path(job.input).filename().string();
    settings.ditherSeed = ditherSeed(inputName, presetText(*instances.front(), plan.preset));
    settings.expectedFrames = source->frames();
    settings.exactLength = reader ? reader->exactLength() : true;
    settings.metadataFrom = reader.get();
    settings.encoder = plan.encoder;
    SoundFileWriter writer(output, settings);
    const int64_t expected = source->frames();
    RenderResult result = render(instances, *source, writer, [&](int64_t done) {
        if (stopsignals::received() != 0) return false;
        if (progress) progress(done, expected, sampleRate);
        return true;
    }, plan.oversample);
    for (auto& instance : instances) instance->stop();
    if (int signal = stopsignals::received()) throw interruptedError(signal);
    if (reader) reader->checkStream();

    JobResult outcome;
    if (std::optional<std::string> damage = reader ? reader->damage() : std::nullopt) {
        // The render holds only what could be read: over the input itself
        // it would throw the rest away.
        if (inPlace)
            throw ToolError(kExitDamaged, *damage + "; not replaced by its render, which holds only what was read");
        outcome.warning = *damage;
        outcome.exitCode = kExitDamaged;
    }
    writer.commit();
    if (plan.keepTimes) keepTime(job);
    outcome.summary = summaryLine(job, *instances.front(), plan, result, writer, channels, sampleRate);
    return outcome;
}

}  // namespace

JobResult runJob(const Job& job, const RenderPlan& plan, const JobProgress& progress) {
    try {
        return renderFile(job, plan, progress);
    } catch (const ToolError& error) {
        return JobResult{error.exitCode(), {}, {}, error.what()};
    } catch (const std::exception& error) {
        return JobResult{kExitFailure, {}, {}, error.what()};
    }
}
