// The editor in the host's window. Where the host offers its timers and
// descriptor watching (Linux hosts), the window's ticks and input come
// through them on the host's main thread; elsewhere the window runs on its
// own (its event thread on Linux, the system's message loop on Windows).
#include <cstring>

#include "clap/plugin.h"
#include "editor/skin_editor.h"
#include "platform/clap/window.h"
#include "platform/run_loop.h"
#include "platform/ui_lock.h"

namespace clapface {

namespace {
// Until the window says when its first tick is due.
constexpr int kFirstTimerMilliseconds = 50;
// A host timer this close to the editor's next tick is left as it is.
constexpr uint32_t kTimerSlack = 2;
}  // namespace

bool Plugin::guiCreate(const char* api, bool floating) {
    if (guiCreated || floating || !api || std::strcmp(api, clapwindow::kApi) != 0) return false;
    guiCreated = true;
    return true;
}

void Plugin::guiDestroy() {
    if (!guiCreated) return;
    closeEditor();
    parentWindow = nullptr;
    guiCreated = false;
}

bool Plugin::guiSetScale(double scale) {
    if (!(scale > 0.0)) return false;
    // An open editor is made again at the new size, in the same parent.
    void* parent = window ? parentWindow : nullptr;
    if (parent) closeEditor();
    {
        const uilock::Guard guard;
        editor->setScale(scale);
    }
    if (parent) openEditor(parent);
    return true;
}

bool Plugin::guiSize(uint32_t& width, uint32_t& height) const {
    const uilock::Guard guard;
    // Asking for the rectangle settles the scale (the desktop's, until the host gives one).
    ERect* rect = nullptr;
    editor->queryRect(&rect);
    width = static_cast<uint32_t>(rect->right);
    height = static_cast<uint32_t>(rect->bottom);
    return true;
}

bool Plugin::guiSetParent(const clap_window_t& parent) {
    if (!guiCreated || window || !parent.api || std::strcmp(parent.api, clapwindow::kApi) != 0) return false;
    return openEditor(clapwindow::parentOf(parent));
}

bool Plugin::openEditor(void* parent) {
    const bool offered = hostTimers && hostTimers->register_timer && hostTimers->unregister_timer &&
                         hostDescriptors && hostDescriptors->register_fd && hostDescriptors->unregister_fd;
    return openWindowIn(parent, offered);
}

bool Plugin::openWindowIn(void* parent, bool drivenByHost) {
    byRunLoop = drivenByHost;
    bool opened;
    {
        const uilock::Guard guard;
        if (byRunLoop) {
            const runloop::CallerDriven drivenByCaller;
            opened = editor->openWindow(parent) == 1;
        } else {
            opened = editor->openWindow(parent) == 1;
        }
        window = opened ? editor->window : nullptr;
    }
    if (!opened) return false;
    parentWindow = parent;
    if (byRunLoop && !connectRunLoop()) {
        // A window without a thread of its own that the host will not tick
        // or feed would stand still: it runs on its own instead.
        closeEditor();
        return openWindowIn(parent, false);
    }
    return true;
}

void Plugin::closeEditor() {
    disconnectRunLoop();
    {
        const uilock::Guard guard;
        editor->closeWindow();
    }
    window = nullptr;
    // Closing ends a knob drag the host cut short: its gesture ends too.
    closeAllEdits();
}

bool Plugin::connectRunLoop() {
    const int firstTick = runloop::fireDueTimers(window);
    scheduleTimer(firstTick >= 0 ? firstTick : kFirstTimerMilliseconds);
    const int fd = runloop::eventDescriptor(window);
    if (fd >= 0 && hostDescriptors->register_fd(host, fd, CLAP_POSIX_FD_READ | CLAP_POSIX_FD_ERROR)) watchedDescriptor = fd;
    return timerId != CLAP_INVALID_ID && (fd < 0 || watchedDescriptor == fd);
}

void Plugin::disconnectRunLoop() {
    if (timerId != CLAP_INVALID_ID) hostTimers->unregister_timer(host, timerId);
    timerId = CLAP_INVALID_ID;
    timerPeriod = 0;
    if (watchedDescriptor >= 0) hostDescriptors->unregister_fd(host, watchedDescriptor);
    watchedDescriptor = -1;
}

// The host's timer is set for the editor's next tick, so the host wakes
// once a tick rather than polling.
void Plugin::scheduleTimer(int milliseconds) {
    const uint32_t wanted = static_cast<uint32_t>(milliseconds < 1 ? 1 : milliseconds);
    if (timerId != CLAP_INVALID_ID && wanted + kTimerSlack >= timerPeriod && wanted <= timerPeriod + kTimerSlack) return;
    if (timerId != CLAP_INVALID_ID) hostTimers->unregister_timer(host, timerId);
    timerId = CLAP_INVALID_ID;
    clap_id id = CLAP_INVALID_ID;
    if (hostTimers->register_timer(host, wanted, &id)) timerId = id;
    timerPeriod = timerId != CLAP_INVALID_ID ? wanted : 0;
}

void Plugin::onTimer(clap_id timer) {
    if (!window || !byRunLoop || timer != timerId) return;
    const int next = runloop::fireDueTimers(window);
    if (next >= 0) scheduleTimer(next);
}

void Plugin::onDescriptor(int fd) {
    if (window && byRunLoop && fd == watchedDescriptor) runloop::handleEvents(window);
}

}  // namespace clapface
