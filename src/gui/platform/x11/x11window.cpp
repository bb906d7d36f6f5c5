#include "gui/platform/x11/x11window.h"

#include "gui/platform/raster/rasterdevice.h"
#include "gui/platform/x11/x11connection.h"
#include "gui/platform/x11/x11dndtarget.h"
#include "gui/platform/x11/x11errortrap.h"
#include "gui/platform/x11/x11pointer.h"
#include "gui/platform/x11/x11surface.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <new>
#include <thread>

namespace quorvane::x11 {

namespace {

constexpr long kEventMask =
    ExposureMask | ButtonPressMask | ButtonReleaseMask | StructureNotifyMask;
// The shortest a replayed click is held, so that the click reaches a control's drag loop.
constexpr uint32_t kShortestClick = 30;
// A click held longer than this was really held: the live state takes over.
constexpr uint32_t kLongestReplay = 250;

// Finds the release of one button of one window in the queue.
struct ReleaseOf {
    ::Window window;
    unsigned button;
};
Bool isReleaseOf(Display*, XEvent* event, XPointer arg) {
    const auto* wanted = reinterpret_cast<const ReleaseOf*>(arg);
    return event->type == ButtonRelease && event->xbutton.window == wanted->window &&
           event->xbutton.button == wanted->button;
}

// Every open window of the process. Editors on several threads open and close windows at the
// same time, so the list is only touched under its mutex; a window is only ever handled on the
// thread that made it.
struct Registry {
    std::mutex mutex;
    std::vector<X11Window*> windows;
};
Registry& registry() {
    static Registry r;
    return r;
}

// Draws into the window's pixels. What it drew goes to the screen whenever the toolkit asks for
// input or waits (presentOpenDevices), as a drag loop does between two pictures, and when it is
// destroyed, together with the area it was opened for. Devices open on a thread are chained
// from that thread's newest one, without allocating.
class WindowDevice;
thread_local WindowDevice* newestDevice = nullptr;

class WindowDevice final : public raster::RasterDevice {
public:
    WindowDevice(X11Window& window, raster::PixelBuffer& pixels, platform::Rect area = {})
        : RasterDevice(pixels), window_(&window), area_(area), older_(newestDevice) {
        if (older_) older_->newer_ = this;
        newestDevice = this;
    }
    ~WindowDevice() override {
        if (newer_)
            newer_->older_ = older_;
        else
            newestDevice = older_;
        if (older_) older_->newer_ = newer_;
        if (window_) window_->present(raster::unite(takeDamage(), area_));
    }
    WindowDevice(const WindowDevice&) = delete;
    WindowDevice& operator=(const WindowDevice&) = delete;

    void presentDamage() {
        const platform::Rect damage = takeDamage();
        if (window_ && damage.left < damage.right && damage.top < damage.bottom)
            window_->present(damage);
    }
    // The window is going away: nothing is shown any more.
    void forgetWindow(const X11Window* window) {
        if (window_ == window) window_ = nullptr;
    }
    WindowDevice* older() const { return older_; }

private:
    X11Window* window_;
    platform::Rect area_;
    WindowDevice* older_;
    WindowDevice* newer_ = nullptr;
};

} // namespace

void X11Window::presentOpenDevices() {
    for (WindowDevice* device = newestDevice; device; device = device->older())
        device->presentDamage();
}

std::vector<X11Window*> X11Window::openWindows() {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    std::vector<X11Window*> mine;
    for (X11Window* window : r.windows) {
        if (window->owner_ == std::this_thread::get_id()) mine.push_back(window);
    }
    return mine;
}

bool X11Window::isOpen(const X11Window* window, uint64_t serial) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    for (const X11Window* open : r.windows) {
        if (open == window && open->serial_ == serial) return true;
    }
    return false;
}

X11Window::X11Window(Display* display, platform::WindowEvents* events)
    : display_(display), events_(events), owner_(std::this_thread::get_id()) {
    static std::atomic<uint64_t> made{0};
    serial_ = ++made;
}

