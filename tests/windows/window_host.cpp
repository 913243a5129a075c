#include "tests/windows/window_host.h"

#include <cstdio>
#include <cstring>

#include "tests/windows/host_script.h"

namespace winhost {

namespace {

using hostscript::kEditorHeight;
using hostscript::kEditorWidth;
using hostscript::Mouse;

constexpr char kFrameClass[] = "varnoxhostframe";
constexpr UINT_PTR kEditorTimerId = 1;

LRESULT CALLBACK frameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

WPARAM buttonsFor(Mouse action, bool leftHeld) {
    if (action == Mouse::kLeftDown || (action == Mouse::kMove && leftHeld)) return MK_LBUTTON;
    return action == Mouse::kRightDown ? MK_RBUTTON : 0;
}

}  // namespace

HWND createFrame(int x, int y) {
    static const bool registered = [] {
        WNDCLASSA frameClass{};
        frameClass.lpfnWndProc = &frameProc;
        frameClass.hInstance = GetModuleHandleA(nullptr);
        frameClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
        frameClass.lpszClassName = kFrameClass;
        return RegisterClassA(&frameClass) != 0;
    }();
    if (!registered) return nullptr;
    RECT size{0, 0, kEditorWidth, kEditorHeight};
    AdjustWindowRect(&size, WS_OVERLAPPEDWINDOW, FALSE);
    HWND frame = CreateWindowExA(0, kFrameClass, "Varnox host check", WS_OVERLAPPEDWINDOW, x, y,
                                 size.right - size.left, size.bottom - size.top, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    if (!frame) return nullptr;
    ShowWindow(frame, SW_SHOWNORMAL);
    UpdateWindow(frame);
    return frame;
}

bool pumpTicks(HWND editor, int ticks) {
    const DWORD deadline = GetTickCount() + 60000;
    int seen = 0;
    while (seen < ticks && GetTickCount() < deadline) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            // Only the editor's own tick: a plug-in may run other timers on its window.
            if (msg.message == WM_TIMER && msg.hwnd == editor && msg.wParam == kEditorTimerId) ++seen;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (seen < ticks) MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return seen >= ticks;
}

namespace {

bool playMouseScript(HWND editor) {
    bool leftHeld = false;
    bool ticking = true;
    for (const hostscript::Step& step : hostscript::mouseScript()) {
        // The pointer goes where the message says, so that whatever Wine
        // derives from the real pointer agrees with it.
        POINT point{step.x, step.y};
        ClientToScreen(editor, &point);
        SetCursorPos(point.x, point.y);
        if (step.action == Mouse::kLeftDown) leftHeld = true;
        if (step.action == Mouse::kLeftUp) leftHeld = false;
        SendMessageA(editor, hostscript::messageFor(step.action), buttonsFor(step.action, leftHeld),
                     MAKELPARAM(step.x, step.y));
        ticking = pumpTicks(editor, step.ticksAfter) && ticking;
    }
    return ticking;
}

}  // namespace

std::vector<std::uint8_t> capture(HWND window) {
    std::vector<std::uint8_t> rgb;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = kEditorWidth;
    info.bmiHeader.biHeight = -kEditorHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    HDC windowDc = GetDC(window);
    HDC memoryDc = CreateCompatibleDC(windowDc);
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(windowDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (memoryDc && dib && bits) {
        HGDIOBJ previous = SelectObject(memoryDc, dib);
        // PrintWindow comes back black under Wine; the screen is what counts.
        if (BitBlt(memoryDc, 0, 0, kEditorWidth, kEditorHeight, windowDc, 0, 0, SRCCOPY)) {
            GdiFlush();
            const auto* row = static_cast<const std::uint8_t*>(bits);
            const int stride = (kEditorWidth * 3 + 3) & ~3;
            rgb.reserve(std::size_t{kEditorWidth} * kEditorHeight * 3);
            for (int y = 0; y < kEditorHeight; ++y, row += stride) {
                for (int x = 0; x < kEditorWidth; ++x) {
                    rgb.push_back(row[3 * x + 2]);
                    rgb.push_back(row[3 * x + 1]);
                    rgb.push_back(row[3 * x]);
                }
            }
        }
        SelectObject(memoryDc, previous);
    }
    if (dib) DeleteObject(dib);
    if (memoryDc) DeleteDC(memoryDc);
    ReleaseDC(window, windowDc);
    return rgb;
}

std::string editorFrameProblem(HWND frame, const std::vector<std::uint8_t>& expected, const char* capturePath,
                               HWND& editor) {
    editor = FindWindowExA(frame, nullptr, "varnoxclass", nullptr);
    if (!editor) return "no varnoxclass child window in the host window";
    if (!playMouseScript(editor)) return "editor: the editor's timer fired too rarely";
    const std::vector<std::uint8_t> pixels = capture(editor);
    if (capturePath && !pixels.empty()) hostscript::writeFile(capturePath, pixels.data(), pixels.size());
    if (pixels.size() != expected.size())
        return "editor: the captured frame has " + std::to_string(pixels.size()) +
               " bytes, not the reference's size";
    std::size_t differing = 0, first = 0;
    for (std::size_t i = 0; i < pixels.size(); i += 3) {
        if (std::memcmp(&pixels[i], &expected[i], 3) != 0 && differing++ == 0) first = i / 3;
    }
    if (!differing) {
        std::printf("editor: %dx%d pixels identical to the native snapshot\n", kEditorWidth, kEditorHeight);
        return {};
    }
    char where[160];
    std::snprintf(where, sizeof where,
                  "editor: %zu pixels differ from the native snapshot, the first at (%zu, %zu)", differing,
                  first % kEditorWidth, first / kEditorWidth);
    return where;
}

}  // namespace winhost
