// A run: its jobs worked out from the command line, then rendered one by one
// or several at a time, with one progress line and a summary per file.
#pragma once

#include <vector>

#include "tools/render/job.h"
#include "tools/render/options.h"

/// The jobs of a Render, Demo or Batch command line, with their output
/// types. Throws ToolError (kExitUsage) for what clashes: an unknown output
/// type, the same file in and out without --in-place, two inputs for one
/// output, standard input in a batch. Looks at files (stat) but opens none.
std::vector<Job> planJobs(const Options& options);

/// --dry-run: prints what each job would write, and writes nothing.
int describeJobs(const std::vector<Job>& jobs);

/// Renders the jobs, `workers` at a time (the first job alone on this
/// thread), printing each file's summary, warning or error as it finishes.
/// Answers the exit status of the run.
int runJobs(const std::vector<Job>& jobs, const RenderPlan& plan, int workers, bool quiet);
