// The software window layer: windows, classes, timers, capture and cursor,
// device contexts over 24-bit pixel buffers, and bitmap resources. Windows
// inside an X11 window are shown there by the X11 face (x11_face.cpp).
#include "platform/soft_win32.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/soft_win32_driver.h"
#include "platform/ui_lock.h"
#include "platform/x11_embedding.h"

namespace {

using softwin::Image;

// Larger requests fail as an out-of-memory GDI would, rather than trying.
constexpr int kMaxSide = 16384;
constexpr std::size_t kMaxPixels = std::size_t{1} << 26;
// Win32 limits class names to 256 characters.
constexpr std::size_t kMaxClassName = 256;
constexpr UINT kMinTimerInterval = 10;
constexpr std::uint32_t kBtnFaceColour = 0xF0F0F0;

using Clock = softwin::embedded::Clock;

struct Timer {
    UINT interval = 0;
    std::uint64_t elapsed = 0;  // simulated time, for windows of the layer alone
    TIMERPROC proc = nullptr;
    Clock::time_point due{};  // real time, for windows shown in X11
};

struct Window {
    std::string className;
    std::string title;
    WNDPROC proc = nullptr;
    HWND parent = nullptr;  // opaque: may be another system's window id
    DWORD style = 0;
    HBRUSH background = nullptr;
    UINT classStyle = 0;
    LONG_PTR userData = 0;
    Image surface;
    std::map<UINT_PTR, Timer> timers;
    bool invalid = false;  // waits for WM_PAINT, as a newly shown window does
    bool destroying = false;
    bool dirty = false;  // drawn into since it was last shown
    bool trackingLeave = false;  // TrackMouseEvent(TME_LEAVE) asked for the next leave
    // Set when the window lives inside an X11 window: its paints and timers
    // are then delivered by real time, not by advance().
    x11face::EmbeddingPtr embedding;
};

struct Bitmap {
    Image pixels;
    std::uintptr_t selectedInto = 0;  // DC id, 0 when free
    bool stock = false;
};

struct Dc {
    std::uintptr_t window = 0;  // set for a window's DC; else a memory DC
    std::uintptr_t bitmap = 0;  // the bitmap selected into a memory DC
};

struct WindowClass {
    std::string name;
    UINT style = 0;
    WNDPROC proc = nullptr;
    HINSTANCE instance = nullptr;
    HBRUSH background = nullptr;
};

struct Brush {
    std::uint32_t colour = 0;
};

struct State {
    std::uintptr_t nextId = 0x1000;
    std::map<std::uintptr_t, Window> windows;  // ordered by creation
    std::map<std::uintptr_t, Bitmap> bitmaps;
    std::map<std::uintptr_t, Dc> dcs;
    std::map<std::uintptr_t, Brush> brushes;
    std::map<int, std::uintptr_t> systemBrushes;  // by colour index
    std::vector<WindowClass> classes;
    ATOM nextAtom = 0xC000;
    std::uintptr_t stockBitmap = 0;
    std::uintptr_t arrowCursor = 0;
    std::uintptr_t capture = 0;
    std::uintptr_t cursor = 0;
    std::uint64_t clock = 0;
    bool getDcFails = false;
    std::map<int, std::vector<std::uint8_t>> resourceOverrides;

