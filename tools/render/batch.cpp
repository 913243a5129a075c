#include "tools/render/batch.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>

#include "platform/dynamic_library.h"
#include "tools/render/output_file.h"
#include "tools/render/progress.h"
#include "tools/render/stop_signals.h"

namespace fs = std::filesystem;

namespace {

[[noreturn]] void usageError(const std::string& message) { throw ToolError(kExitUsage, message); }

// Refuses a run that would write over one of its own inputs: the same file
// by any name, hard or symbolic link, unless --in-place allows a file to be
// replaced by its own render.
void checkFileClashes(const std::vector<Job>& jobs, bool inPlace) {
    std::map<FileIdentity, std::vector<size_t>> inputs;
    for (size_t i = 0; i < jobs.size(); ++i)
        if (!jobs[i].input.empty())
            if (std::optional<FileIdentity> id = identityOf(jobs[i].input, STDIN_FILENO)) inputs[*id].push_back(i);

    std::map<std::string, size_t> outputNames;
    std::map<FileIdentity, size_t> outputFiles;
    for (size_t i = 0; i < jobs.size(); ++i) {
        const std::string& output = jobs[i].output;
        std::optional<FileIdentity> id = identityOf(output, STDOUT_FILENO);
        if (output != "-") {
            bool fresh = outputNames.emplace(fs::weakly_canonical(fs::path(output)).string(), i).second;
            if (fresh && id) fresh = outputFiles.emplace(*id, i).second;
            if (!fresh)
                usageError("two inputs would be written to '" + output + "' ('" + jobs[i].input + "' is one)");
        }
        if (!id) continue;
        auto readers = inputs.find(*id);
        if (readers == inputs.end()) continue;
        for (size_t reader : readers->second)
            if (reader != i)
                usageError("'" + output + "' is an input, and the output of '" + jobs[i].input + "' too");
        if (!inPlace)
            usageError("'" + jobs[i].input + "' is both input and output; add --in-place to replace it with the render");
    }
}

// The status of a run: a stop wins, then the first file that failed in
// command-line order, then damage.
int runStatus(const std::vector<JobResult>& results) {
    if (int signal = stopsignals::received()) return kExitSignalBase + signal;
    for (const JobResult& result : results)
        if (result.exitCode != kExitOk && result.exitCode != kExitDamaged) return result.exitCode;
    for (const JobResult& result : results)
        if (result.exitCode == kExitDamaged) return kExitDamaged;
    return kExitOk;
}

class Reporter {
public:
    Reporter(bool quiet, bool summaryToStderr)
        : quiet(quiet), summaries(summaryToStderr ? stderr : stdout), bar(!quiet && isTerminal(stderr)) {}

    void report(const JobResult& result) {
        bar.clear();
        if (!result.error.empty()) std::fprintf(stderr, "varnox-render: %s\n", result.error.c_str());
        if (!result.warning.empty()) std::fprintf(stderr, "varnox-render: warning: %s\n", result.warning.c_str());
        if (!quiet && !result.summary.empty() && !summariesLost) {
            // A reader that went away (| head -1) costs the summaries, not
            // the files still being rendered.
            if (std::fprintf(summaries, "%s\n", result.summary.c_str()) < 0 || std::fflush(summaries) != 0) {
                summariesLost = true;
                std::fprintf(stderr, "varnox-render: %s closed; the files go on being written, their summaries "
                             "not shown\n", summaries == stdout ? "standard output" : "standard error");
            }
        }
    }
    ProgressBar& progress() { return bar; }

private:
    bool quiet;
    bool summariesLost = false;
    std::FILE* summaries;
    ProgressBar bar;
};

// How far each file of a batch has come, written by its worker, read by
// the thread that draws the progress line.
struct Advance {
    std::atomic<int64_t> done{0};
    std::atomic<int64_t> expected{0};
    std::atomic<bool> finished{false};

