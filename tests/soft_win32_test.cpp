// The software window layer: GDI pixel rules, bitmap loading, handle safety,
// window classes, timers, capture and painting.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/soft_win32_driver.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/skin_art.h"

namespace {

using softwin::Image;

struct Recorder {
    static inline std::vector<UINT> messages;
    static inline LRESULT nccreateAnswer = TRUE;
    static inline bool destroyInTimer = false;
    static inline bool killInTimer = false;
    static inline int timerCount = 0;

    static LRESULT CALLBACK proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        messages.push_back(message);
        if (message == WM_NCCREATE) return nccreateAnswer;
        if (message == WM_TIMER) {
            ++timerCount;
            if (killInTimer) KillTimer(window, wParam);
            if (destroyInTimer) DestroyWindow(window);
            return 0;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }
};

class SoftWin32Test : public ::testing::Test {
protected:
    void SetUp() override {
        Recorder::messages.clear();
        Recorder::nccreateAnswer = TRUE;
        Recorder::destroyInTimer = Recorder::killInTimer = false;
        Recorder::timerCount = 0;
        gdiBefore = softwin::liveGdiObjects();
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = Recorder::proc;
        windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
        windowClass.lpszClassName = "softtestclass";
        ASSERT_NE(RegisterClassA(&windowClass), 0);
    }
    void TearDown() override {
        for (HWND w : softwin::liveWindows()) {
            if (softwin::windowClassName(w) == "softtestclass") DestroyWindow(w);
        }
        EXPECT_TRUE(UnregisterClassA("softtestclass", nullptr));
        EXPECT_EQ(softwin::liveGdiObjects(), gdiBefore);
    }
    HWND create(int width = 8, int height = 4, HWND parent = nullptr) {
        return CreateWindowExA(0, "softtestclass", "t", WS_CHILD | WS_VISIBLE, 0, 0, width, height, parent, nullptr,
                               nullptr, nullptr);
    }
    // A memory DC holding a bitmap of `image`.
    struct Surface {
        HDC dc;
        HBITMAP bitmap;
        HGDIOBJ saved;
    };
    Surface surface(const Image& image) {
        const int id = 900;
        softwin::setBitmapResource(id, skinart::writeBmp(image));
        Surface s{CreateCompatibleDC(nullptr), static_cast<HBITMAP>(LoadImageA(nullptr, MAKEINTRESOURCEA(id),
                                                                                IMAGE_BITMAP, 0, 0, 0)),
                  nullptr};
        softwin::setBitmapResource(id, {});
        s.saved = SelectObject(s.dc, s.bitmap);
        return s;
    }
    void release(Surface& s) {
        SelectObject(s.dc, s.saved);
        EXPECT_TRUE(DeleteDC(s.dc));
        EXPECT_TRUE(DeleteObject(s.bitmap));
    }
    Image pixels(const Surface& s) { return *softwin::bitmapPixels(s.bitmap); }

