// The editor interface the dispatcher and the effect know.
#pragma once

#include <cstdint>

#include "platform/vst2.h"

class EffectBase;

class EditorBase {
public:
    /// `effect` owns the editor; null for an editor that serves another face.
    explicit EditorBase(EffectBase* effect) : effect(effect) {}
    EditorBase(const EditorBase&) = delete;
    EditorBase& operator=(const EditorBase&) = delete;

    virtual ~EditorBase() = default;
    /// effEditGetRect: stores where the editor's rectangle lives (null here); answers 1 when given.
    virtual int32_t queryRect(ERect** rect) {
        if (rect) *rect = nullptr;
        return 0;
    }
    /// effEditOpen: the host's parent window (HWND on Windows, an X11 window id on Linux).
    virtual int32_t openWindow(void* parent) {
        parentWindow = parent;
        return 0;
    }
    /// effEditClose.
    virtual void closeWindow() {}
    /// effEditIdle: serves a pending refresh request.
    virtual void onIdle() {
        if (refreshPending) {
            refreshPending = 0;
            refresh();
        }
    }
    virtual void refresh() {}
    virtual void requestRefresh() { refreshPending = 1; }

protected:
    EffectBase* effect;
    void* parentWindow = nullptr;
    int32_t refreshPending = 0;
};