    double fraction() const {
        if (finished.load()) return 1.0;
        int64_t total = expected.load();
        return total > 0 ? std::min(1.0, static_cast<double>(done.load()) / static_cast<double>(total)) : 0.0;
    }
};

int runBatch(const std::vector<Job>& jobs, const RenderPlan& plan, int workers, Reporter& reporter) {
    const size_t count = jobs.size();
    std::vector<JobResult> results(count);
    std::vector<Advance> advance(count);
    std::atomic<size_t> next{0};
    std::mutex lock;
    std::condition_variable changed;
    std::vector<size_t> finished;

    auto work = [&] {
        for (size_t i; (i = next++) < count;) {
            // Once a stop has come, runJob ends each file left before opening it.
            JobResult result = runJob(jobs[i], plan, [&advance, i](int64_t done, int64_t expected, int) {
                advance[i].expected = expected;
                advance[i].done = done;
            });
            advance[i].finished = true;
            std::lock_guard<std::mutex> guard(lock);
            results[i] = std::move(result);
            finished.push_back(i);
            changed.notify_one();
        }
    };
    // The stop signals go to this thread, whose waits they cut short;
    // workers notice the flag between blocks.
    stopsignals::blockInThisThread();
    std::vector<std::thread> threads;
    for (int t = 0; t < workers && static_cast<size_t>(t) < count; ++t) threads.emplace_back(work);
    stopsignals::unblockInThisThread();

    size_t reported = 0;
    while (reported < count) {
        std::vector<size_t> ready;
        {
            std::unique_lock<std::mutex> guard(lock);
            changed.wait_for(guard, std::chrono::milliseconds(100), [&] { return !finished.empty(); });
            ready.swap(finished);
        }
        for (size_t i : ready) {
            // One line at the end says what a stop left; each file need not.
            if (!(stopsignals::received() != 0 && results[i].exitCode >= kExitSignalBase)) reporter.report(results[i]);
            ++reported;
        }
        double total = 0.0;
        for (const Advance& file : advance) total += file.fraction();
        reporter.progress().show(total / static_cast<double>(count),
                                 std::to_string(reported) + " of " + std::to_string(count) + " files");
    }
    for (std::thread& thread : threads) thread.join();
    reporter.progress().clear();

    if (int signal = stopsignals::received()) {
        size_t kept = static_cast<size_t>(std::count_if(results.begin(), results.end(), [](const JobResult& result) {
            return result.exitCode == kExitOk || result.exitCode == kExitDamaged;
        }));
        std::fprintf(stderr, "varnox-render: interrupted by %s; %zu of %zu outputs were finished and kept, the "
                     "others not written\n", stopsignals::name(signal), kept, count);
    }
    return runStatus(results);
}

}  // namespace

std::vector<Job> planJobs(const Options& options) {
    std::vector<Job> jobs;
    const bool noDither = !options.dither;
    auto typeFor = [&](const std::string& output) {
        return resolveOutputType(output, options.type, options.format, noDither);
    };
    switch (options.mode) {
    case Mode::Demo:
        jobs.push_back(Job{"", options.outputPath, typeFor(options.outputPath)});
        break;
    case Mode::Render:
        jobs.push_back(Job{options.inputs[0], options.outputPath, typeFor(options.outputPath)});
        break;
    case Mode::Batch:
        if (std::error_code error; fs::exists(options.outputDir, error) && !fs::is_directory(options.outputDir, error))
            usageError("-o names the folder the renders go to, and '" + options.outputDir +
                       "' is a file; to render one file: varnox-render INPUT OUTPUT");
        for (const std::string& input : options.inputs) {
            if (input == "-")
                usageError("standard input has no name to write under in '" + options.outputDir +
                           "'; render it alone: varnox-render - OUTPUT");
            fs::path name = fs::path(input).filename();
            if (name.empty() || name == "." || name == "..") usageError("'" + input + "' names no file");
            if (!options.type.empty()) name.replace_extension(typeFor("-").name);
            if (!options.suffix.empty()) name = name.stem().string() + options.suffix + name.extension().string();
            std::string output = (fs::path(options.outputDir) / name).string();
            jobs.push_back(Job{input, output, typeFor(output), true});
        }
        break;
    case Mode::List:
    case Mode::Snapshot:
        break;
    }
    const EncoderSettings encoder{options.compression, options.quality, options.bitrate};
    for (const Job& job : jobs)
        checkEncoderSettings(encoder, job.type.container, job.type.fixedSubtype, job.output == "-" ? "standard output" : job.output);
    if (options.noClobber)
        for (Job& job : jobs) {
            std::error_code error;
            job.skip = job.output != "-" && fs::exists(job.output, error);
        }
    // Files --no-clobber leaves alone cannot clash with anything.
    std::vector<Job> written;
    std::copy_if(jobs.begin(), jobs.end(), std::back_inserter(written), [](const Job& job) { return !job.skip; });
    checkFileClashes(written, options.inPlace);
    return jobs;
}

int describeJobs(const std::vector<Job>& jobs) {
    for (const Job& job : jobs)
        std::printf("%s -> %s (%s)%s\n", job.input.empty() ? "demo" : job.input == "-" ? "standard input" : job.input.c_str(),
                    job.output == "-" ? "standard output" : job.output.c_str(), job.type.name.c_str(),
                    job.skip ? ": exists, left alone (--no-clobber)" : "");
    return kExitOk;
}

int runJobs(const std::vector<Job>& jobs, const RenderPlan& plan, int workers, bool quiet) {
    bool toStandardOutput = std::any_of(jobs.begin(), jobs.end(), [](const Job& job) { return job.output == "-"; });
    // Audio on standard output leaves the summary to standard error.
    Reporter reporter(quiet, toStandardOutput);
    if (jobs.size() == 1) {
        JobResult result = runJob(jobs[0], plan, [&](int64_t done, int64_t expected, int sampleRate) {
            std::string detail = formatTime(static_cast<double>(done) / sampleRate);
            if (expected > 0) detail += " / " + formatTime(static_cast<double>(expected) / sampleRate);
            reporter.progress().show(expected > 0 ? static_cast<double>(done) / static_cast<double>(expected) : 0.0,
                                     detail);
        });
        reporter.report(result);
        return result.exitCode;
    }
    return runBatch(jobs, plan, workers, reporter);
}
