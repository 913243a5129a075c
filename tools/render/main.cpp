// varnox-render: an offline VST 2 host that runs audio files through the
// Varnox plug-in library, loaded at run time exactly as a DAW loads it.
#include <sndfile.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>

#include "host/effect_base.h"
#include "platform/dynamic_library.h"
#include "product/shaper_effect_edit.h"
#include "tools/common/editor_snapshot.h"
#include "tools/render/batch.h"
#include "tools/render/controls.h"
#include "tools/render/options.h"
#include "tools/render/output_file.h"
#include "tools/render/plugin_host.h"
#include "tools/render/stop_signals.h"
#include "tools/render/tool_error.h"

namespace {

std::string defaultPluginPath() {
    // The library is built beside the tool; a relative name would make dlopen
    // search the system paths instead.
    std::filesystem::path self = executablePath();
    return (self.empty() ? std::filesystem::current_path() : self.parent_path()) / VARNOX_PLUGIN_FILE;
}

void printVersion() {
    char library[128] = {};
    sf_command(nullptr, SFC_GET_LIB_VERSION, library, sizeof library);
    std::printf("varnox-render %s (%s)\n", VARNOX_VERSION, library);
}

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

// The editor draws on this program's software window layer, so the effect
// for a picture is built here, through the same entry the library exports.
int writeSnapshot(const Options& options) {
    Preset preset;
    {
        PluginHost probe(&createEffectInstance, "the built-in effect");
        preset = resolvePreset(probe, options.program, options.settings);
    }
    PluginHost host(&createEffectInstance, "the built-in effect");
    applyPreset(host, preset);
    OutputFile output(options.snapshotPath);
    if (output.isStream()) throw ToolError(kExitFailure, "cannot write output '" + options.snapshotPath + "': not a regular file");
    std::string error;
    if (!snapshot::writeEditorPng(host.record(), output.temporaryPath(), error, options.ticks, options.scale))
        throw ToolError(kExitFailure, error);
    output.commit();
    if (!options.quiet)
        std::printf("editor -> %s: %s, %d ticks, scale %s\n", options.snapshotPath.c_str(),
                    presetText(host, preset).c_str(), options.ticks, options.scale.c_str());
    return kExitOk;
}

int run(const Options& options) {
    if (options.mode == Mode::Snapshot) return writeSnapshot(options);

    // Everything the command line can get wrong is found before a file is opened.
    std::vector<Job> jobs = planJobs(options);
    RenderPlan plan;
    plan.pluginPath = options.pluginPath.empty() ? defaultPluginPath() : pluginFilePath(options.pluginPath);
    plan.format = options.format;
    plan.dither = options.dither;
    plan.blockSize = options.blockSize;
    plan.oversample = options.oversample;
    plan.encoder = EncoderSettings{options.compression, options.quality, options.bitrate};
    if (!options.encoding.empty()) {
        const int samples = rawSubtype(options.encoding, options.bits);
        const bool rawInput = options.inputType == "raw" ||
                              std::any_of(options.inputs.begin(), options.inputs.end(), rawName);
        if (rawInput) plan.rawInput = RawLayout{SF_FORMAT_RAW | samples, options.channels, options.rate};
        // Raw output takes the input's description unless --format chooses.
        if (options.format == SampleFormat::Same) plan.rawOutputSubtype = samples;
    }
    {
        PluginHost probe(plan.pluginPath);
        plan.preset = resolvePreset(probe, options.program, options.settings);
        if (options.mode == Mode::List) {
            listPlugin(probe);
            return kExitOk;
        }
    }
    if (options.dryRun) return describeJobs(jobs);
    plan.keepTimes = options.keepTimes;
    if (options.mode == Mode::Batch) {
        std::error_code error;
        std::filesystem::create_directories(options.outputDir, error);
        if (error) throw ToolError(kExitFailure, "cannot make output folder '" + options.outputDir + "': " + error.message());
    }
    int workers = options.jobs > 0 ? options.jobs : static_cast<int>(std::thread::hardware_concurrency());
    return runJobs(jobs, plan, std::max(workers, 1), options.quiet);
}

}  // namespace

int main(int argc, char** argv) {
    try {
        Options options = parseOptions(argc, argv);
        if (options.help) {
            std::fputs(helpText().c_str(), stdout);
            return kExitOk;
        }
        if (options.version) {
            printVersion();
            return kExitOk;
        }
        stopsignals::install();
        return run(options);
    } catch (const ToolError& error) {
        std::fprintf(stderr, "varnox-render: %s\n", error.what());
        return error.exitCode();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "varnox-render: %s\n", error.what());
        return kExitFailure;
    }
}