    std::size_t gdiBefore = 0;
};

Image solid(int width, int height, std::uint32_t colour) {
    Image image{width, height, {}};
    for (int i = 0; i < width * height; ++i) {
        image.rgb.push_back(static_cast<std::uint8_t>(colour >> 16));
        image.rgb.push_back(static_cast<std::uint8_t>(colour >> 8));
        image.rgb.push_back(static_cast<std::uint8_t>(colour));
    }
    return image;
}

TEST_F(SoftWin32Test, RasterOperationsWorkPerChannel) {
    const struct {
        DWORD rop;
        std::uint32_t expected;
    } cases[] = {{SRCCOPY, 0x0F3C96}, {SRCAND, 0x003C00}, {SRCPAINT, 0xCF3C96}};
    for (const auto& c : cases) {
        Surface target = surface(solid(2, 2, 0xC03C00));
        Surface source = surface(solid(2, 2, 0x0F3C96));
        EXPECT_TRUE(BitBlt(target.dc, 0, 0, 2, 2, source.dc, 0, 0, c.rop));
        EXPECT_EQ(pixels(target), solid(2, 2, c.expected)) << std::hex << c.rop;
        release(target);
        release(source);
    }
}

TEST_F(SoftWin32Test, CopiesClipToBothPictures) {
    const Image art = skinart::noise(6, 5, 7);
    struct Case {
        int x, y, width, height, sourceX, sourceY;
    };
    // Off every edge of the target and of the source, and wholly outside.
    const Case cases[] = {{-2, -1, 6, 4, 0, 0}, {3, 2, 6, 6, 0, 0}, {0, 0, 6, 5, 2, 3}, {0, 0, 4, 4, -3, -1},
                          {1, 1, 3, 3, 1, 1},   {9, 9, 2, 2, 0, 0}, {0, 0, 2, 2, 40, 0}, {0, 0, 1 << 30, 3, 0, 0}};
    for (const Case& c : cases) {
        Surface target = surface(solid(5, 4, 0x123456));
        Surface source = surface(art);
        BitBlt(target.dc, c.x, c.y, c.width, c.height, source.dc, c.sourceX, c.sourceY, SRCCOPY);
        Image expected = solid(5, 4, 0x123456);
        skinart::blit(expected, c.x, c.y, std::min(c.width, 64), c.height, art, c.sourceX, c.sourceY);
        EXPECT_EQ(pixels(target), expected) << c.x << "," << c.y << " from " << c.sourceX << "," << c.sourceY;
        release(target);
        release(source);
    }
}

TEST_F(SoftWin32Test, CopyWithinOnePictureReadsTheOldPixels) {
    const Image art = skinart::noise(6, 1, 3);
    Surface s = surface(art);
    BitBlt(s.dc, 1, 0, 5, 1, s.dc, 0, 0, SRCCOPY);
    Image expected = art;
    skinart::blit(expected, 1, 0, 5, 1, art, 0, 0);
    EXPECT_EQ(pixels(s), expected);
    release(s);
}

TEST_F(SoftWin32Test, DcWithoutBitmapOrWithUnknownRopDrawsNothing) {
    Surface target = surface(solid(2, 2, 0x808080));
    HDC empty = CreateCompatibleDC(nullptr);
    EXPECT_FALSE(BitBlt(target.dc, 0, 0, 2, 2, empty, 0, 0, SRCCOPY));
    EXPECT_FALSE(BitBlt(empty, 0, 0, 2, 2, target.dc, 0, 0, SRCCOPY));
    EXPECT_FALSE(BitBlt(target.dc, 0, 0, 2, 2, target.dc, 0, 0, 0x00550009));  // DSTINVERT
    EXPECT_EQ(pixels(target), solid(2, 2, 0x808080));
    EXPECT_TRUE(DeleteDC(empty));
    release(target);
}

TEST_F(SoftWin32Test, LoadsBitmapsWithPaddingInEitherRowOrder) {
    // Width 3 makes 9-byte rows padded to 12.
    const Image art = skinart::noise(3, 4, 11);
    std::vector<std::uint8_t> bottomUp = skinart::writeBmp(art);
    softwin::setBitmapResource(901, bottomUp);

    // The same picture stored top-down (negative height).
    std::vector<std::uint8_t> topDown(bottomUp.begin(), bottomUp.begin() + 54);
    const std::int32_t negative = -4;
    std::memcpy(&topDown[22], &negative, 4);
    for (int row = 3; row >= 0; --row) {
        topDown.insert(topDown.end(), bottomUp.begin() + 54 + row * 12, bottomUp.begin() + 54 + (row + 1) * 12);
    }
    softwin::setBitmapResource(902, topDown);

    for (int id : {901, 902}) {
        auto bitmap = static_cast<HBITMAP>(LoadImageA(nullptr, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, 0));
        ASSERT_NE(bitmap, nullptr) << id;
        EXPECT_EQ(*softwin::bitmapPixels(bitmap), art) << id;
        EXPECT_TRUE(DeleteObject(bitmap));
    }
    softwin::setBitmapResource(901, {});
    softwin::setBitmapResource(902, {});
}

TEST_F(SoftWin32Test, RefusesBitmapsItCannotReadWhole) {
    const std::vector<std::uint8_t> good = skinart::writeBmp(skinart::noise(4, 4, 5));
    struct Case {
        const char* what;
        std::size_t offset;
        std::uint8_t value;
        std::size_t truncateTo;
    };
    const Case cases[] = {
        {"32 bits per pixel", 28, 32, 0},  {"RLE compressed", 30, 1, 0},   {"zero width", 18, 0, 0},
        {"pixel data cut short", 0, 'B', 60}, {"header only", 0, 'B', 20}, {"no signature", 0, 'X', 0},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> bad = good;
        bad[c.offset] = c.value;
        if (c.truncateTo) bad.resize(c.truncateTo);
        softwin::setBitmapResource(903, bad);
        EXPECT_EQ(LoadImageA(nullptr, MAKEINTRESOURCEA(903), IMAGE_BITMAP, 0, 0, 0), nullptr) << c.what;
    }
    softwin::setBitmapResource(903, {});
    EXPECT_EQ(LoadImageA(nullptr, MAKEINTRESOURCEA(903), IMAGE_BITMAP, 0, 0, 0), nullptr) << "no such id";
    EXPECT_EQ(LoadImageA(nullptr, "panel.bmp", IMAGE_BITMAP, 0, 0, 0), nullptr) << "by file name";
}

TEST_F(SoftWin32Test, ForeignAndStaleHandlesFailWithoutHarm) {
    HWND window = create();
    ASSERT_NE(window, nullptr);
    DestroyWindow(window);
    HDC staleDc = CreateCompatibleDC(nullptr);
    DeleteDC(staleDc);
    // A destroyed window, an X11 window id as a host would pass it, and a wild value.
    for (HWND bad : {window, reinterpret_cast<HWND>(0x3a00007), reinterpret_cast<HWND>(~std::uintptr_t{0})}) {
        EXPECT_EQ(GetDC(bad), nullptr);
        EXPECT_EQ(SetTimer(bad, 1, 50, nullptr), 0u);
        EXPECT_FALSE(KillTimer(bad, 1));
        EXPECT_FALSE(DestroyWindow(bad));
        EXPECT_EQ(SetWindowLongPtrA(bad, GWLP_USERDATA, 5), 0);
        EXPECT_EQ(GetWindowLongA(bad, GWL_USERDATA), 0);
        EXPECT_EQ(SetCapture(bad), nullptr);
        EXPECT_EQ(GetCapture(), nullptr);
        EXPECT_EQ(softwin::sendMessage(bad, WM_TIMER, 1, 0), 0);
        EXPECT_FALSE(softwin::windowPixels(bad).has_value());
    }
    for (HDC bad : {staleDc, reinterpret_cast<HDC>(0x1234), reinterpret_cast<HDC>(window)}) {
        EXPECT_EQ(CreateCompatibleDC(bad), nullptr);
        EXPECT_EQ(CreateCompatibleBitmap(bad, 4, 4), nullptr);
        EXPECT_EQ(SelectObject(bad, nullptr), nullptr);
        EXPECT_FALSE(DeleteDC(bad));
        EXPECT_EQ(ReleaseDC(nullptr, bad), 0);
        EXPECT_FALSE(BitBlt(bad, 0, 0, 1, 1, bad, 0, 0, SRCCOPY));
    }
    EXPECT_FALSE(DeleteObject(reinterpret_cast<HGDIOBJ>(0x5678)));
}

TEST_F(SoftWin32Test, ParentsOfTheLayerAreKeptForeignOnesMustBeX11Windows) {
    HWND parent = create(8, 4, nullptr);
    HWND child = create(8, 4, parent);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(softwin::windowParent(child), parent);
    EXPECT_EQ(softwin::windowParent(parent), nullptr);

    // A child of anything else lives in an X11 window, which these are not:
    // an id beyond X11's 29 bits, and one with no display to know it.
    const ScopedEnvironment noDisplay("DISPLAY", nullptr);
    const std::size_t windows = softwin::liveWindows().size();
    for (const std::uintptr_t id : {std::uintptr_t{0x5a5a0000}, std::uintptr_t{0x3a00007}}) {
        EXPECT_EQ(create(8, 4, reinterpret_cast<HWND>(id)), nullptr) << id;
        // As an owner of a window that is no child it is only kept.
        HWND owned = CreateWindowExA(0, "softtestclass", "t", WS_VISIBLE, 0, 0, 8, 4, reinterpret_cast<HWND>(id),
                                     nullptr, nullptr, nullptr);
        ASSERT_NE(owned, nullptr);
        EXPECT_EQ(softwin::windowParent(owned), reinterpret_cast<HWND>(id));
        DestroyWindow(owned);
    }
    EXPECT_EQ(softwin::liveWindows().size(), windows);
}

TEST_F(SoftWin32Test, BitmapSelectionFollowsGdiRules) {
    HDC a = CreateCompatibleDC(nullptr);
    HDC b = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(a, 4, 4);
    HGDIOBJ stock = SelectObject(a, bitmap);
    ASSERT_NE(stock, nullptr);
    EXPECT_EQ(SelectObject(b, bitmap), nullptr) << "one DC at a time";
    EXPECT_FALSE(DeleteObject(bitmap)) << "still selected";
    EXPECT_EQ(SelectObject(a, stock), bitmap);
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_TRUE(DeleteDC(a));
    EXPECT_TRUE(DeleteDC(b));
    // A DC deleted with its bitmap still in it frees the bitmap for deletion.
    HDC c = CreateCompatibleDC(nullptr);
    HBITMAP held = CreateCompatibleBitmap(c, 2, 2);
    SelectObject(c, held);
    EXPECT_TRUE(DeleteDC(c));
    EXPECT_TRUE(DeleteObject(held));
}

TEST_F(SoftWin32Test, ClassesFollowWin32Registration) {
    WNDCLASSA again{};
    again.lpfnWndProc = Recorder::proc;
    again.lpszClassName = "SOFTTESTCLASS";
    EXPECT_EQ(RegisterClassA(&again), 0) << "names compare without case";
    again.lpszClassName = "";
    EXPECT_EQ(RegisterClassA(&again), 0);
    EXPECT_EQ(RegisterClassA(nullptr), 0);
    EXPECT_EQ(CreateWindowExA(0, "noclass", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);

    HWND window = create();
    EXPECT_FALSE(UnregisterClassA("softtestclass", nullptr)) << "a window of the class is alive";
    DestroyWindow(window);
    EXPECT_TRUE(softwin::isClassRegistered("softtestclass"));
}

TEST_F(SoftWin32Test, CreationAndDestructionReachTheProcedure) {
    HWND window = create();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(Recorder::messages, (std::vector<UINT>{WM_NCCREATE, WM_CREATE}));
    Recorder::messages.clear();
    DestroyWindow(window);
    EXPECT_EQ(Recorder::messages, (std::vector<UINT>{WM_DESTROY, WM_NCDESTROY}));

    Recorder::nccreateAnswer = FALSE;
    EXPECT_EQ(create(), nullptr) << "a procedure refusing WM_NCCREATE stops the creation";
    EXPECT_TRUE(softwin::liveWindows().empty() || softwin::lastWindow("softtestclass") == nullptr);
}

TEST_F(SoftWin32Test, NewVisibleWindowIsPaintedAndErasedWithItsBrush) {
    HWND window = create(3, 2);
    HDC dc = GetDC(window);
    ASSERT_NE(dc, nullptr);
    Recorder::messages.clear();
    softwin::advance(10);
    EXPECT_EQ(Recorder::messages, (std::vector<UINT>{WM_PAINT, WM_ERASEBKGND}));
    EXPECT_EQ(softwin::windowPixels(window)->pixel(2, 1), 0xF0F0F0u) << "COLOR_BTNFACE";
    Recorder::messages.clear();
    softwin::advance(10);
    EXPECT_TRUE(Recorder::messages.empty()) << "validated";
    EXPECT_EQ(ReleaseDC(window, dc), 1);
}

TEST_F(SoftWin32Test, TimersFireOncePerElapsedInterval) {
    HWND window = create();
    softwin::advance(1);  // the first paint
    EXPECT_EQ(SetTimer(window, 7, 50, nullptr), 7u);
    softwin::advance(49);
    EXPECT_EQ(Recorder::timerCount, 0);
    softwin::advance(1);
    EXPECT_EQ(Recorder::timerCount, 1);
    softwin::advance(500);
    EXPECT_EQ(Recorder::timerCount, 2) << "missed periods merge into one message";
    EXPECT_TRUE(KillTimer(window, 7));
    softwin::tick();
    EXPECT_EQ(Recorder::timerCount, 2);
}

TEST_F(SoftWin32Test, ProcedureMayEndItsTimerOrWindowWhileTicking) {
    HWND first = create();
    HWND second = create();
    SetTimer(first, 1, 50, nullptr);
    SetTimer(second, 1, 50, nullptr);
    Recorder::killInTimer = true;
    softwin::tick();
    EXPECT_EQ(Recorder::timerCount, 2);
    EXPECT_FALSE(softwin::hasTimer(first, 1));

    Recorder::killInTimer = false;
    Recorder::destroyInTimer = true;
    SetTimer(first, 1, 50, nullptr);
    SetTimer(second, 1, 50, nullptr);
    softwin::tick();
    EXPECT_FALSE(softwin::isWindow(first));
    EXPECT_FALSE(softwin::isWindow(second));
}

TEST_F(SoftWin32Test, DestroyingAWindowDropsItsDcsAndCapture) {
    HWND window = create();
    const std::size_t before = softwin::liveGdiObjects();
    HDC dc = GetDC(window);
    EXPECT_EQ(softwin::liveGdiObjects(), before + 1);
    EXPECT_EQ(SetCapture(window), nullptr);
    EXPECT_EQ(GetCapture(), window);
    DestroyWindow(window);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(softwin::liveGdiObjects(), before);
    EXPECT_EQ(ReleaseDC(window, dc), 0);
}

TEST_F(SoftWin32Test, GetDcFailureCanBeInjected) {
    HWND window = create();
    softwin::setGetDcFailure(true);
    EXPECT_EQ(GetDC(window), nullptr);
    softwin::setGetDcFailure(false);
    HDC dc = GetDC(window);
    EXPECT_NE(dc, nullptr);
    ReleaseDC(window, dc);
}

TEST(SoftWin32Packing, CoordinatesKeepTheirSign) {
    const struct {
        int x, y;
    } points[] = {{0, 0}, {499, 139}, {-1, -100}, {-32768, 32767}, {170, -5}};
    for (const auto& p : points) {
        const LPARAM packed = MAKELPARAM(p.x, p.y);
        EXPECT_EQ(GET_X_LPARAM(packed), p.x);
        EXPECT_EQ(GET_Y_LPARAM(packed), p.y);
    }
    EXPECT_EQ(LoadCursorA(nullptr, IDC_ARROW), softwin::arrowCursor());
}

}  // namespace

namespace {

TEST(SoftWin32Resources, BuiltInBitmapsAreTheSkinFiles) {
    const struct {
        int id;
        const char* file;
        int width, height;
    } skins[] = {{106, "panel.bmp", 500, 322}, {107, "knob.bmp", 3888, 48},
                 {108, "tube.bmp", 960, 53},   {109, "circuit.bmp", 1860, 25}};
    for (const auto& s : skins) {
        std::ifstream in(std::string(VARNOX_RESOURCE_DIR) + "/" + s.file, std::ios::binary);
        if (!in) GTEST_SKIP() << s.file << " is not in resources/ yet";
        const std::vector<std::uint8_t> file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        std::size_t count = 0;
        const softwin::EmbeddedBitmap* table = softwin::embeddedBitmaps(count);
        const softwin::EmbeddedBitmap* found = nullptr;
        for (std::size_t i = 0; i < count; ++i) {
            if (table[i].id == s.id) found = &table[i];
        }
        ASSERT_NE(found, nullptr) << s.file;
        EXPECT_EQ(std::vector<std::uint8_t>(found->data, found->data + found->size), file) << s.file;

        auto bitmap = static_cast<HBITMAP>(LoadImageA(nullptr, MAKEINTRESOURCEA(s.id), IMAGE_BITMAP, 0, 0, 0));
        ASSERT_NE(bitmap, nullptr) << s.file;
        Image ours;
        ASSERT_TRUE(skinart::readBmp(file, ours));
        EXPECT_EQ(ours.width, s.width);
        EXPECT_EQ(ours.height, s.height);
        EXPECT_EQ(*softwin::bitmapPixels(bitmap), ours) << s.file;
        DeleteObject(bitmap);
    }
}

}  // namespace
