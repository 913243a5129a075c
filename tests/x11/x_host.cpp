#include "tests/x11/x_host.h"

#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <dirent.h>

namespace {

// Widens a masked channel to 8 bits (the inverse of truncation by a server).
std::uint8_t channel(unsigned long pixel, unsigned long mask) {
    if (mask == 0) return 0;
    int shift = 0;
    while (!(mask & (1ul << shift))) ++shift;
    int bits = 0;
    while (mask & (1ul << (shift + bits))) ++bits;
    const unsigned long value = (pixel & mask) >> shift;
    return static_cast<std::uint8_t>(bits >= 8 ? value >> (bits - 8) : value << (8 - bits));
}

std::size_t entries(const char* path) {
    std::size_t count = 0;
    if (DIR* dir = ::opendir(path)) {
        while (const dirent* entry = ::readdir(dir)) {
            if (entry->d_name[0] != '.') ++count;
        }
        ::closedir(dir);
    }
    return count;
}

}  // namespace

XHost::XHost(const char* displayName) : display_(XOpenDisplay(displayName)) {}

XHost::~XHost() {
    if (display_) XCloseDisplay(display_);
}

Window XHost::createWindow(int width, int height, Visual* visual, int depth, int x, int y) {
    const int screen = DefaultScreen(display_);
    XSetWindowAttributes attributes{};
    unsigned long mask = CWBackPixel | CWBorderPixel;
    attributes.background_pixel = kHostBackground;
    attributes.border_pixel = 0;
    if (visual) {
        attributes.colormap = XCreateColormap(display_, RootWindow(display_, screen), visual, AllocNone);
        mask |= CWColormap;
    } else {
        visual = DefaultVisual(display_, screen);
        depth = DefaultDepth(display_, screen);
    }
    const Window window = XCreateWindow(display_, RootWindow(display_, screen), x, y, width, height, 0, depth,
                                        InputOutput, visual, mask, &attributes);
    XMapWindow(display_, window);
    XSync(display_, False);
    return window;
}

void XHost::destroyWindow(Window window) {
    XDestroyWindow(display_, window);
    XSync(display_, False);
}

Visual* XHost::findVisual(int depth, int visualClass) const {
    XVisualInfo wanted{};
    wanted.screen = DefaultScreen(display_);
    wanted.depth = depth;
    wanted.c_class = visualClass;
    int count = 0;
    XVisualInfo* found =
        XGetVisualInfo(display_, VisualScreenMask | VisualDepthMask | VisualClassMask, &wanted, &count);
    Visual* visual = count > 0 ? found[0].visual : nullptr;
    if (found) XFree(found);
    return visual;
}

std::vector<Window> XHost::children(Window window) const {
    Window root = 0, parent = 0;
    Window* list = nullptr;
    unsigned count = 0;
    std::vector<Window> result;
    if (XQueryTree(display_, window, &root, &parent, &list, &count)) result.assign(list, list + count);
    if (list) XFree(list);
    return result;
}

softwin::Image XHost::capture(Window window, int width, int height, int x0, int y0) const {
    XImage* image = XGetImage(display_, window, x0, y0, width, height, AllPlanes, ZPixmap);
    softwin::Image picture{width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height * 3)};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            std::uint8_t* rgb = &picture.rgb[(static_cast<std::size_t>(y) * width + x) * 3];
            rgb[0] = channel(pixel, image->red_mask);
            rgb[1] = channel(pixel, image->green_mask);
            rgb[2] = channel(pixel, image->blue_mask);
        }
    }
    XDestroyImage(image);
    return picture;
}

void XHost::pointerTo(int x, int y) const {
    XTestFakeMotionEvent(display_, DefaultScreen(display_), x, y, CurrentTime);
    XSync(display_, False);
}

void XHost::button(unsigned button, bool press) const {
    XTestFakeButtonEvent(display_, button, press ? True : False, CurrentTime);
    XSync(display_, False);
}

void XHost::click(unsigned button, int x, int y) const {
    pointerTo(x, y);
    this->button(button, true);
    this->button(button, false);
}

std::size_t openDescriptors() { return entries("/proc/self/fd"); }

std::size_t threadCount() { return entries("/proc/self/task"); }