std::unique_ptr<X11Window> X11Window::create(void* parent, int32_t width, int32_t height,
                                             platform::WindowEvents* events) {
    // connect: no display or no parent means no window
    if (!parent || width <= 0 || height <= 0) return nullptr;
    Display* display = openConnection();
    if (!display) return nullptr;
    setConnectionLostHandler(&X11Window::connectionBroke);
    std::unique_ptr<X11Window> window(new (std::nothrow) X11Window(display, events));
    if (!window) {
        closeConnection(display);
        return nullptr;
    }
    // build: any failure closes the connection through the destructor
    ::Window parentId = static_cast<::Window>(reinterpret_cast<uintptr_t>(parent));
    if (!window->build(parentId, width, height)) return nullptr;
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.windows.push_back(window.get());
    return window;
}

bool X11Window::build(::Window parent, int32_t width, int32_t height) {
    ErrorTrap trap(display_);
    // parent: it must exist on this server
    XWindowAttributes parentAttributes;
    if (!XGetWindowAttributes(display_, parent, &parentAttributes) || trap.failed()) return false;
    // create: borderless child at (0, 0) in the screen's default visual
    int screen = XScreenNumberOfScreen(parentAttributes.screen);
    visual_ = DefaultVisual(display_, screen);
    depth_ = DefaultDepth(display_, screen);
    XSetWindowAttributes attributes{};
    attributes.background_pixmap = None;
    attributes.border_pixel = 0;
    attributes.colormap = DefaultColormap(display_, screen);
    attributes.event_mask = kEventMask;
    window_ = XCreateWindow(display_, parent, 0, 0, unsigned(width), unsigned(height), 0, depth_,
                            InputOutput, visual_,
                            CWBackPixmap | CWBorderPixel | CWColormap | CWEventMask, &attributes);
    if (trap.failed() || !window_) {
        window_ = 0;
        return false;
    }
    alive_ = true;
    // picture: the pixels the raster engine draws and the image that carries them to the server
    if (!pixels_.resize(width, height, raster::kWindowBackground)) return false;
    surface_ = std::make_unique<Surface>(display_, window_, visual_, depth_, width, height);
    if (!surface_->valid()) return false;
    dnd_ = std::make_unique<DndTarget>(display_, window_, events_);
    // show
    XStoreName(display_, window_, "Window");
    XMapWindow(display_, window_);
    return !trap.failed();
}

X11Window::~X11Window() {
    // a device still open on it (a drag loop's, when the editor closed under it) shows nothing
    for (WindowDevice* device = newestDevice; device; device = device->older())
        device->forgetWindow(this);
    {
        Registry& r = registry();
        std::lock_guard<std::mutex> lock(r.mutex);
        r.windows.erase(std::remove(r.windows.begin(), r.windows.end(), this), r.windows.end());
    }
    if (!connectionLost(display_)) {
        ErrorTrap trap(display_);
        dnd_.reset();
        surface_.reset();
        if (alive_ && window_) XDestroyWindow(display_, window_);
    } else {
        // nothing can be sent any more; only our own memory is freed
        dnd_.reset();
        surface_.reset();
    }
    closeConnection(display_);
}

void X11Window::connectionBroke(Display* display) {
    // the broken connection is read on the thread that uses it, the thread of its window; a
    // copy, as the owner may react to the news by closing windows
    for (X11Window* window : openWindows()) {
        if (window->display_ == display) window->markDead();
    }
}

void X11Window::markDead() {
    // tell the owner once; nothing is asked of the server for this window any more
    if (!alive_) return;
    alive_ = false;
    if (events_) events_->onDestroyed();
}

void X11Window::setSize(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0 || !pixels_.resize(width, height, raster::kWindowBackground))
        return;
    if (!alive_) return;
    ErrorTrap trap(display_);
    surface_.reset();
    XResizeWindow(display_, window_, unsigned(width), unsigned(height));
    surface_ = std::make_unique<Surface>(display_, window_, visual_, depth_, width, height);
    if (trap.failed()) markDead();
}

