// How much larger than a standard screen the desktop wants a window drawn:
// 1 on a 96 DPI screen, 2 on one at 200%.
#pragma once

#include <string_view>

namespace display {

/// VARNOX_SCALE when it holds a positive number (a user's override), else
/// what the system says: on Linux the X server's Xft.dpi / 96, the setting
/// desktop toolkits read; on Windows the DPI of `parent` (or of the system
/// before there is a window) / 96. 1 when nothing says otherwise.
double scaleFor(void* parent);

/// The number a scale text holds: "2", "1.5"; 0 when it is none or not above 0.
double parseScale(std::string_view text);

/// Xft.dpi in the X resource text `resources` (the root window's
/// RESOURCE_MANAGER property); 0 when it has none.
double xftDpi(std::string_view resources);

}  // namespace display
