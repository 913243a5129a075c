// A picture of the editor: opens the effect's editor without a parent window
// on the software window layer, lets it tick, and reads the window back.
// The effect must live in this process (linked from varnox_product), since the
// window layer it draws on is the one linked here.
#pragma once

#include <optional>
#include <string>

#include "platform/soft_win32_driver.h"
#include "platform/vst2.h"

namespace snapshot {

/// Opens the editor (effEditOpen with a null parent) at `scale` ("1", "1.5"
/// or "2", handed over as a user's VARNOX_SCALE would be, so the desktop
/// this runs on never decides), runs `ticks` 50 ms ticks and returns the
/// window's pixels; the editor is closed again. Nothing when the effect has
/// no editor or it opened no window.
std::optional<softwin::Image> captureEditor(AEffect* effect, int ticks = 2, const std::string& scale = "1");

/// captureEditor, then the picture as a PNG file at `path`.
bool writeEditorPng(AEffect* effect, const std::string& path, std::string& error, int ticks = 2,
                    const std::string& scale = "1");

}  // namespace snapshot
