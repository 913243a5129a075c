// The editor as a VST 3 view: the same 500 x 140 editor the VST 2 face opens,
// in the host's window (an X11 window on Linux, an HWND on Windows), not
// resizable by the user; drawn at the host's content scale. The editor's gestures reach the host through the component.
#pragma once

#include <atomic>

#include "platform/vst3/view.h"
#include "platform/win32.h"

namespace vst3face {

class Component;

class EditorView final : public vst3::IPlugView,
                         public vst3::IPlugViewContentScaleSupport,
                         public vst3::ITimerHandler,
                         public vst3::IEventHandler {
public:
    explicit EditorView(Component& component);
    EditorView(const EditorView&) = delete;
    EditorView& operator=(const EditorView&) = delete;

    // FUnknown
    vst3::tresult VST3_API queryInterface(const vst3::TUID iid, void** obj) override;
    vst3::uint32 VST3_API addRef() override;
    vst3::uint32 VST3_API release() override;

    // IPlugView
    vst3::tresult VST3_API isPlatformTypeSupported(vst3::FIDString type) override;
    vst3::tresult VST3_API attached(void* parent, vst3::FIDString type) override;
    vst3::tresult VST3_API removed() override;
    vst3::tresult VST3_API onWheel(float distance) override;
    vst3::tresult VST3_API onKeyDown(vst3::char16 key, vst3::int16 keyCode, vst3::int16 modifiers) override;
    vst3::tresult VST3_API onKeyUp(vst3::char16 key, vst3::int16 keyCode, vst3::int16 modifiers) override;
    vst3::tresult VST3_API getSize(vst3::ViewRect* size) override;
    vst3::tresult VST3_API onSize(vst3::ViewRect* newSize) override;
    vst3::tresult VST3_API onFocus(vst3::TBool state) override;
    vst3::tresult VST3_API setFrame(vst3::IPlugFrame* frame) override;
    vst3::tresult VST3_API canResize() override;
    vst3::tresult VST3_API checkSizeConstraint(vst3::ViewRect* rect) override;

    // IPlugViewContentScaleSupport: drawn at the nearest of 1x, 1.5x and 2x.
    vst3::tresult VST3_API setContentScaleFactor(ScaleFactor factor) override;

    // ITimerHandler and IEventHandler: the host's run loop (Linux).
    void VST3_API onTimer() override;
    void VST3_API onFDIsSet(vst3::FileDescriptor fd) override;

private:
    ~EditorView();
    void connectRunLoop();
    void disconnectRunLoop();
    /// (Re)registers the run loop's timer to fire `milliseconds` from now.
    void scheduleTimer(int milliseconds);
    void* parentWindow = nullptr;

    std::atomic<vst3::uint32> references{1};
    Component& component;  // counted: it lives while we do; while attached, its editorOwner is this
    vst3::IPlugFrame* frame = nullptr;  // the host's, not counted: it outlives the attachment
    vst3::IRunLoop* runLoop = nullptr;
    bool runLoopTimer = false;
    vst3::TimerInterval timerInterval = 0;  // as registered: until the editor's next tick
    bool watchingDescriptor = false;
    HWND window = nullptr;
};

}  // namespace vst3face