    State() {
        stockBitmap = allocateId();
        Bitmap stock;
        stock.pixels = Image{1, 1, std::vector<std::uint8_t>(3, 0)};
        stock.stock = true;
        bitmaps.emplace(stockBitmap, std::move(stock));
        arrowCursor = allocateId();
    }
    // Ids are never reused, so a stale handle cannot reach a newer object.
    std::uintptr_t allocateId() {
        nextId += 4;
        return nextId;
    }
};

State& state() {
    static State s;
    return s;
}

template <typename Handle>
std::uintptr_t idOf(Handle handle) {
    return reinterpret_cast<std::uintptr_t>(handle);
}
template <typename Handle>
Handle handleOf(std::uintptr_t id) {
    return reinterpret_cast<Handle>(id);
}

Window* findWindow(HWND handle) {
    auto& windows = state().windows;
    auto it = windows.find(idOf(handle));
    return it == windows.end() ? nullptr : &it->second;
}

Dc* findDc(HDC handle) {
    auto& dcs = state().dcs;
    auto it = dcs.find(idOf(handle));
    return it == dcs.end() ? nullptr : &it->second;
}

Bitmap* findBitmap(std::uintptr_t id) {
    auto& bitmaps = state().bitmaps;
    auto it = bitmaps.find(id);
    return it == bitmaps.end() ? nullptr : &it->second;
}

bool sameName(const std::string& a, LPCSTR b) {
    const std::size_t length = strnlen(b, kMaxClassName + 1);
    if (length != a.size()) return false;
    for (std::size_t i = 0; i < length; ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

// An atom passed as a name (Win32 allows it) names nothing here.
bool usableName(LPCSTR name) {
    return name != nullptr && !IS_INTRESOURCE(name) && name[0] != '\0' &&
           strnlen(name, kMaxClassName + 1) <= kMaxClassName;
}

WindowClass* findClass(LPCSTR name) {
    if (!usableName(name)) return nullptr;
    for (auto& windowClass : state().classes) {
        if (sameName(windowClass.name, name)) return &windowClass;
    }
    return nullptr;
}

bool sizeAllowed(int width, int height) {
    return width >= 0 && height >= 0 && width <= kMaxSide && height <= kMaxSide &&
           static_cast<std::size_t>(width) * static_cast<std::size_t>(height) <= kMaxPixels;
}

Image blankImage(int width, int height, std::uint32_t colour = 0) {
    Image image{width, height, {}};
    image.rgb.resize(static_cast<std::size_t>(width) * height * 3);
    for (std::size_t i = 0; i < image.rgb.size(); i += 3) {
        image.rgb[i] = static_cast<std::uint8_t>(colour >> 16);
        image.rgb[i + 1] = static_cast<std::uint8_t>(colour >> 8);
        image.rgb[i + 2] = static_cast<std::uint8_t>(colour);
    }
    return image;
}

// The pixels a DC draws on: a window's surface or the selected bitmap. The
// stock bitmap stands for "nothing selected" and takes no drawing.
Image* surfaceOf(HDC handle) {
    Dc* dc = findDc(handle);
    if (!dc) return nullptr;
    if (dc->window) {
        auto it = state().windows.find(dc->window);
        return it == state().windows.end() ? nullptr : &it->second.surface;
    }
    Bitmap* bitmap = findBitmap(dc->bitmap);
    return bitmap && !bitmap->stock ? &bitmap->pixels : nullptr;
}

// Byte-wise raster operations on RGB: the three the editor draws with.
bool applyRop(DWORD rop, std::uint8_t& d, std::uint8_t s) {
    switch (rop) {
    case SRCCOPY: d = s; return true;
    case SRCAND: d = static_cast<std::uint8_t>(d & s); return true;
    case SRCPAINT: d = static_cast<std::uint8_t>(d | s); return true;
    default: return false;
    }
}

std::uint32_t readLe(const std::uint8_t* p, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

// A 24-bit uncompressed DIB, either a whole .bmp file or the packed form a
// resource compiler stores. Anything else, or a file too short for what its
// header claims, gives nothing.
bool decodeBmp(const std::vector<std::uint8_t>& data, Image& out) {
    std::size_t infoAt = 0;
    std::size_t pixelsAt = 0;
    const bool fileForm = data.size() >= 14 && data[0] == 'B' && data[1] == 'M';
    if (fileForm) {
        infoAt = 14;
        pixelsAt = readLe(&data[10], 4);
    }
    if (data.size() < infoAt + 40) return false;
    const std::uint8_t* info = &data[infoAt];
    const std::uint32_t headerSize = readLe(info, 4);
    const auto width = static_cast<std::int32_t>(readLe(info + 4, 4));
    const auto height = static_cast<std::int32_t>(readLe(info + 8, 4));
    const std::uint32_t planes = readLe(info + 12, 2);
    const std::uint32_t bitCount = readLe(info + 14, 2);
    const std::uint32_t compression = readLe(info + 16, 4);
    if (headerSize < 40 || headerSize > 1024 || planes != 1 || bitCount != 24 || compression != 0) return false;
    if (width <= 0 || height == 0 || height == INT32_MIN) return false;
    const bool bottomUp = height > 0;
    const int rows = bottomUp ? height : -height;
    if (!sizeAllowed(width, rows)) return false;
    if (!fileForm) pixelsAt = infoAt + headerSize;
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
    if (pixelsAt < infoAt + headerSize || pixelsAt > data.size() || (data.size() - pixelsAt) / stride < static_cast<std::size_t>(rows))
        return false;
    out = blankImage(width, rows);
    for (int y = 0; y < rows; ++y) {
        const std::uint8_t* row = &data[pixelsAt + stride * static_cast<std::size_t>(bottomUp ? rows - 1 - y : y)];
        std::uint8_t* target = &out.rgb[static_cast<std::size_t>(y) * width * 3];
        for (int x = 0; x < width; ++x) {  // stored blue, green, red
            target[3 * x] = row[3 * x + 2];
            target[3 * x + 1] = row[3 * x + 1];
            target[3 * x + 2] = row[3 * x];
        }
    }
    return true;
}

std::uintptr_t newBitmap(Image pixels) {
    State& s = state();
    const std::uintptr_t id = s.allocateId();
    Bitmap bitmap;
    bitmap.pixels = std::move(pixels);
    s.bitmaps.emplace(id, std::move(bitmap));
    return id;
}

// Drops the window's DCs and, if it held it, the capture; the record goes last.
void forgetWindow(std::uintptr_t id) {
    State& s = state();
    for (auto it = s.dcs.begin(); it != s.dcs.end();) {
        it = it->second.window == id ? s.dcs.erase(it) : std::next(it);
    }
    if (s.capture == id) s.capture = 0;
    s.windows.erase(id);
}

// X11 window ids are 29 bits; a larger handle cannot name one.
constexpr std::uintptr_t kMaxX11WindowId = 0x1FFFFFFF;

void show(Window& window) {
    if (window.embedding) x11face::present(*window.embedding, window.surface);
    window.dirty = false;
}

void fireTimer(HWND handle, UINT_PTR timerId, const Timer& timer, std::uint64_t time) {
    if (timer.proc) {
        timer.proc(handle, WM_TIMER, timerId, static_cast<DWORD>(time));
    } else {
        softwin::sendMessage(handle, WM_TIMER, timerId, 0);
    }
}

}  // namespace

// ---- window classes and windows

ATOM RegisterClassA(const WNDCLASSA* windowClass) {
    const uilock::Guard guard;
    if (!windowClass || !windowClass->lpfnWndProc || !usableName(windowClass->lpszClassName)) return 0;
    State& s = state();
    for (const auto& existing : s.classes) {
        if (existing.instance == windowClass->hInstance && sameName(existing.name, windowClass->lpszClassName))
            return 0;
    }
    s.classes.push_back(WindowClass{windowClass->lpszClassName, windowClass->style, windowClass->lpfnWndProc,
                                    windowClass->hInstance, windowClass->hbrBackground});
    return s.nextAtom++;
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE instance) {
    const uilock::Guard guard;
    if (!usableName(className)) return FALSE;
    State& s = state();
    for (auto it = s.classes.begin(); it != s.classes.end(); ++it) {
        if (it->instance != instance || !sameName(it->name, className)) continue;
        // Win32 refuses while windows of the class still exist.
        for (const auto& window : s.windows) {
            if (sameName(window.second.className, className)) return FALSE;
        }
        s.classes.erase(it);
        return TRUE;
    }
    return FALSE;
}

HWND CreateWindowExA(DWORD /*exStyle*/, LPCSTR className, LPCSTR windowName, DWORD style, int /*x*/, int /*y*/,
                     int width, int height, HWND parent, HMENU /*menu*/, HINSTANCE /*instance*/, LPVOID /*param*/) {
    const uilock::Guard guard;
    const WindowClass* windowClass = findClass(className);
    if (!windowClass || !sizeAllowed(width, height)) return nullptr;
    State& s = state();
    const std::uintptr_t id = s.allocateId();
    // A child of something that is none of our windows: the host's X11 window.
    // Without a display, or with an id that is no window there, there is no
    // window at all rather than one nobody can see.
    x11face::EmbeddingPtr embedding;
    if ((style & WS_CHILD) && parent && !findWindow(parent)) {
        if (idOf(parent) > kMaxX11WindowId) return nullptr;
        embedding = x11face::embed(handleOf<HWND>(id), idOf(parent), width, height, (style & WS_VISIBLE) != 0);
        if (!embedding) return nullptr;
    }
    Window window;
    window.className = windowClass->name;
    if (windowName) window.title.assign(windowName, strnlen(windowName, kMaxClassName));
    window.proc = windowClass->proc;
    window.parent = parent;
    window.style = style;
    window.background = windowClass->background;
    window.classStyle = windowClass->style;
    window.surface = blankImage(width, height);
    window.invalid = (style & WS_VISIBLE) != 0;
    window.embedding = std::move(embedding);
    s.windows.emplace(id, std::move(window));

    // The window procedure sees creation before anyone has stored user data.
    const HWND handle = handleOf<HWND>(id);
    if (softwin::sendMessage(handle, WM_NCCREATE, 0, 0) == 0 || softwin::sendMessage(handle, WM_CREATE, 0, 0) == -1) {
        DestroyWindow(handle);
        return nullptr;
    }
    return findWindow(handle) ? handle : nullptr;
}

BOOL DestroyWindow(HWND handle) {
    const uilock::Guard guard;
    Window* window = findWindow(handle);
    if (!window || window->destroying) return FALSE;
    window->destroying = true;
    // The event thread stops and the X11 window goes first: nothing is
    // delivered to a window that is being destroyed.
    window->embedding.reset();
    softwin::sendMessage(handle, WM_DESTROY, 0, 0);
    softwin::sendMessage(handle, WM_NCDESTROY, 0, 0);
    forgetWindow(idOf(handle));
    return TRUE;
}

LRESULT DefWindowProcA(HWND handle, UINT message, WPARAM /*wParam*/, LPARAM /*lParam*/) {
    const uilock::Guard guard;
    switch (message) {
    case WM_NCCREATE: return TRUE;
    case WM_PAINT: {
        // BeginPaint's part: erase (the procedure may decline), then validate.
        Window* window = findWindow(handle);
        if (!window || !window->invalid) return 0;
        window->invalid = false;
        softwin::sendMessage(handle, WM_ERASEBKGND, 0, 0);
        return 0;
    }
    case WM_ERASEBKGND: {
        Window* window = findWindow(handle);
        if (!window || !window->background) return 0;
        auto brush = state().brushes.find(idOf(window->background));
        if (brush == state().brushes.end()) return 0;
        window->surface = blankImage(window->surface.width, window->surface.height, brush->second.colour);
        show(*window);
        return 1;
    }
    default: return 0;
    }
}

LONG_PTR SetWindowLongPtrA(HWND handle, int index, LONG_PTR value) {
    const uilock::Guard guard;
    Window* window = findWindow(handle);
    if (!window || index != GWLP_USERDATA) return 0;
    const LONG_PTR previous = window->userData;
    window->userData = value;
    return previous;
}

LONG_PTR GetWindowLongPtrA(HWND handle, int index) {
    const uilock::Guard guard;
    Window* window = findWindow(handle);
    if (!window) return 0;
    if (index == GWLP_USERDATA) return window->userData;
    if (index == GWL_STYLE) return static_cast<LONG>(window->style);
    return 0;
}

LONG SetWindowLongA(HWND handle, int index, LONG value) {
    const uilock::Guard guard;
    return static_cast<LONG>(SetWindowLongPtrA(handle, index, value));
}

LONG GetWindowLongA(HWND handle, int index) {
    const uilock::Guard guard;
    return static_cast<LONG>(GetWindowLongPtrA(handle, index));
}

// ---- timers, capture, cursor, brushes

UINT_PTR SetTimer(HWND handle, UINT_PTR id, UINT milliseconds, TIMERPROC proc) {
    const uilock::Guard guard;
    Window* window = findWindow(handle);
    if (!window || id == 0) return 0;
    Timer& timer = window->timers[id];
    timer = Timer{std::max(milliseconds, kMinTimerInterval), 0, proc, {}};
    if (window->embedding) {
        timer.due = Clock::now() + std::chrono::milliseconds(timer.interval);
        x11face::timersChanged(*window->embedding);
    }
    return id;
}

BOOL KillTimer(HWND handle, UINT_PTR id) {
    const uilock::Guard guard;
    Window* window = findWindow(handle);
    return window && window->timers.erase(id) == 1 ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND handle) {
    const uilock::Guard guard;
    const Window* window = findWindow(handle);
    if (!window || !(window->style & WS_VISIBLE)) return FALSE;
    return !window->embedding || x11face::viewable(*window->embedding) ? TRUE : FALSE;
}

BOOL ShowWindow(HWND handle, int command) {
    const uilock::Guard guard;
    Window* window = findWindow(handle);
    if (!window) return FALSE;
    const BOOL wasVisible = (window->style & WS_VISIBLE) ? TRUE : FALSE;
    if (command == SW_HIDE) {
        window->style &= ~WS_VISIBLE;
    } else {
        window->style |= WS_VISIBLE;
        if (!wasVisible) window->invalid = true;  // uncovered: it paints again
    }
    if (window->embedding) x11face::setMapped(*window->embedding, (window->style & WS_VISIBLE) != 0);
    return wasVisible;
}

int GetClipBox(HDC dcHandle, RECT* rect) {
    const uilock::Guard guard;
    const Dc* dc = findDc(dcHandle);
    if (!dc || !rect) return 0;
    *rect = RECT{0, 0, 0, 0};
    const Image* surface = surfaceOf(dcHandle);
    if (!surface) return 0;
    if (dc->window) {
        const Window& window = state().windows.at(dc->window);
        if (!(window.style & WS_VISIBLE) || (window.embedding && !x11face::viewable(*window.embedding)))
            return NULLREGION;
    }
    *rect = RECT{0, 0, surface->width, surface->height};
    return SIMPLEREGION;
}

BOOL ScreenToClient(HWND handle, POINT* point) {
    const uilock::Guard guard;
    const Window* window = findWindow(handle);
    if (!window || !point) return FALSE;
    if (window->embedding) {
        const POINT origin = x11face::screenOrigin(*window->embedding);
        point->x -= origin.x;
        point->y -= origin.y;
    }
    return TRUE;
}

BOOL TrackMouseEvent(TRACKMOUSEEVENT* request) {
    const uilock::Guard guard;
    if (!request || request->cbSize != sizeof(TRACKMOUSEEVENT)) return FALSE;
    Window* window = findWindow(request->hwndTrack);
    if (!window) return FALSE;
    window->trackingLeave = (request->dwFlags & TME_LEAVE) != 0;
    return TRUE;
}

HWND SetCapture(HWND handle) {
    const uilock::Guard guard;
    State& s = state();
    if (!findWindow(handle)) return nullptr;
    const HWND previous = handleOf<HWND>(s.capture);
    s.capture = idOf(handle);
    return previous;
}

BOOL ReleaseCapture() {
    const uilock::Guard guard;
    state().capture = 0;
    return TRUE;
}

HWND GetCapture() {
    const uilock::Guard guard;
    return handleOf<HWND>(state().capture);
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) {
    const uilock::Guard guard;
    // Only the system's own cursors exist; the library carries none.
    if (instance || name != IDC_ARROW) return nullptr;
    return handleOf<HCURSOR>(state().arrowCursor);
}

HCURSOR SetCursor(HCURSOR cursor) {
    const uilock::Guard guard;
    State& s = state();
    const HCURSOR previous = handleOf<HCURSOR>(s.cursor);
    s.cursor = idOf(cursor);
    return previous;
}

HBRUSH GetSysColorBrush(int index) {
    const uilock::Guard guard;
    if (index < 0 || index > 30) return nullptr;
    State& s = state();
    auto it = s.systemBrushes.find(index);
    if (it != s.systemBrushes.end()) return handleOf<HBRUSH>(it->second);
    const std::uintptr_t id = s.allocateId();
    s.brushes.emplace(id, Brush{index == COLOR_BTNFACE ? kBtnFaceColour : 0xC0C0C0u});
    s.systemBrushes.emplace(index, id);
    return handleOf<HBRUSH>(id);
}

// ---- device contexts and bitmaps

HDC GetDC(HWND handle) {
    const uilock::Guard guard;
    State& s = state();
    if (s.getDcFails || !findWindow(handle)) return nullptr;
    const std::uintptr_t id = s.allocateId();
    s.dcs.emplace(id, Dc{idOf(handle), 0});
    return handleOf<HDC>(id);
}

int ReleaseDC(HWND handle, HDC dcHandle) {
    const uilock::Guard guard;
    Dc* dc = findDc(dcHandle);
    if (!dc || dc->window == 0 || dc->window != idOf(handle)) return 0;
    // What was drawn through the DC reaches the screen now, in one piece.
    if (Window* window = findWindow(handle); window && window->dirty) show(*window);
    state().dcs.erase(idOf(dcHandle));
    return 1;
}

HDC CreateCompatibleDC(HDC dcHandle) {
    const uilock::Guard guard;
    if (dcHandle && !findDc(dcHandle)) return nullptr;
    State& s = state();
    const std::uintptr_t id = s.allocateId();
    s.dcs.emplace(id, Dc{0, s.stockBitmap});
    return handleOf<HDC>(id);
}

BOOL DeleteDC(HDC dcHandle) {
    const uilock::Guard guard;
    Dc* dc = findDc(dcHandle);
    if (!dc || dc->window) return FALSE;  // a window's DC goes back with ReleaseDC
    if (Bitmap* bitmap = findBitmap(dc->bitmap); bitmap && !bitmap->stock) bitmap->selectedInto = 0;
    state().dcs.erase(idOf(dcHandle));
    return TRUE;
}

HBITMAP CreateCompatibleBitmap(HDC dcHandle, int width, int height) {
    const uilock::Guard guard;
    if (!findDc(dcHandle) || !sizeAllowed(width, height)) return nullptr;
    return handleOf<HBITMAP>(newBitmap(blankImage(width, height)));
}

HGDIOBJ SelectObject(HDC dcHandle, HGDIOBJ object) {
    const uilock::Guard guard;
    Dc* dc = findDc(dcHandle);
    Bitmap* bitmap = findBitmap(idOf(object));
    if (!dc || dc->window || !bitmap) return nullptr;
    const std::uintptr_t previous = dc->bitmap;
    if (previous == idOf(object)) return object;
    // A bitmap lives in one memory DC at a time.
    if (!bitmap->stock && bitmap->selectedInto) return nullptr;
    if (Bitmap* old = findBitmap(previous); old && !old->stock) old->selectedInto = 0;
    if (!bitmap->stock) bitmap->selectedInto = idOf(dcHandle);
    dc->bitmap = idOf(object);
    return handleOf<HGDIOBJ>(previous);
}

BOOL DeleteObject(HGDIOBJ object) {
    const uilock::Guard guard;
    State& s = state();
    const std::uintptr_t id = idOf(object);
    if (Bitmap* bitmap = findBitmap(id)) {
        if (bitmap->stock) return TRUE;
        if (bitmap->selectedInto) return FALSE;  // GDI refuses while a DC holds it
        s.bitmaps.erase(id);
        return TRUE;
    }
    return s.brushes.count(id) ? TRUE : FALSE;  // brushes here are all stock
}

BOOL BitBlt(HDC destination, int x, int y, int width, int height, HDC source, int sourceX, int sourceY, DWORD rop) {
    const uilock::Guard guard;
    if (rop != SRCCOPY && rop != SRCAND && rop != SRCPAINT) return FALSE;
    Image* target = surfaceOf(destination);
    Image* from = surfaceOf(source);
    if (!target || !from || width < 0 || height < 0) return FALSE;

    // Clip so that both the destination and the source pixel lie inside their pictures.
    const auto clip = [](long long origin, long long sourceOrigin, long long length, long long targetSize,
                         long long sourceSize, long long& first, long long& last) {
        first = std::max({0LL, -origin, -sourceOrigin});
        last = std::min({length, targetSize - origin, sourceSize - sourceOrigin});
    };
    long long firstColumn, lastColumn, firstRow, lastRow;
    clip(x, sourceX, width, target->width, from->width, firstColumn, lastColumn);
    clip(y, sourceY, height, target->height, from->height, firstRow, lastRow);
    if (firstColumn >= lastColumn || firstRow >= lastRow) return TRUE;
    if (const Dc* dc = findDc(destination); dc->window) state().windows.at(dc->window).dirty = true;

    // Blitting within one picture reads the source as it was before the copy.
    Image copy;
    const Image* read = from;
    if (from == target) {
        copy = *from;
        read = &copy;
    }
    for (long long row = firstRow; row < lastRow; ++row) {
        std::uint8_t* d = &target->rgb[static_cast<std::size_t>(((y + row) * target->width + x + firstColumn) * 3)];
        const std::uint8_t* s =
            &read->rgb[static_cast<std::size_t>(((sourceY + row) * read->width + sourceX + firstColumn) * 3)];
        const std::size_t bytes = static_cast<std::size_t>(lastColumn - firstColumn) * 3;
        for (std::size_t i = 0; i < bytes; ++i) applyRop(rop, d[i], s[i]);
    }
    return TRUE;
}

HANDLE LoadImageA(HINSTANCE /*instance*/, LPCSTR name, UINT type, int /*width*/, int /*height*/, UINT flags) {
    const uilock::Guard guard;
    // Only numbered bitmap resources of our own library; no files, no scaling.
    if (type != IMAGE_BITMAP || flags != 0 || !name || !IS_INTRESOURCE(name)) return nullptr;
    const int id = static_cast<int>(reinterpret_cast<ULONG_PTR>(name));
    Image pixels;
    if (!decodeBmp(softwin::bitmapResource(id), pixels)) return nullptr;
    return handleOf<HANDLE>(newBitmap(std::move(pixels)));
}

// ---- driver

namespace softwin {

LRESULT sendMessage(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    const uilock::Guard guard;
    Window* window = findWindow(handle);
    if (!window) return 0;
    const WNDPROC proc = window->proc;  // the record may move while the procedure runs
    return proc(handle, message, wParam, lParam);
}

LRESULT sendMouse(HWND window, UINT message, int x, int y) {
    const uilock::Guard guard;
    WPARAM keys = 0;
    if (message == WM_LBUTTONDOWN) keys = MK_LBUTTON;
    if (message == WM_RBUTTONDOWN) keys = MK_RBUTTON;
    return sendMessage(window, message, keys, MAKELPARAM(x, y));
}

void advance(unsigned milliseconds) {
    const uilock::Guard guard;
    State& s = state();
    s.clock += milliseconds;
    // Pending paints come before timers, as in a Win32 message loop.
    std::vector<std::uintptr_t> invalid;
    // Windows shown in X11 run on real time instead.
    for (const auto& [id, window] : s.windows) {
        if (window.invalid && !window.embedding) invalid.push_back(id);
    }
    for (const std::uintptr_t id : invalid) {
        sendMessage(handleOf<HWND>(id), WM_PAINT, 0, 0);
        // A procedure that never validates would be painted forever.
        if (Window* window = findWindow(handleOf<HWND>(id))) window->invalid = false;
    }
    std::vector<std::pair<std::uintptr_t, UINT_PTR>> due;
    for (auto& [id, window] : s.windows) {
        if (window.embedding) continue;
        for (auto& [timerId, timer] : window.timers) {
            timer.elapsed += milliseconds;
            if (timer.elapsed >= timer.interval) {
                timer.elapsed %= timer.interval;
                due.emplace_back(id, timerId);
            }
        }
    }
    // A procedure may close windows or kill timers; deliver only what is still there.
    for (const auto& [id, timerId] : due) {
        Window* window = findWindow(handleOf<HWND>(id));
        if (!window) continue;
        auto timer = window->timers.find(timerId);
        if (timer == window->timers.end()) continue;
        fireTimer(handleOf<HWND>(id), timerId, timer->second, s.clock);
    }
}

std::uint64_t now() {
    const uilock::Guard guard;
    return state().clock;
}

std::optional<Image> windowPixels(HWND handle) {
    const uilock::Guard guard;
    const Window* window = findWindow(handle);
    if (!window) return std::nullopt;
    return window->surface;
}

std::optional<Image> bitmapPixels(HBITMAP handle) {
    const uilock::Guard guard;
    const Bitmap* bitmap = findBitmap(idOf(handle));
    if (!bitmap || bitmap->stock) return std::nullopt;
    return bitmap->pixels;
}

HWND lastWindow(const char* className) {
    const uilock::Guard guard;
    const auto& windows = state().windows;
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        if (!className || sameName(it->second.className, className)) return handleOf<HWND>(it->first);
    }
    return nullptr;
}

std::vector<HWND> liveWindows() {
    const uilock::Guard guard;
    std::vector<HWND> handles;
    for (const auto& entry : state().windows) handles.push_back(handleOf<HWND>(entry.first));
    return handles;
}

bool isWindow(HWND handle) {
    const uilock::Guard guard;
    return findWindow(handle) != nullptr;
}

void invalidate(HWND handle) {
    const uilock::Guard guard;
    if (Window* window = findWindow(handle)) window->invalid = true;
}

HWND windowParent(HWND handle) {
    const uilock::Guard guard;
    const Window* window = findWindow(handle);
    return window ? window->parent : nullptr;
}

std::string windowClassName(HWND handle) {
    const uilock::Guard guard;
    const Window* window = findWindow(handle);
    return window ? window->className : std::string();
}

std::string windowTitle(HWND handle) {
    const uilock::Guard guard;
    const Window* window = findWindow(handle);
    return window ? window->title : std::string();
}

DWORD windowStyle(HWND handle) {
    const uilock::Guard guard;
    const Window* window = findWindow(handle);
    return window ? window->style : 0;
}

bool hasTimer(HWND handle, UINT_PTR id) {
    const uilock::Guard guard;
    const Window* window = findWindow(handle);
    return window && window->timers.count(id) == 1;
}

std::size_t liveGdiObjects() {
    const uilock::Guard guard;
    const State& s = state();
    return s.dcs.size() + s.bitmaps.size() - 1;  // less the stock bitmap
}

std::size_t registeredClassCount() {
    const uilock::Guard guard;
    return state().classes.size();
}

bool isClassRegistered(const char* className) {
    const uilock::Guard guard;
    return findClass(className) != nullptr;
}

HCURSOR currentCursor() {
    const uilock::Guard guard;
    return handleOf<HCURSOR>(state().cursor);
}

HCURSOR arrowCursor() {
    const uilock::Guard guard;
    return handleOf<HCURSOR>(state().arrowCursor);
}

void setBitmapResource(int id, std::vector<std::uint8_t> bmpFile) {
    const uilock::Guard guard;
    auto& overrides = state().resourceOverrides;
    if (bmpFile.empty()) {
        overrides.erase(id);
    } else {
        overrides[id] = std::move(bmpFile);
    }
}

void clearBitmapResources() {
    const uilock::Guard guard;
    state().resourceOverrides.clear();
}

std::vector<std::uint8_t> bitmapResource(int id) {
    const uilock::Guard guard;
    const auto& overrides = state().resourceOverrides;
    if (auto it = overrides.find(id); it != overrides.end()) return it->second;
    std::size_t count = 0;
    const EmbeddedBitmap* embedded = embeddedBitmaps(count);
    for (std::size_t i = 0; i < count; ++i) {
        if (embedded[i].id == id) return {embedded[i].data, embedded[i].data + embedded[i].size};
    }
    return {};
}

void setGetDcFailure(bool fail) {
    const uilock::Guard guard;
    state().getDcFails = fail;
}

}  // namespace softwin

namespace softwin::embedded {

x11face::Embedding* embeddingOf(HWND handle) {
    const uilock::Guard guard;
    Window* window = findWindow(handle);
    return window ? window->embedding.get() : nullptr;
}

UINT classStyle(HWND handle) {
    const uilock::Guard guard;
    const Window* window = findWindow(handle);
    return window ? window->classStyle : 0;
}

bool takeLeaveRequest(HWND handle) {
    const uilock::Guard guard;
    Window* window = findWindow(handle);
    if (!window || !window->trackingLeave) return false;
    window->trackingLeave = false;
    return true;
}

void deliverPaint(HWND handle) {
    const uilock::Guard guard;
    Window* window = findWindow(handle);
    if (!window || !window->invalid) return;
    sendMessage(handle, WM_PAINT, 0, 0);
    // A procedure that never validates would be painted forever.
    if ((window = findWindow(handle))) window->invalid = false;
}

std::optional<Clock::time_point> fireDueTimers(HWND handle, Clock::time_point now) {
    const uilock::Guard guard;
    Window* window = findWindow(handle);
    if (!window || !window->embedding) return std::nullopt;
    std::vector<UINT_PTR> due;
    for (auto& [timerId, timer] : window->timers) {
        if (now < timer.due) continue;
        due.push_back(timerId);
        // Keep the rate on average; after a stall, missed periods merge into one.
        timer.due += std::chrono::milliseconds(timer.interval);
        if (timer.due <= now) timer.due = now + std::chrono::milliseconds(timer.interval);
    }
    const std::uint64_t time = static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count());
    for (const UINT_PTR timerId : due) {
        // A procedure may close windows or kill timers; deliver only what is still there.
        window = findWindow(handle);
        if (!window) return std::nullopt;
        auto timer = window->timers.find(timerId);
        if (timer != window->timers.end()) fireTimer(handle, timerId, timer->second, time);
    }
    window = findWindow(handle);
    if (!window) return std::nullopt;
    std::optional<Clock::time_point> next;
    for (const auto& entry : window->timers) {
        if (!next || entry.second.due < *next) next = entry.second.due;
    }
    return next;
}

}  // namespace softwin::embedded
