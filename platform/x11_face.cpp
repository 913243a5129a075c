// The X11 face of the software window layer: a child window in the host's
// X11 window on a connection of the face's own, the frames put into it, its
// input turned into mouse messages, and the event thread that keeps the
// window's timers on real time.
#include "platform/x11_face.h"

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/ui_lock.h"
#include "platform/x11_embedding.h"
#include "platform/x11_pixels.h"

namespace x11face {

namespace {

using softwin::embedded::Clock;

thread_local Drive creationDrive = Drive::ownThread;

constexpr std::uint32_t kEventMask = XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_BUTTON_PRESS |
                                     XCB_EVENT_MASK_BUTTON_RELEASE | XCB_EVENT_MASK_POINTER_MOTION |
                                     XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_LEAVE_WINDOW |
                                     XCB_EVENT_MASK_VISIBILITY_CHANGE;

// Two presses of a button this close in time and place make a double click
// (the Win32 defaults: 500 ms, a 4 x 4 pixel box).
constexpr std::uint32_t kDoubleClickMilliseconds = 500;
constexpr int kDoubleClickReach = 2;

// What an X11 event means to the window; message 0 stands for an exposure.
struct Input {
    UINT message;
    WPARAM keys;
    LPARAM position;
    bool secondClick = false;  // a press that completes a double click
    bool pointer = false;      // carries where the window lies on the screen
    std::int16_t originX = 0;
    std::int16_t originY = 0;
};

struct Press {
    std::uint8_t button = 0;
    xcb_timestamp_t time = 0;
    std::int16_t x = 0;
    std::int16_t y = 0;
};

template <typename T>
struct FreeDeleter {
    void operator()(T* p) const noexcept { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter<T>>;

// What the event thread shares with the window it serves. Whoever lets go
// last (normally the window, or the thread when the window procedure
// destroyed its own window from a tick) closes the connection.
struct Link {
    xcb_connection_t* connection = nullptr;
    xcb_window_t window = 0;
    xcb_gcontext_t gc = 0;
    std::uint8_t depth = 0;
    int width = 0;
    int height = 0;
    int rowsPerRequest = 0;
    std::size_t rowBytes = 0;
    std::unique_ptr<x11pixels::Converter> converter;
    std::vector<std::uint8_t> image;  // the last frame, converted
    bool imageValid = false;          // (both under the user-interface lock)
    HWND owner = nullptr;
    int wakeFd = -1;
    std::atomic<bool> stop{false};
    // No more frames are put once the window is gone or an error came back:
    // the host may have destroyed its window before closing the editor.
    std::atomic<bool> windowGone{false};
    std::atomic<bool> connectionLost{false};
    std::atomic<bool> fullyCovered{false};
    Press lastPress;        // the event thread's or the caller's, while collecting
    POINT screenOrigin{};   // under the user-interface lock

    Link() = default;
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;
    ~Link() {
        if (connection) xcb_disconnect(connection);
        if (wakeFd >= 0) ::close(wakeFd);
    }
    bool shown() const { return !windowGone && !connectionLost; }
};

void wake(const Link& link) {
    if (link.wakeFd < 0) return;
    const std::uint64_t one = 1;
    // A full counter still wakes the thread; nothing else can go wrong here.
    [[maybe_unused]] const ssize_t written = ::write(link.wakeFd, &one, sizeof one);
}

void drainWake(const Link& link) {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t read = ::read(link.wakeFd, &count, sizeof count);
}

WPARAM keysOf(std::uint16_t state) {
    WPARAM keys = 0;
    if (state & XCB_KEY_BUT_MASK_BUTTON_1) keys |= MK_LBUTTON;
    if (state & XCB_KEY_BUT_MASK_BUTTON_2) keys |= MK_MBUTTON;
    if (state & XCB_KEY_BUT_MASK_BUTTON_3) keys |= MK_RBUTTON;
    if (state & XCB_KEY_BUT_MASK_SHIFT) keys |= MK_SHIFT;
    if (state & XCB_KEY_BUT_MASK_CONTROL) keys |= MK_CONTROL;
    return keys;
}

// Client coordinates as Win32 packs them: signed 16 bits each, negative or
// beyond the window while X11's implicit grab (our capture) holds the pointer.
LPARAM packPosition(std::int16_t x, std::int16_t y) { return MAKELPARAM(x, y); }

void translate(Link& link, const xcb_generic_event_t& event, std::vector<Input>& inbox) {
    switch (event.response_type & 0x7f) {
    case 0:  // an error on our connection: stop putting frames, harm nothing
        link.windowGone = true;
        break;
    case XCB_EXPOSE: {
        const auto& expose = reinterpret_cast<const xcb_expose_event_t&>(event);
        if (expose.window == link.window && expose.count == 0) inbox.push_back({0, 0, 0});
        break;
    }
    case XCB_BUTTON_PRESS:
    case XCB_BUTTON_RELEASE: {
        const auto& button = reinterpret_cast<const xcb_button_press_event_t&>(event);
        const bool press = (event.response_type & 0x7f) == XCB_BUTTON_PRESS;
        if (button.event != link.window) break;
        Input input{0, 0, packPosition(button.event_x, button.event_y)};
        input.pointer = true;
        input.originX = static_cast<std::int16_t>(button.root_x - button.event_x);
        input.originY = static_cast<std::int16_t>(button.root_y - button.event_y);
        // The wheel is buttons 4 (away from the user) and 5; 6 and 7 (sideways)
        // and the middle button mean nothing here. Win32 gives the wheel's
        // position in screen coordinates.
        if (button.detail == 4 || button.detail == 5) {
            if (!press) break;
            const int delta = button.detail == 4 ? WHEEL_DELTA : -WHEEL_DELTA;
            input.message = WM_MOUSEWHEEL;
            input.keys = static_cast<DWORD>(MAKELONG(keysOf(button.state), delta));
            input.position = packPosition(button.root_x, button.root_y);
            inbox.push_back(input);
            break;
        }
        WPARAM bit = 0;
        if (button.detail == 1) {
            bit = MK_LBUTTON;
            input.message = press ? WM_LBUTTONDOWN : WM_LBUTTONUP;
        } else if (button.detail == 3) {
            bit = MK_RBUTTON;
            input.message = press ? WM_RBUTTONDOWN : WM_RBUTTONUP;
        }
        if (input.message == 0) break;
        // X11 reports the state before the event, Win32 the state after it.
        input.keys = press ? (keysOf(button.state) | bit) : (keysOf(button.state) & ~bit);
        if (press) {
            const Press& last = link.lastPress;
            input.secondClick = last.button == button.detail && button.time - last.time <= kDoubleClickMilliseconds &&
                                std::abs(button.event_x - last.x) <= kDoubleClickReach &&
                                std::abs(button.event_y - last.y) <= kDoubleClickReach;
            // A third press starts over, as on Win32.
            link.lastPress = input.secondClick ? Press{}
                                               : Press{button.detail, button.time, button.event_x, button.event_y};
        }
        inbox.push_back(input);
        break;
    }
    case XCB_MOTION_NOTIFY: {
        const auto& motion = reinterpret_cast<const xcb_motion_notify_event_t&>(event);
        if (motion.event != link.window) break;
        Input input{WM_MOUSEMOVE, keysOf(motion.state), packPosition(motion.event_x, motion.event_y)};
        input.pointer = true;
        input.originX = static_cast<std::int16_t>(motion.root_x - motion.event_x);
        input.originY = static_cast<std::int16_t>(motion.root_y - motion.event_y);
        inbox.push_back(input);
        break;
    }
    case XCB_LEAVE_NOTIFY: {
        // Into a window of ours there is nothing (we have no children), so
        // every leave is the pointer going elsewhere, also when a button
        // released outside ends the implicit grab.
        const auto& leave = reinterpret_cast<const xcb_leave_notify_event_t&>(event);
        if (leave.event == link.window && leave.detail != XCB_NOTIFY_DETAIL_INFERIOR)
            inbox.push_back({WM_MOUSELEAVE, 0, 0});
        break;
    }
    case XCB_VISIBILITY_NOTIFY: {
        const auto& visibility = reinterpret_cast<const xcb_visibility_notify_event_t&>(event);
        if (visibility.window == link.window)
            link.fullyCovered = visibility.state == XCB_VISIBILITY_FULLY_OBSCURED;
        break;
    }
    case XCB_DESTROY_NOTIFY: {
        const auto& destroy = reinterpret_cast<const xcb_destroy_notify_event_t&>(event);
        if (destroy.window == link.window) link.windowGone = true;
        break;
    }
    default:
        break;
    }
}

// Takes the events xcb holds: when `readSocket`, also those waiting on the
// connection. Needs no lock (xcb is thread-safe).
void collect(Link& link, std::vector<Input>& inbox, bool readSocket) {
    if (link.connectionLost) return;
    while (xcb_generic_event_t* event =
               readSocket ? xcb_poll_for_event(link.connection) : xcb_poll_for_queued_event(link.connection)) {
        translate(link, *event, inbox);
        std::free(event);
    }
    // The display went away: the window lives on in memory until it is destroyed.
    if (xcb_connection_has_error(link.connection)) link.connectionLost = true;
}

void putImage(Link& link) {
    if (!link.imageValid || !link.shown()) return;
    for (int y = 0; y < link.height; y += link.rowsPerRequest) {
        const int rows = std::min(link.rowsPerRequest, link.height - y);
        xcb_put_image(link.connection, XCB_IMAGE_FORMAT_Z_PIXMAP, link.window, link.gc,
                      static_cast<std::uint16_t>(link.width), static_cast<std::uint16_t>(rows), 0,
                      static_cast<std::int16_t>(y), 0, link.depth, static_cast<std::uint32_t>(rows * link.rowBytes),
                      link.image.data() + static_cast<std::size_t>(y) * link.rowBytes);
    }
    xcb_flush(link.connection);
}

// Under the user-interface lock.
void deliver(Link& link, const std::vector<Input>& inbox) {
    for (const Input& input : inbox) {
        if (input.pointer) link.screenOrigin = POINT{input.originX, input.originY};
        UINT message = input.message;
        if (message == 0) {
            // Show the last frame again at once; WM_PAINT asks for a full one.
            softwin::invalidate(link.owner);
            putImage(link);
            continue;
        }
        if (message == WM_MOUSELEAVE && !softwin::embedded::takeLeaveRequest(link.owner)) continue;
        if (input.secondClick && (softwin::embedded::classStyle(link.owner) & CS_DBLCLKS)) {
            message = message == WM_LBUTTONDOWN ? WM_LBUTTONDBLCLK : WM_RBUTTONDBLCLK;
        }
        softwin::sendMessage(link.owner, message, input.keys, input.position);
    }
    softwin::embedded::deliverPaint(link.owner);
}

int millisecondsUntil(const std::optional<Clock::time_point>& due, Clock::time_point now) {
    if (!due) return -1;
    if (*due <= now) return 0;
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*due - now).count();
    return wait > INT_MAX ? INT_MAX : static_cast<int>(wait);
}

// The event thread: waits (without the lock) for X11 input, a wake-up or the
// next due timer, then delivers all of it under the lock.
void run(std::shared_ptr<Link> link) {
    std::vector<Input> inbox;
    std::optional<Clock::time_point> nextDue;
    while (!link->stop) {
        // Events xcb read while sending or waiting for a reply sit in its
        // queue and would not wake poll.
        collect(*link, inbox, false);
        const int timeout = inbox.empty() ? millisecondsUntil(nextDue, Clock::now()) : 0;
        pollfd fds[2] = {{link->wakeFd, POLLIN, 0}, {-1, POLLIN, 0}};
        if (!link->connectionLost) fds[1].fd = xcb_get_file_descriptor(link->connection);
        if (timeout != 0 && ::poll(fds, 2, timeout) < 0 && errno != EINTR) break;
        if (link->stop) break;
        drainWake(*link);
        collect(*link, inbox, true);

        // The thread that destroys the window holds the lock while it waits
        // for this one to end: it cancels the wait.
        if (!uilock::mutex().lockUnless(link->stop)) break;
        const std::unique_lock<uilock::Mutex> held(uilock::mutex(), std::adopt_lock);
        deliver(*link, inbox);
        inbox.clear();
        nextDue = softwin::embedded::fireDueTimers(link->owner, Clock::now());
    }
}

// A visual and the pixmap format of its depth, when frames can be shown in it.
struct Visual {
    xcb_visualid_t id = 0;
    std::uint8_t depth = 0;
    x11pixels::Format format;
};

std::optional<Visual> usableVisual(const xcb_setup_t* setup, xcb_visualid_t id, std::uint8_t depth) {
    std::optional<Visual> found;
    for (auto screen = xcb_setup_roots_iterator(setup); screen.rem && !found; xcb_screen_next(&screen)) {
        for (auto d = xcb_screen_allowed_depths_iterator(screen.data); d.rem && !found; xcb_depth_next(&d)) {
            if (d.data->depth != depth) continue;
            for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v)) {
                if (v.data->visual_id != id) continue;
                if (v.data->_class != XCB_VISUAL_CLASS_TRUE_COLOR) return std::nullopt;
                found = Visual{id, depth, {}};
                found->format.depth = depth;
                found->format.redMask = v.data->red_mask;
                found->format.greenMask = v.data->green_mask;
                found->format.blueMask = v.data->blue_mask;
                break;
            }
        }
    }
    if (!found) return std::nullopt;
    bool haveFormat = false;
    for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f)) {
        if (f.data->depth != depth) continue;
        found->format.bitsPerPixel = f.data->bits_per_pixel;
        found->format.scanlinePad = f.data->scanline_pad;
        haveFormat = true;
    }
    found->format.msbFirst = setup->image_byte_order == XCB_IMAGE_ORDER_MSB_FIRST;
    if (!haveFormat || !x11pixels::supported(found->format)) return std::nullopt;
    return found;
}

