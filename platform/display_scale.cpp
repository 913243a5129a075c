#include "platform/display_scale.h"

#include <cstdlib>
#include <string>

#if defined(_WIN32)
#include "platform/win32.h"
#else
#include <xcb/xcb.h>

#include <memory>
#endif

namespace display {

namespace {

constexpr double kStandardDpi = 96.0;

std::string_view trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

#if defined(_WIN32)

double systemScale(void* parent) {
    // GetDpiForWindow exists from Windows 10 1607; it answers 96 to a
    // process that is not DPI aware, whose windows Windows stretches itself.
    using DpiForWindow = UINT(WINAPI*)(HWND);
    const HMODULE user32 = GetModuleHandleA("user32.dll");
    const auto dpiForWindow =
        user32 ? reinterpret_cast<DpiForWindow>(reinterpret_cast<void*>(GetProcAddress(user32, "GetDpiForWindow")))
               : nullptr;
    if (parent && dpiForWindow) {
        const UINT dpi = dpiForWindow(static_cast<HWND>(parent));
        if (dpi > 0) return dpi / kStandardDpi;
    }
    HDC screen = GetDC(nullptr);
    if (!screen) return 1.0;
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi / kStandardDpi : 1.0;
}

#else

double systemScale(void* /*parent*/) {
    // A connection of our own, as for the window itself: the host's is never touched.
    int screenNumber = 0;
    xcb_connection_t* c = xcb_connect(nullptr, &screenNumber);
    const std::unique_ptr<xcb_connection_t, void (*)(xcb_connection_t*)> connection(c, xcb_disconnect);
    if (xcb_connection_has_error(c)) return 1.0;
    auto screen = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber && screen.rem; ++i) xcb_screen_next(&screen);
    if (!screen.rem) return 1.0;
    const xcb_get_property_cookie_t cookie =
        xcb_get_property(c, 0, screen.data->root, XCB_ATOM_RESOURCE_MANAGER, XCB_ATOM_STRING, 0, 1 << 16);
    xcb_get_property_reply_t* reply = xcb_get_property_reply(c, cookie, nullptr);
    if (!reply) return 1.0;
    const std::string resources(static_cast<const char*>(xcb_get_property_value(reply)),
                                static_cast<std::size_t>(xcb_get_property_value_length(reply)));
    std::free(reply);
    const double dpi = xftDpi(resources);
    return dpi > 0.0 ? dpi / kStandardDpi : 1.0;
}

#endif

// A positive number and nothing else; 0 otherwise.
double positiveNumber(std::string_view text) {
    const std::string number(trimmed(text));
    if (number.empty()) return 0.0;
    char* end = nullptr;
    const double value = std::strtod(number.c_str(), &end);
    return end == number.c_str() + number.size() && value > 0.0 && value < 1.0e6 ? value : 0.0;
}

}  // namespace

double parseScale(std::string_view text) {
    const double value = positiveNumber(text);
    return value <= 16.0 ? value : 0.0;
}

double xftDpi(std::string_view resources) {
    constexpr std::string_view kName = "Xft.dpi";
    while (!resources.empty()) {
        const std::size_t end = resources.find('\n');
        std::string_view line = trimmed(resources.substr(0, end));
        resources = end == std::string_view::npos ? std::string_view() : resources.substr(end + 1);
        if (line.substr(0, kName.size()) != kName) continue;
        line = trimmed(line.substr(kName.size()));
        if (line.empty() || line.front() != ':') continue;
        const double dpi = positiveNumber(line.substr(1));
        if (dpi > 0.0) return dpi;
    }
    return 0.0;
}

double scaleFor(void* parent) {
    if (const char* forced = std::getenv("VARNOX_SCALE")) {
        const double scale = parseScale(forced);
        if (scale > 0.0) return scale;
    }
    return systemScale(parent);
}

}  // namespace display
