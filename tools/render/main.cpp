// varnox-render: an offline VST 2 host that runs audio files through the
// Varnox plug-in library, loaded at run time exactly as a DAW loads it.
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "host/effect_base.h"
#include "platform/dynamic_library.h"
#include "product/shaper_effect_edit.h"
#include "tools/common/editor_snapshot.h"
#include "tools/render/audio_file.h"
#include "tools/render/controls.h"
#include "tools/render/demo.h"
#include "tools/render/options.h"
#include "tools/render/plugin_host.h"
#include "tools/render/render.h"
#include "tools/render/tool_error.h"

namespace {

volatile std::sig_atomic_t interrupted = 0;

extern "C" void onInterrupt(int) { interrupted = 1; }

std::string defaultPluginPath() {
    // The library is built beside the tool; a relative name would make dlopen
    // search the system paths instead.
    std::filesystem::path self = executablePath();
    return (self.empty() ? std::filesystem::current_path() : self.parent_path()) / VARNOX_PLUGIN_FILE;
}

std::string trimEnd(std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

std::string decibels(double level) {
    if (level <= 0.0) return "-inf";
    double value = 20.0 * std::log10(level);
    char text[32];
    // Signed so that a level above full scale cannot be misread; no "-0.0".
    std::snprintf(text, sizeof text, std::fabs(value) < 0.05 ? "0.0" : "%+.1f", value);
    return text;
}

std::string formatTime(double seconds) {
    int whole = static_cast<int>(seconds);
    char text[32];
    std::snprintf(text, sizeof text, "%d:%02d", whole / 60, whole % 60);
    return text;
}

// Short renders in seconds, long ones as minutes and seconds.
std::string formatDuration(double seconds) {
    if (seconds >= 60.0) return formatTime(seconds);
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", seconds);
    return text;
}


// Drawn on stderr, only on a terminal and only once a render has run for a
// moment, so short renders and pipelines stay quiet.
class ProgressBar {
public:
    ProgressBar(bool enabled, int64_t totalFrames, int sampleRate)
        : enabled(enabled && totalFrames > 0), total(totalFrames), rate(sampleRate),
          started(std::chrono::steady_clock::now()) {}
    ~ProgressBar() { clear(); }

    void update(int64_t done) {
        if (!enabled) return;
        auto now = std::chrono::steady_clock::now();
        if (now - started < std::chrono::milliseconds(500) || now - lastDrawn < std::chrono::milliseconds(100)) return;
        lastDrawn = now;
        constexpr int kWidth = 30;
        double fraction = std::min(1.0, static_cast<double>(done) / static_cast<double>(total));
        int filled = static_cast<int>(fraction * kWidth);
        std::fprintf(stderr, "\r[%s%s] %3d%%  %s / %s", std::string(filled, '#').c_str(),
                     std::string(kWidth - filled, '-').c_str(), static_cast<int>(fraction * 100.0),
                     formatTime(static_cast<double>(done) / rate).c_str(),
                     formatTime(static_cast<double>(total) / rate).c_str());
        std::fflush(stderr);
        drawn = true;
    }

    void clear() {
        if (!drawn) return;
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
        drawn = false;
    }

private:
    bool enabled;
    int64_t total;
    int rate;
    std::chrono::steady_clock::time_point started;
    std::chrono::steady_clock::time_point lastDrawn{};
    bool drawn = false;
};

void listPlugin(PluginHost& host) {
    std::printf("%s (%s): %d programs, %d parameters\n", host.effectName().c_str(), host.vendorName().c_str(),
                host.programCount(), host.parameterCount());
    std::printf("Programs:\n");
    int current = host.currentProgram();
    for (int program = 0; program < host.programCount(); ++program)
        std::printf("%s%2d  %s\n", program == current ? " * " : "   ", program,
                    trimEnd(host.programName(program)).c_str());
    std::printf("Parameters:\n");
    for (int index = 0; index < host.parameterCount(); ++index)
        std::printf("   %2d  %-12s %6s %-3s (%.6f)\n", index, trimEnd(host.parameterName(index)).c_str(),
                    host.parameterDisplay(index).c_str(), host.parameterLabel(index).c_str(),
                    static_cast<double>(host.parameter(index)));
}

std::string settingsText(PluginHost& host, const Options& options) {
    int program = host.currentProgram();
    std::string text = "program " + std::to_string(program) + " \"" + trimEnd(host.programName(program)) + "\"";
    for (size_t i = 0; i < options.settings.size(); ++i) text += (i == 0 ? " with " : ", ") + options.settings[i];
    return text;
}

// The editor draws on this program's software window layer, so the effect
// for a picture is built here, through the same entry the library exports.
int writeSnapshot(const Options& options) {
    PluginHost host(&createEffectInstance, "the built-in effect");
    if (options.program) host.selectProgram(resolveProgram(host, *options.program));
    for (const std::string& setting : options.settings) applySetting(host, setting);
    std::string error;
    if (!snapshot::writeEditorPng(host.record(), options.snapshotPath, error, options.ticks))
        throw ToolError(kExitFailure, error);
    if (!options.quiet)
        std::printf("editor -> %s: %s, %d ticks\n", options.snapshotPath.c_str(), settingsText(host, options).c_str(),
                    options.ticks);
    return kExitOk;
}

int run(const Options& options) {
    if (!options.snapshotPath.empty()) return writeSnapshot(options);
    std::unique_ptr<SoundFileReader> reader;
    if (!options.list && !options.demo) reader = std::make_unique<SoundFileReader>(options.inputPath);
    if (reader && reader->channels() > 2)
        throw ToolError(kExitFailure, "input '" + options.inputPath + "' has " + std::to_string(reader->channels()) +
                                          " channels; the plug-in takes mono or stereo");
    int outputFormat = 0;
    if (!options.list) outputFormat = outputFormatFor(options.outputPath, options.format, reader ? reader->format() : 0);

    PluginHost host(options.pluginPath.empty() ? defaultPluginPath() : options.pluginPath);
    if (options.program) host.selectProgram(resolveProgram(host, *options.program));
    for (const std::string& setting : options.settings) applySetting(host, setting);

    if (options.list) {
        listPlugin(host);
        return kExitOk;
    }

    std::unique_ptr<AudioSource> source;
    if (reader) source = std::make_unique<FileSource>(*reader);
    else source = std::make_unique<MemorySource>(demoSamples(), kDemoChannels, kDemoSampleRate);

    SoundFileWriter writer(options.outputPath, outputFormat, source->channels(), source->sampleRate());
    host.start(static_cast<float>(source->sampleRate()), options.blockSize);
    ProgressBar bar(!options.quiet && isTerminal(stderr), source->frames(), source->sampleRate());
    RenderResult result = render(host, *source, writer, [&](int64_t done) {
        bar.update(done);
        return interrupted == 0;
    });
    host.stop();
    bar.clear();
    if (interrupted) throw ToolError(kExitInterrupted, "interrupted; no output written");
    writer.commit();

    if (!options.quiet) {
        double audioSeconds = static_cast<double>(result.frames) / source->sampleRate();
        double factor = audioSeconds > 0.0 ? result.renderSeconds / audioSeconds : 0.0;
        char speed[64] = "n/a";
        if (factor > 0.0) std::snprintf(speed, sizeof speed, "%.4f (%.0fx real time)", factor, 1.0 / factor);
        std::string clip = "n/a";
        if (std::optional<float> gain = inputGain(host)) {
            // The plug-in's indicator fires on a gained input sample beyond
            // full scale; the largest one is the input peak times the gain.
            float gainedPeak = result.input.peak() * *gain;
            clip = std::string(gainedPeak > 1.0f ? "fired" : "off") + " (input peak x Ingain " + decibels(gainedPeak) +
                   " dBFS)";
        }
        std::printf("%s -> %s: %s, %d Hz %s, %s; input peak %s dBFS, RMS %s dBFS; output peak %s dBFS, "
                    "RMS %s dBFS; clip indicator %s; real-time factor %s\n",
                    options.demo ? "demo" : options.inputPath.c_str(), options.outputPath.c_str(),
                    formatDuration(audioSeconds).c_str(), source->sampleRate(),
                    source->channels() == 1 ? "mono" : "stereo", settingsText(host, options).c_str(),
                    decibels(result.input.peak()).c_str(), decibels(result.input.rms()).c_str(),
                    decibels(result.output.peak()).c_str(), decibels(result.output.rms()).c_str(), clip.c_str(),
                    speed);
    }
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        Options options = parseOptions(argc, argv);
        if (options.help) {
            std::fputs(helpText().c_str(), stdout);
            return kExitOk;
        }
        std::signal(SIGINT, onInterrupt);
        std::signal(SIGTERM, onInterrupt);
        return run(options);
    } catch (const ToolError& error) {
        std::fprintf(stderr, "varnox-render: %s\n", error.what());
        return error.exitCode();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "varnox-render: %s\n", error.what());
        return kExitFailure;
    }
}