platform::Point X11Window::screenOrigin() const {
    if (!alive_) return {};
    ErrorTrap trap(display_);
    int x = 0;
    int y = 0;
    ::Window child = 0;
    XTranslateCoordinates(display_, window_, DefaultRootWindow(display_), 0, 0, &x, &y, &child);
    if (trap.failed()) return {};
    return {x, y};
}

std::unique_ptr<platform::Device> X11Window::openDevice() {
    return std::unique_ptr<platform::Device>(new (std::nothrow) WindowDevice(*this, pixels_));
}

bool X11Window::setDropEnabled(bool enabled) {
    if (!alive_ || !dnd_) return false;
    ErrorTrap trap(display_);
    dnd_->announce(enabled);
    return !trap.failed();
}

bool X11Window::sharedMemory() const {
    return surface_ && surface_->shared();
}

void X11Window::present(const platform::Rect& rect) {
    if (!alive_ || !surface_) return;
    ErrorTrap trap(display_);
    surface_->put(pixels_, rect);
    if (trap.failed()) markDead();
}

void X11Window::paint(const platform::Rect& rect) {
    if (!events_) {
        present(rect);
        return;
    }
    WindowDevice device(*this, pixels_, rect);
    events_->onPaint(device, rect);
}

void X11Window::dispatchPendingEvents() {
    for (;;) {
        // read one event; the trap ends before the owner gets it
        XEvent event;
        {
            if (connectionLost(display_)) return;
            ErrorTrap trap(display_);
            if (XPending(display_) <= 0 || connectionLost(display_)) return;
            XNextEvent(display_, &event);
            if (connectionLost(display_)) return;
        }
        // the owner may close the window while it handles the event: then stop at once
        const X11Window* self = this;
        const uint64_t serial = serial_;
        handle(event);
        if (!isOpen(self, serial)) return;
    }
}

bool X11Window::paintOnePending() {
    if (!alive_) return false;
    XEvent event;
    {
        ErrorTrap trap(display_);
        if (!XCheckTypedWindowEvent(display_, window_, Expose, &event)) return false;
    }
    handle(event);
    return true;
}

bool X11Window::replayIfReleased(const XButtonEvent& press) {
    // a press whose release is already waiting was a click the editor has not seen yet
    ReleaseOf wanted{window_, press.button};
    XEvent release;
    {
        ErrorTrap trap(display_);
        if (!XCheckIfEvent(display_, &release, &isReleaseOf, reinterpret_cast<XPointer>(&wanted)))
            return false;
    }
    uint32_t held = uint32_t(release.xbutton.time - press.time);
    if (held > kLongestReplay) held = kLongestReplay;
    if (held < kShortestClick) held = kShortestClick;
    uint32_t bits = buttonBits(press.state) | physicalButtonBit(physicalButtonIndex(press.button));
    replayClick(bits, {press.x_root, press.y_root}, held);
    return true;
}

void X11Window::handle(XEvent& event) {
    switch (event.type) {
    case Expose: {
        const XExposeEvent& e = event.xexpose;
        if (e.window == window_ && alive_) paint({e.x, e.y, e.x + e.width, e.y + e.height});
        break;
    }
    case ButtonPress: {
        // buttons 1..3 are clicks; 4 and up are wheel steps, which the window leaves alone
        const XButtonEvent& e = event.xbutton;
        int32_t button = physicalButtonIndex(e.button);
        if (e.window != window_ || !alive_ || button < 0 || !events_) break;
        bool replaying = replayIfReleased(e);
        events_->onButtonDown({e.x, e.y}, button);
        if (replaying) endReplay();
        break;
    }
    case DestroyNotify:
        if (event.xdestroywindow.window == window_) markDead();
        break;
    default:
        if (dnd_ && alive_) {
            ErrorTrap trap(display_);
            dnd_->handle(event);
        }
        break;
    }
}

} // namespace quorvane::x11