const xcb_screen_t* screenOf(const xcb_setup_t* setup, xcb_window_t root) {
    for (auto screen = xcb_setup_roots_iterator(setup); screen.rem; xcb_screen_next(&screen)) {
        if (screen.data->root == root) return screen.data;
    }
    return nullptr;
}

// Creates the child window; false when the server refused.
bool createWindow(Link& link, xcb_window_t parent, const Visual& visual, bool ownColormap, xcb_window_t root,
                  bool visible) {
    xcb_connection_t* c = link.connection;
    link.window = xcb_generate_id(c);
    std::uint32_t mask = XCB_CW_BACK_PIXMAP | XCB_CW_EVENT_MASK;
    // No background: the server never clears the window to a colour of its
    // own between two frames.
    std::vector<std::uint32_t> values;
    values.push_back(XCB_BACK_PIXMAP_NONE);
    if (ownColormap) {
        // Another visual than the parent's needs its own colormap and border.
        const xcb_colormap_t colormap = xcb_generate_id(c);
        xcb_create_colormap(c, XCB_COLORMAP_ALLOC_NONE, colormap, root, visual.id);
        mask |= XCB_CW_BORDER_PIXEL | XCB_CW_COLORMAP;
        values.push_back(0);  // border pixel
        values.push_back(kEventMask);
        values.push_back(colormap);
    } else {
        values.push_back(kEventMask);
    }
    const xcb_void_cookie_t created = xcb_create_window_checked(
        c, ownColormap ? visual.depth : XCB_COPY_FROM_PARENT, link.window, parent, 0, 0,
        static_cast<std::uint16_t>(link.width), static_cast<std::uint16_t>(link.height), 0,
        XCB_WINDOW_CLASS_INPUT_OUTPUT, ownColormap ? visual.id : XCB_COPY_FROM_PARENT, mask, values.data());
    link.gc = xcb_generate_id(c);
    const std::uint32_t noExposures = 0;
    xcb_create_gc(c, link.gc, link.window, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
    if (visible) xcb_map_window(c, link.window);
    // Waits until the server has handled everything above: when the host
    // looks after effEditOpen, the window is there.
    if (xcb_generic_error_t* error = xcb_request_check(c, created)) {
        std::free(error);
        return false;
    }
    return true;
}

// Starts the event thread with every signal blocked: the host's signal
// handlers should run on the host's threads.
std::thread startThread(const std::shared_ptr<Link>& link) {
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    std::thread thread;
    try {
        thread = std::thread(run, link);
    } catch (const std::system_error&) {
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (thread.joinable()) pthread_setname_np(thread.native_handle(), "varnox-x11");
    return thread;
}

}  // namespace

class Embedding {
public:
    std::shared_ptr<Link> link;
    std::thread thread;
    Drive drive = Drive::ownThread;

    Embedding() = default;
    Embedding(const Embedding&) = delete;
    Embedding& operator=(const Embedding&) = delete;
    ~Embedding() {
        link->stop = true;
        uilock::mutex().wakeWaiters();
        wake(*link);
        if (thread.joinable()) {
            // A window procedure may destroy its own window from a tick, on
            // this very thread: it ends by itself once the tick returns.
            if (thread.get_id() == std::this_thread::get_id()) {
                thread.detach();
            } else {
                thread.join();
            }
        }
        if (!link->connectionLost) {
            // After a DestroyNotify this only earns an error on our own connection.
            xcb_destroy_window(link->connection, link->window);
            const xcb_get_input_focus_cookie_t sync = xcb_get_input_focus(link->connection);
            std::free(xcb_get_input_focus_reply(link->connection, sync, nullptr));
        }
        link->windowGone = true;
    }
};

void EmbeddingDeleter::operator()(Embedding* embedding) const noexcept {
    delete embedding;  // named ownership point: the layer's window holds it
}

EmbeddingPtr embed(HWND owner, std::uintptr_t parentId, int width, int height, bool visible) {
    if (parentId == 0 || parentId > UINT32_MAX || width <= 0 || height <= 0 || width > 32767 || height > 32767)
        return nullptr;
    const auto parent = static_cast<xcb_window_t>(parentId);
    auto link = std::make_shared<Link>();
    link->owner = owner;
    link->width = width;
    link->height = height;
    link->connection = xcb_connect(nullptr, nullptr);
    xcb_connection_t* c = link->connection;
    if (xcb_connection_has_error(c)) return nullptr;

    // Checked replies: a bad id earns an error here, on our connection, and
    // nowhere else. Only a window has attributes (a pixmap has a geometry).
    const auto attributesCookie = xcb_get_window_attributes(c, parent);
    const auto geometryCookie = xcb_get_geometry(c, parent);
    xcb_generic_error_t* error = nullptr;
    const Reply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(c, attributesCookie, &error));
    std::free(error);
    error = nullptr;
    const Reply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(c, geometryCookie, &error));
    std::free(error);
    if (!attributes || !geometry || attributes->_class == XCB_WINDOW_CLASS_INPUT_ONLY) return nullptr;

    // The parent's own visual where frames can be shown in it, else the
    // screen's default one (a host window of a DirectColor visual, say).
    const xcb_setup_t* setup = xcb_get_setup(c);
    std::optional<Visual> visual = usableVisual(setup, attributes->visual, geometry->depth);
    bool ownColormap = false;
    if (!visual) {
        const xcb_screen_t* screen = screenOf(setup, geometry->root);
        if (screen) visual = usableVisual(setup, screen->root_visual, screen->root_depth);
        ownColormap = true;
    }
    if (!visual) return nullptr;

    link->depth = visual->depth;
    link->rowBytes = x11pixels::rowBytes(visual->format, width);
    const std::size_t maxRequestBytes = std::size_t{xcb_get_maximum_request_length(c)} * 4;
    link->rowsPerRequest = x11pixels::rowsPerRequest(maxRequestBytes, link->rowBytes, height);
    if (link->rowsPerRequest == 0) return nullptr;
    link->converter = std::make_unique<x11pixels::Converter>(visual->format);
    link->image.resize(link->rowBytes * static_cast<std::size_t>(height));

    if (!createWindow(*link, parent, *visual, ownColormap, geometry->root, visible)) return nullptr;

    EmbeddingPtr embedding(new Embedding);
    embedding->link = link;
    embedding->drive = creationDrive;
    if (embedding->drive == Drive::ownThread) {
        link->wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (link->wakeFd < 0) return nullptr;
        embedding->thread = startThread(link);
        if (!embedding->thread.joinable()) return nullptr;
    }
    return embedding;
}

