// VST 3 editor view: the plug-in's view, the host's frame around it and, on
// Linux, the host's run loop that drives the view's timers and descriptors.
#pragma once

#include "platform/vst3/base.h"

namespace vst3 {

class IPlugFrame;

struct ViewRect {
    int32 left;
    int32 top;
    int32 right;
    int32 bottom;
};

/// The window handle type this platform's hosts pass to IPlugView::attached.
#if defined(_WIN32)
constexpr char kPlatformTypeNative[] = "HWND";
#else
constexpr char kPlatformTypeNative[] = "X11EmbedWindowID";
#endif

class IPlugView : public FUnknown {
public:
    virtual tresult VST3_API isPlatformTypeSupported(FIDString type) = 0;
    virtual tresult VST3_API attached(void* parent, FIDString type) = 0;
    virtual tresult VST3_API removed() = 0;
    virtual tresult VST3_API onWheel(float distance) = 0;
    virtual tresult VST3_API onKeyDown(char16 key, int16 keyCode, int16 modifiers) = 0;
    virtual tresult VST3_API onKeyUp(char16 key, int16 keyCode, int16 modifiers) = 0;
    virtual tresult VST3_API getSize(ViewRect* size) = 0;
    virtual tresult VST3_API onSize(ViewRect* newSize) = 0;
    virtual tresult VST3_API onFocus(TBool state) = 0;
    virtual tresult VST3_API setFrame(IPlugFrame* frame) = 0;
    virtual tresult VST3_API canResize() = 0;
    virtual tresult VST3_API checkSizeConstraint(ViewRect* rect) = 0;
    static constexpr Uid iid = Uid::of(0x5BC32507, 0xD06049EA, 0xA6151B52, 0x2B755B29);

protected:
    ~IPlugView() = default;
};

class IPlugFrame : public FUnknown {
public:
    virtual tresult VST3_API resizeView(IPlugView* view, ViewRect* newSize) = 0;
    static constexpr Uid iid = Uid::of(0x367FAF01, 0xAFA94693, 0x8D4DA2A0, 0xED0882A3);

protected:
    ~IPlugFrame() = default;
};

/// Asked of the view: the host says how much larger than a standard screen
/// to draw (Windows, and Linux hosts that know the desktop's scale).
class IPlugViewContentScaleSupport : public FUnknown {
public:
    using ScaleFactor = float;
    virtual tresult VST3_API setContentScaleFactor(ScaleFactor factor) = 0;
    static constexpr Uid iid = Uid::of(0x65ED9690, 0x8AC44525, 0x8AADEF7A, 0x72EA703F);

protected:
    ~IPlugViewContentScaleSupport() = default;
};

// The run loop interfaces are Linux's; declared everywhere so that code
// asking a frame for them needs no conditionals (other hosts answer no).
using TimerInterval = uint64;
using FileDescriptor = int;

class IEventHandler : public FUnknown {
public:
    virtual void VST3_API onFDIsSet(FileDescriptor fd) = 0;
    static constexpr Uid iid = Uid::of(0x561E65C9, 0x13A0496F, 0x813A2C35, 0x654D7983);

protected:
    ~IEventHandler() = default;
};

class ITimerHandler : public FUnknown {
public:
    virtual void VST3_API onTimer() = 0;
    static constexpr Uid iid = Uid::of(0x10BDD94F, 0x41424774, 0x821FAD8F, 0xECA72CA9);

protected:
    ~ITimerHandler() = default;
};

/// Queried from the IPlugFrame on Linux.
class IRunLoop : public FUnknown {
public:
    virtual tresult VST3_API registerEventHandler(IEventHandler* handler, FileDescriptor fd) = 0;
    virtual tresult VST3_API unregisterEventHandler(IEventHandler* handler) = 0;
    virtual tresult VST3_API registerTimer(ITimerHandler* handler, TimerInterval milliseconds) = 0;
    virtual tresult VST3_API unregisterTimer(ITimerHandler* handler) = 0;
    static constexpr Uid iid = Uid::of(0x18C35366, 0x97764F1A, 0x9C5B8385, 0x7A871389);

protected:
    ~IRunLoop() = default;
};

static_assert(sizeof(ViewRect) == 16);

}  // namespace vst3
