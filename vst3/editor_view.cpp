#include "vst3/editor_view.h"

#include <cstring>

#include "editor/skin_editor.h"
#include "platform/run_loop.h"
#include "vst3/component.h"

namespace vst3face {

using namespace vst3;

namespace {
// Until the window says when its first tick is due.
constexpr int kFirstTimerMilliseconds = 50;
// A host timer this close to the editor's next tick is left as it is.
constexpr TimerInterval kTimerSlack = 2;
}  // namespace

EditorView::EditorView(Component& owner) : component(owner) { component.addRef(); }

EditorView::~EditorView() {
    removed();
    component.release();
}

tresult VST3_API EditorView::queryInterface(const TUID iid, void** obj) {
    return answerQuery<IPlugView, IPlugViewContentScaleSupport, ITimerHandler, IEventHandler>(this, iid, obj);
}

uint32 VST3_API EditorView::addRef() { return ++references; }

uint32 VST3_API EditorView::release() {
    const uint32 left = --references;
    if (left == 0) delete this;
    return left;
}

tresult VST3_API EditorView::isPlatformTypeSupported(FIDString type) {
    return type && std::strcmp(type, kPlatformTypeNative) == 0 ? kResultTrue : kResultFalse;
}

tresult VST3_API EditorView::attached(void* parent, FIDString type) {
    if (isPlatformTypeSupported(type) != kResultTrue) return kResultFalse;
    // One editor per effect: a second view of it stays empty.
    if (component.editorOwner) return kResultFalse;
    // Where the host offers its run loop, the window's input and ticks come
    // through it, on the host's user-interface thread, as Linux hosts expect.
    connectRunLoop();
    parentWindow = parent;
    if (!component.openEditor(parent, runLoop != nullptr)) {
        disconnectRunLoop();
        return kResultFalse;
    }
    component.editorOwner = this;

    window = component.editorWindow();
    if (runLoop && window) {
        const int firstTick = runloop::fireDueTimers(window);
        scheduleTimer(firstTick >= 0 ? firstTick : kFirstTimerMilliseconds);
        const int fd = runloop::eventDescriptor(window);
        // The host's run loop calls onFDIsSet when the window's connection has input.
        if (fd >= 0) watchingDescriptor = runLoop->registerEventHandler(this, fd) == kResultOk;
    }
    return kResultOk;
}

tresult VST3_API EditorView::removed() {
    if (component.editorOwner != this) return kResultFalse;
    window = nullptr;
    disconnectRunLoop();
    // Closing ends a knob drag the host cut short: its edit ends too.
    component.closeEditor();
    component.editorOwner = nullptr;
    return kResultOk;
}

void EditorView::connectRunLoop() {
    if (!frame) return;
    void* loop = nullptr;
    if (frame->queryInterface(IRunLoop::iid.bytes, &loop) != kResultOk || !loop) return;
    runLoop = static_cast<IRunLoop*>(loop);
}

void EditorView::disconnectRunLoop() {
    if (!runLoop) return;
    if (runLoopTimer) runLoop->unregisterTimer(this);
    runLoopTimer = false;
    timerInterval = 0;
    if (watchingDescriptor) runLoop->unregisterEventHandler(this);
    watchingDescriptor = false;
    runLoop->release();
    runLoop = nullptr;
}

// The host's timer is set for the editor's next tick, so the loop wakes
// once a tick rather than polling.
void EditorView::scheduleTimer(int milliseconds) {
    if (!runLoop) return;
    const TimerInterval wanted = static_cast<TimerInterval>(milliseconds < 1 ? 1 : milliseconds);
    if (runLoopTimer && wanted + kTimerSlack >= timerInterval && wanted <= timerInterval + kTimerSlack) return;
    if (runLoopTimer) runLoop->unregisterTimer(this);
    runLoopTimer = runLoop->registerTimer(this, wanted) == kResultOk;
    timerInterval = runLoopTimer ? wanted : 0;
}

void VST3_API EditorView::onTimer() {
    if (!window) return;
    const int next = runloop::fireDueTimers(window);
    if (next >= 0) scheduleTimer(next);
}

void VST3_API EditorView::onFDIsSet(FileDescriptor /*fd*/) {
    if (window) runloop::handleEvents(window);
}

tresult VST3_API EditorView::onWheel(float) { return kResultFalse; }
tresult VST3_API EditorView::onKeyDown(char16, int16, int16) { return kResultFalse; }
tresult VST3_API EditorView::onKeyUp(char16, int16, int16) { return kResultFalse; }

tresult VST3_API EditorView::getSize(ViewRect* size) {
    if (!size) return kInvalidArgument;
    *size = component.editorSize();
    return kResultOk;
}

tresult VST3_API EditorView::setContentScaleFactor(ScaleFactor factor) {
    if (!(factor > 0.0f)) return kInvalidArgument;
    const ViewRect before = component.editorSize();
    const bool open = component.editorOwner == this;
    void* parent = parentWindow;
    // An open editor is made again at the new size, in the same parent.
    if (open) removed();
    component.setEditorScale(factor);
    if (open) attached(parent, kPlatformTypeNative);
    ViewRect after = component.editorSize();
    if (frame && (after.right != before.right || after.bottom != before.bottom)) frame->resizeView(this, &after);
    return kResultTrue;
}

tresult VST3_API EditorView::onSize(ViewRect* newSize) { return newSize ? kResultOk : kInvalidArgument; }

tresult VST3_API EditorView::onFocus(TBool) { return kResultOk; }

tresult VST3_API EditorView::setFrame(IPlugFrame* newFrame) {
    frame = newFrame;
    return kResultOk;
}

tresult VST3_API EditorView::canResize() { return kResultFalse; }

tresult VST3_API EditorView::checkSizeConstraint(ViewRect* rect) {
    if (!rect) return kInvalidArgument;
    const ViewRect size = component.editorSize();
    rect->right = rect->left + size.right;
    rect->bottom = rect->top + size.bottom;
    return kResultTrue;
}

}  // namespace vst3face