void present(Embedding& embedding, const softwin::Image& surface) {
    Link& link = *embedding.link;
    if (!link.shown() || surface.width != link.width || surface.height != link.height) return;
    link.converter->convert(surface.rgb.data(), link.width, link.height, link.image.data());
    link.imageValid = true;
    putImage(link);
}

void timersChanged(Embedding& embedding) { wake(*embedding.link); }

bool viewable(Embedding& embedding) {
    Link& link = *embedding.link;
    if (!link.shown()) return true;
    if (link.fullyCovered) return false;
    xcb_connection_t* c = link.connection;
    const Reply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, link.window), nullptr));
    // No answer: the window went away under us; the error arrives as an event.
    return !attributes || attributes->map_state == XCB_MAP_STATE_VIEWABLE;
}

void setMapped(Embedding& embedding, bool mapped) {
    Link& link = *embedding.link;
    if (!link.shown()) return;
    if (mapped) {
        xcb_map_window(link.connection, link.window);
    } else {
        xcb_unmap_window(link.connection, link.window);
    }
    xcb_flush(link.connection);
}

POINT screenOrigin(const Embedding& embedding) { return embedding.link->screenOrigin; }

// ---- the caller-driven mode

DriveScope::DriveScope(Drive drive) : previous_(creationDrive) { creationDrive = drive; }

