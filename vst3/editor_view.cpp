#include "vst3/editor_view.h"

#include <cstring>

#include "editor/skin_editor.h"
#include "platform/run_loop.h"
#include "vst3/component.h"

namespace vst3face {

using namespace vst3;

namespace {
// The run loop's timer only asks the window which of its timers are due; a
// period well under the editor's 50 ms keeps the ticks at their rate.
constexpr TimerInterval kRunLoopMilliseconds = 10;
}  // namespace

EditorView::EditorView(Component& owner) : component(owner) { component.addRef(); }

EditorView::~EditorView() {
    removed();
    component.release();
}

tresult VST3_API EditorView::queryInterface(const TUID iid, void** obj) {
    return answerQuery<IPlugView, ITimerHandler, IEventHandler>(this, iid, obj);
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
    if (!component.openEditor(parent, runLoop != nullptr)) {
        disconnectRunLoop();
        return kResultFalse;
    }
    component.editorOwner = this;

    window = component.editorWindow();
    if (runLoop && window) {
        runLoopTimer = runLoop->registerTimer(this, kRunLoopMilliseconds) == kResultOk;
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
    if (watchingDescriptor) runLoop->unregisterEventHandler(this);
    watchingDescriptor = false;
    runLoop->release();
    runLoop = nullptr;
}

void VST3_API EditorView::onTimer() {
    // The editor's 50 ms tick, when it is due.
    if (window) runloop::fireDueTimers(window);
}

void VST3_API EditorView::onFDIsSet(FileDescriptor /*fd*/) {
    if (window) runloop::handleEvents(window);
}

tresult VST3_API EditorView::onWheel(float) { return kResultFalse; }
tresult VST3_API EditorView::onKeyDown(char16, int16, int16) { return kResultFalse; }
tresult VST3_API EditorView::onKeyUp(char16, int16, int16) { return kResultFalse; }

tresult VST3_API EditorView::getSize(ViewRect* size) {
    if (!size) return kInvalidArgument;
    *size = ViewRect{0, 0, SkinEditor::kWidth, SkinEditor::kHeight};
    return kResultOk;
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
    rect->right = rect->left + SkinEditor::kWidth;
    rect->bottom = rect->top + SkinEditor::kHeight;
    return kResultTrue;
}

}  // namespace vst3face
