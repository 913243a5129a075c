// One file through the plug-in, from opening the input to the summary line:
// the unit that a run, alone or as a batch, is made of.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "tools/render/audio_file.h"
#include "tools/render/controls.h"
#include "tools/render/file_types.h"
#include "tools/render/options.h"
#include "tools/render/tool_error.h"

/// What every file of a run shares.
struct RenderPlan {
    std::string pluginPath;
    Preset preset;
    SampleFormat format = SampleFormat::Same;
    bool dither = true;
    int blockSize = 512;
    int oversample = 1;
    EncoderSettings encoder;
    bool keepTimes = false;
    RawLayout rawInput;         // format 0: inputs have headers
    int rawOutputSubtype = 0;   // raw output's samples from --encoding/--bits, 0: --format decides
};

struct Job {
    std::string input;   // "-": standard input; empty: the built-in demo
    std::string output;  // "-": standard output
    OutputType type;
    bool inBatch = false;  // rendered on a worker thread, into a folder
    bool skip = false;     // --no-clobber and the output exists
};

struct JobResult {
    int exitCode = kExitOk;
    std::string summary;  // when the file was written
    std::string warning;  // a damaged input, rendered as far as it went
    std::string error;
};

/// Frames done, frames expected (0: not known) and the sample rate.
using JobProgress = std::function<void(int64_t done, int64_t expected, int sampleRate)>;

/// Renders `job` with instances of its own; never throws. A stop signal ends
/// it with the signal's exit code and nothing written.
JobResult runJob(const Job& job, const RenderPlan& plan, const JobProgress& progress);