DriveScope::~DriveScope() { creationDrive = previous_; }

namespace {

// Held while delivering: the window procedure may destroy its own window.
std::shared_ptr<Link> callerDriven(HWND window) {
    Embedding* embedding = softwin::embedded::embeddingOf(window);
    return embedding && embedding->drive == Drive::byCaller ? embedding->link : nullptr;
}

}  // namespace

int eventDescriptor(HWND window) {
    const uilock::Guard guard;
    const std::shared_ptr<Link> link = callerDriven(window);
    return link && !link->connectionLost ? xcb_get_file_descriptor(link->connection) : -1;
}

void handleEvents(HWND window) {
    const uilock::Guard guard;
    const std::shared_ptr<Link> link = callerDriven(window);
    if (!link) return;
    std::vector<Input> inbox;
    collect(*link, inbox, true);
    deliver(*link, inbox);
}

int fireDueTimers(HWND window) {
    const uilock::Guard guard;
    const std::shared_ptr<Link> link = callerDriven(window);
    if (!link) return -1;
    // Events xcb queued while sending frames would not make the descriptor readable.
    std::vector<Input> inbox;
    collect(*link, inbox, false);
    deliver(*link, inbox);
    // A run loop's timer may come a little early; a tick that is nearly due
    // fires now rather than after another round of the loop.
    const Clock::time_point now = Clock::now() + std::chrono::milliseconds(kEarlyMilliseconds);
    return millisecondsUntil(softwin::embedded::fireDueTimers(window, now), now);
}

bool isShown(HWND window) {
    const uilock::Guard guard;
    const Embedding* embedding = softwin::embedded::embeddingOf(window);
    return embedding && embedding->link->shown();
}

}  // namespace x11face
