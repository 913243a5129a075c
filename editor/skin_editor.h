// The skinned editor: a 500 x 140 child window drawn from four bitmaps on a
// 50 ms timer, operated with the mouse.
#pragma once

#include <cstdint>

#include "editor/editor_base.h"
#include "editor/readout_text.h"
#include "host/relaxed.h"
#include "platform/win32.h"

class ShaperEffect;

class SkinEditor : public EditorBase {
public:
    /// Attaches itself to the effect as its editor and sets effFlagsHasEditor.
    explicit SkinEditor(ShaperEffect& effect);
    ~SkinEditor() override;

    int32_t queryRect(ERect** rect) override;
    int32_t openWindow(void* parent) override;
    void closeWindow() override;
    void onIdle() override;

    ShaperEffect& shaper;

    // Readout, written by the effect from any thread that sets a parameter.
    ReadoutText readoutText;
    Relaxed<int32_t> readoutKind{0};
    Relaxed<int32_t> readoutHold{0};

    // Interaction and display state (user-interface thread).
    HWND window = nullptr;
    int16_t mouseX = 0;
    int16_t mouseY = 0;
    UINT_PTR timerId = 0;
    HBITMAP savedBitmap = nullptr;
    HBITMAP backBitmap = nullptr;
    HDC windowDc = nullptr;
    HDC backDc = nullptr;
    char dragMode = 0;
    uint8_t activeControl = 255;
    int32_t dragStartY = 0;
    float dragStartValue = 0.0f;
    float savedDrive = 0.0f;
    int8_t redrawMode = 1;
    int32_t isOpen = 0;
};
