#include "tools/render/stop_signals.h"

#include <pthread.h>

#include <atomic>
#include <csignal>

namespace stopsignals {

namespace {

// Read by worker threads too: a lock-free atomic is both thread- and
// signal-safe, where a volatile sig_atomic_t is only the latter.
std::atomic<int> stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

extern "C" void onStopSignal(int signal) {
    int none = 0;
    stopSignal.compare_exchange_strong(none, signal);
}

sigset_t stopSet() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : kStopSignals) sigaddset(&set, signal);
    return set;
}

}  // namespace

void install() {
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    for (int signal : kStopSignals) sigaction(signal, &action, nullptr);
    // A parent may hand its blocked signals down through exec.
    unblockInThisThread();
    std::signal(SIGXFSZ, SIG_IGN);
    // A reader that goes away (| head) is a failed write with a message,
    // not a silent death that leaves a temporary file behind.
    std::signal(SIGPIPE, SIG_IGN);
}

int received() { return stopSignal.load(); }

void blockInThisThread() {
    sigset_t set = stopSet();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void unblockInThisThread() {
    sigset_t set = stopSet();
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

const char* name(int signal) {
    switch (signal) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    case SIGQUIT: return "SIGQUIT";
    default: return "a signal";
    }
}

}  // namespace stopsignals
