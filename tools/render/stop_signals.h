// The signals that end a run early (Ctrl-C, Ctrl-\, a closed terminal, kill)
// only raise a flag: the render notices it between blocks and unwinds, so
// every temporary file is removed on the way out.
#pragma once

namespace stopsignals {

/// Installs the handlers for SIGINT, SIGTERM, SIGHUP and SIGQUIT, without
/// SA_RESTART so that a blocked read or write returns; ignores SIGXFSZ, so
/// that a file beyond the size limit is a failed write like a full disk,
/// and SIGPIPE, so that a closed pipe is one too.
void install();

/// The signal that asked the run to stop, or 0.
int received();

/// Blocks the stop signals in the calling thread (workers), so that they reach
/// the main thread, whose blocking calls they are meant to interrupt.
void blockInThisThread();
void unblockInThisThread();

/// "SIGTERM" and the like.
const char* name(int signal);

}  // namespace stopsignals
