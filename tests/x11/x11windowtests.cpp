// The X11 window: placement, painting, clicks, input state, the error trap and clean closing.

// before the X11 headers, whose macros (None, Bool) would break it
#include <gtest/gtest.h>

#include "gui/platform/raster/rasteroffscreen.h"
#include "gui/platform/x11/x11errortrap.h"
#include "gui/platform/x11/x11surface.h"
#include "gui/platform/x11/x11window.h"
#include "xvfb.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <malloc.h>
#include <sys/socket.h>
#include <vector>
#include <X11/keysym.h>

namespace quorvane::x11test {

namespace {

using platform::Point;
using platform::Rect;

constexpr int kWidth = 900;
constexpr int kHeight = 202;

// Paints a fixed scene (so the window's picture can be compared with the raster engine's) and
// records what the window reported.
class Recorder : public platform::WindowEvents {
public:
    void onPaint(platform::Device& device, const Rect& rect) override {
        paints.push_back(rect);
        drawScene(device);
    }
    void onButtonDown(Point where, int32_t button) override {
        presses.push_back({where, button});
        if (onPress) onPress();
    }
    bool onDrop(void**, int32_t, int32_t, Point) override { return false; }
    void onDestroyed() override { ++destroyed; }

    static void drawScene(platform::Device& device) {
        device.setBrush(0x3080C0);
        device.fillRect({-1, -1, kWidth, kHeight});
        device.setPen(0x0000FF, platform::PenStyle::kSolid);
        device.frameRect({10, 10, 200, 100});
        device.setPen(0x00FF00, platform::PenStyle::kDotted);
        device.moveTo({0, 150});
        device.lineTo({899, 20});
        device.setTextColour(0xFFFFFF);
        device.drawText("Quorvane 123", {300, 50, 500, 80}, platform::TextAlign::kCenter, false);
    }

    struct Press {
        Point where;
        int32_t button;
    };
    std::vector<Rect> paints;
    std::vector<Press> presses;
    int destroyed = 0;
    std::function<void()> onPress;
};

void* handle(::Window window) {
    return reinterpret_cast<void*>(uintptr_t(window));
}

class X11WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(host.get(), nullptr);
        parent = makeHostWindow(host, 30, 40, kWidth, kHeight);
    }
    void TearDown() override {
        XDestroyWindow(host, parent);
        XSync(host, False);
    }

    std::unique_ptr<platform::Window> open() {
        return platform::createChildWindow(handle(parent), kWidth, kHeight, &events);
    }
    // Reads the window's events until its first paint ran.
    bool firstPaint(platform::Window& window) {
        return waitFor([&] {
            window.dispatchPendingEvents();
            return !events.paints.empty();
        });
    }

    Connection host;
    ::Window parent = 0;
    Recorder events;
};

raster::PixelBuffer expectedScene() {
    auto offscreen = raster::RasterOffscreen::create(kWidth, kHeight);
    Recorder::drawScene(offscreen->device());
    return offscreen->pixels();
}

} // namespace

TEST_F(X11WindowTest, OpensABorderlessMappedChildAtTheOriginOfTheParent) {
    auto window = open();
    ASSERT_NE(window, nullptr);
    auto* x11 = static_cast<x11::X11Window*>(window.get());
    ::Window root = 0, parentOf = 0, *children = nullptr;
    unsigned count = 0;
    XQueryTree(host, x11->id(), &root, &parentOf, &children, &count);
    if (children) XFree(children);
    EXPECT_EQ(parentOf, parent);
    XWindowAttributes a;
    ASSERT_TRUE(XGetWindowAttributes(host, x11->id(), &a));
    EXPECT_EQ(a.x, 0);
    EXPECT_EQ(a.y, 0);
    EXPECT_EQ(a.width, kWidth);
    EXPECT_EQ(a.height, kHeight);
    EXPECT_EQ(a.border_width, 0);
    EXPECT_EQ(a.map_state, IsViewable);
    EXPECT_EQ(window->screenOrigin().x, 30);
    EXPECT_EQ(window->screenOrigin().y, 40);
}

TEST_F(X11WindowTest, NoWindowWithoutParentOrDisplayOrWithABadParent) {
    EXPECT_EQ(platform::createChildWindow(nullptr, kWidth, kHeight, &events), nullptr);
    // an id the server never gave out: the error stays ours and the process lives on
    EXPECT_EQ(platform::createChildWindow(handle(0x7ffffff0), kWidth, kHeight, &events), nullptr);
    ::Window gone = makeHostWindow(host, 0, 0, 10, 10);
    XDestroyWindow(host, gone);
    XSync(host, False);
    EXPECT_EQ(platform::createChildWindow(handle(gone), kWidth, kHeight, &events), nullptr);
    // no server at all
    std::string saved = displayName();
    setenv("DISPLAY", ":999", 1);
    EXPECT_EQ(open(), nullptr);
    setenv("DISPLAY", saved.c_str(), 1);
    EXPECT_NE(open(), nullptr);
}

TEST_F(X11WindowTest, ExposurePaintsItsRectangleAndTheScreenShowsTheRasterPicture) {
    auto window = open();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(firstPaint(*window));
    EXPECT_EQ(events.paints.front().left, 0);
    EXPECT_EQ(events.paints.front().top, 0);
    EXPECT_EQ(events.paints.front().right, kWidth);
    EXPECT_EQ(events.paints.front().bottom, kHeight);
    EXPECT_TRUE(static_cast<x11::X11Window*>(window.get())->sharedMemory());
    raster::PixelBuffer expected = expectedScene();
    EXPECT_TRUE(grab(host, parent, kWidth, kHeight) == expected);
    // a part covered and uncovered again is repainted with its own rectangle
    ::Window cover = makeHostWindow(host, 130, 60, 50, 40);
    XDestroyWindow(host, cover);
    XSync(host, False);
    ASSERT_TRUE(waitFor([&] {
        window->dispatchPendingEvents();
        return events.paints.size() >= 2;
    }));
    const Rect& r = events.paints.back();
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.top, 20);
    EXPECT_EQ(r.right, 150);
    EXPECT_EQ(r.bottom, 60);
    EXPECT_TRUE(grab(host, parent, kWidth, kHeight) == expected);
}

TEST_F(X11WindowTest, DeviceDrawingOutsideAPaintIsShownWhenTheDeviceCloses) {
    auto window = open();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(firstPaint(*window));
    {
        auto device = window->openDevice();
        device->setBrush(0x0000FF);
        device->fillRect({499, 99, 511, 111});
    }
    raster::PixelBuffer shown = grab(host, parent, kWidth, kHeight);
    EXPECT_EQ(shown.at(500, 100), raster::rgb(255, 0, 0));
    EXPECT_EQ(shown.at(510, 110), raster::rgb(255, 0, 0));
    EXPECT_EQ(shown.at(511, 110), expectedScene().at(511, 110));
}

TEST_F(X11WindowTest, DeviceDrawingIsShownAtTheNextInputQueryOrWaitWhileTheDeviceIsOpen) {
    auto window = open();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(firstPaint(*window));
    const std::function<void()> queries[] = {
        [] { platform::physicalButtons(); },
        [] { platform::pointerScreenPosition(); },
        [] { platform::sleepMilliseconds(1); },
        [] { platform::runOnePendingRepaint(); },
    };
    auto device = window->openDevice();
    device->setBrush(0x00FF00);
    int x = 100;
    for (const auto& query : queries) {
        device->fillRect({x - 1, 99, x + 11, 111});
        EXPECT_EQ(grab(host, parent, kWidth, kHeight).at(x, 100), expectedScene().at(x, 100));
        query();
        raster::PixelBuffer shown = grab(host, parent, kWidth, kHeight);
        EXPECT_EQ(shown.at(x, 100), raster::rgb(0, 255, 0)) << "query " << (x - 100) / 20;
        EXPECT_EQ(shown.at(x + 10, 110), raster::rgb(0, 255, 0)) << "query " << (x - 100) / 20;
        x += 20;
    }
    // a device left open when its window goes shows nothing more and touches nothing
    device->fillRect({0, 0, 50, 50});
    window.reset();
    platform::physicalButtons();
    device.reset();
}

TEST_F(X11WindowTest, OnePendingRepaintRunsPerCall) {
    auto window = open();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(waitFor([] { return platform::runOnePendingRepaint(); }));
    EXPECT_EQ(events.paints.size(), 1u);
    EXPECT_FALSE(platform::runOnePendingRepaint());
    ::Window cover1 = makeHostWindow(host, 40, 50, 10, 10);
    ::Window cover2 = makeHostWindow(host, 300, 50, 10, 10);
    XDestroyWindow(host, cover1);
    XDestroyWindow(host, cover2);
    XSync(host, False);
    ASSERT_TRUE(waitFor([] { return platform::runOnePendingRepaint(); }));
    EXPECT_EQ(events.paints.size(), 2u);
    ASSERT_TRUE(waitFor([] { return platform::runOnePendingRepaint(); }));
    EXPECT_EQ(events.paints.size(), 3u);
    EXPECT_FALSE(platform::runOnePendingRepaint());
}

TEST_F(X11WindowTest, ButtonPressesReachTheOwnerWithWindowCoordinates) {
    auto window = open();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(firstPaint(*window));
    const unsigned buttons[] = {1, 2, 3, 4};
    for (unsigned b : buttons) {
        movePointer(host, 30 + 100 + int(b), 40 + 50);
        pressButton(host, b, true);
        pressButton(host, b, false);
    }
    ASSERT_TRUE(waitFor([&] {
        window->dispatchPendingEvents();
        return events.presses.size() >= 3;
    }));
    // the wheel step (button 4) is not a click
    window->dispatchPendingEvents();
    ASSERT_EQ(events.presses.size(), 3u);
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(events.presses[size_t(i)].button, i);
        EXPECT_EQ(events.presses[size_t(i)].where.x, 101 + i);
        EXPECT_EQ(events.presses[size_t(i)].where.y, 50);
    }
}

TEST_F(X11WindowTest, AClickOverBeforeItIsHandledIsPlayedBackToTheHandler) {
    auto window = open();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(firstPaint(*window));
    // a Ctrl-tap at (200, 100) in the window, and the pointer gone elsewhere since
    movePointer(host, 30 + 200, 40 + 100);
    pressKey(host, XK_Control_L, true);
    pressButton(host, 1, true);
    pressButton(host, 1, false);
    pressKey(host, XK_Control_L, false);
    movePointer(host, 700, 600);
    std::vector<uint32_t> seen;
    Point at;
    events.onPress = [&] {
        seen.push_back(platform::physicalButtons());
        seen.push_back(platform::physicalButtons());
        at = platform::pointerScreenPosition();
        // held at least long enough for a drag loop to see it, then the live state
        platform::sleepMilliseconds(300);
        seen.push_back(platform::physicalButtons());
    };
    ASSERT_TRUE(waitFor([&] {
        window->dispatchPendingEvents();
        return !events.presses.empty();
    }));
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0], 1u | 16u);
    EXPECT_EQ(seen[1], 1u | 16u);
    EXPECT_EQ(seen[2], 0u);
    EXPECT_EQ(at.x, 230);
    EXPECT_EQ(at.y, 140);
    EXPECT_EQ(platform::pointerScreenPosition().x, 700);
}

TEST_F(X11WindowTest, TheOwnerMayCloseTheWindowWhileItHandlesAClick) {
    auto window = open();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(firstPaint(*window));
    movePointer(host, 30 + 10, 40 + 10);
    for (int i = 0; i < 2; i++) {
        pressButton(host, 1, true);
        pressButton(host, 1, false);
    }
    events.onPress = [&] { window.reset(); };
    platform::Window* raw = window.get();
    ASSERT_TRUE(waitFor([&] {
        raw->dispatchPendingEvents();
        return !events.presses.empty();
    }));
    EXPECT_EQ(window, nullptr);
    EXPECT_EQ(events.presses.size(), 1u);
    EXPECT_TRUE(x11::X11Window::openWindows().empty());
}

TEST_F(X11WindowTest, AButtonStillHeldIsReadLive) {
    auto window = open();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(firstPaint(*window));
    movePointer(host, 30 + 10, 40 + 10);
    pressButton(host, 1, true);
    uint32_t during = 99;
    events.onPress = [&] {
        pressButton(host, 1, false);
        during = platform::physicalButtons();
    };
    ASSERT_TRUE(waitFor([&] {
        window->dispatchPendingEvents();
        return !events.presses.empty();
    }));
    EXPECT_EQ(during, 0u);
}

TEST_F(X11WindowTest, InputStateIsThePhysicalButtonsModifiersAndPointer) {
    auto window = open();
    ASSERT_NE(window, nullptr);
    movePointer(host, 123, 77);
    EXPECT_EQ(platform::pointerScreenPosition().x, 123);
    EXPECT_EQ(platform::pointerScreenPosition().y, 77);
    EXPECT_EQ(platform::physicalButtons(), 0u);
    pressButton(host, 1, true);
    pressKey(host, XK_Shift_L, true);
    pressKey(host, XK_Control_L, true);
    pressKey(host, XK_Alt_L, true);
    EXPECT_EQ(platform::physicalButtons(), 1u | 8u | 16u | 32u);
    pressKey(host, XK_Alt_L, false);
    pressKey(host, XK_Control_L, false);
    pressKey(host, XK_Shift_L, false);
    pressButton(host, 1, false);
    pressButton(host, 3, true);
    pressButton(host, 2, true);
    EXPECT_EQ(platform::physicalButtons(), 2u | 4u);
    pressButton(host, 2, false);
    pressButton(host, 3, false);
    EXPECT_EQ(platform::physicalButtons(), 0u);
}

TEST_F(X11WindowTest, SwappedButtonsAreReadFromThePointerMapping) {
    EXPECT_FALSE(platform::buttonsSwapped());
    unsigned char normal[32];
    int buttons = XGetPointerMapping(host, normal, 32);
    ASSERT_GE(buttons, 3);
    unsigned char swapped[32];
    std::copy(normal, normal + 32, swapped);
    std::swap(swapped[0], swapped[2]);
    ASSERT_EQ(XSetPointerMapping(host, swapped, buttons), MappingSuccess);
    XSync(host, False);
    EXPECT_TRUE(platform::buttonsSwapped());
    // the physical left button still reads as left; the toolkit does the swapping
    pressButton(host, 1, true);
    EXPECT_EQ(platform::physicalButtons(), 1u);
    pressButton(host, 1, false);
    ASSERT_EQ(XSetPointerMapping(host, normal, buttons), MappingSuccess);
    XSync(host, False);
    EXPECT_FALSE(platform::buttonsSwapped());
}

TEST_F(X11WindowTest, DestroyedParentEndsTheWindowWithoutErrorsReachingTheHost) {
    static int hostErrors = 0;
    hostErrors = 0;
    XErrorHandler previous = XSetErrorHandler([](Display*, XErrorEvent*) {
        ++hostErrors;
        return 0;
    });
    auto window = open();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(firstPaint(*window));
    XDestroyWindow(host, parent);
    XSync(host, False);
    // drawing before the news arrives fails on the server; the window notices and goes quiet
    {
        auto device = window->openDevice();
        device->fillRect({0, 0, 10, 10});
    }
    window->dispatchPendingEvents();
    EXPECT_EQ(events.destroyed, 1);
    EXPECT_FALSE(static_cast<x11::X11Window*>(window.get())->alive());
    window->screenOrigin();
    window->setDropEnabled(true);
    window.reset();
    EXPECT_EQ(hostErrors, 0);
    XSetErrorHandler(previous);
    parent = makeHostWindow(host, 0, 0, 10, 10);
}

TEST(X11Surface, SharedAndPlainImagesShowTheSamePixels) {
    Connection host;
    ::Window window = makeHostWindow(host, 0, 0, 64, 32);
    raster::PixelBuffer pixels(64, 32);
    for (int y = 0; y < 32; y++)
        for (int x = 0; x < 64; x++)
            pixels.set(x, y, raster::rgb(uint32_t(x * 4), uint32_t(y * 8), uint32_t(x ^ y)));
    for (bool shared : {true, false}) {
        x11::Surface surface(host, window, DefaultVisual(host.get(), DefaultScreen(host.get())),
                             DefaultDepth(host.get(), DefaultScreen(host.get())), 64, 32, shared);
        ASSERT_TRUE(surface.valid());
        EXPECT_EQ(surface.shared(), shared);
        XClearWindow(host, window);
        surface.put(pixels, {-5, -5, 100, 100});
        XSync(host, False);
        EXPECT_TRUE(grab(host, window, 64, 32) == pixels) << (shared ? "shared" : "plain");
        // a part only: the rest keeps what the window had
        XClearWindow(host, window);
        surface.put(pixels, {10, 4, 20, 8});
        XSync(host, False);
        raster::PixelBuffer shown = grab(host, window, 64, 32);
        EXPECT_EQ(shown.at(10, 4), pixels.at(10, 4));
        EXPECT_EQ(shown.at(19, 7), pixels.at(19, 7));
        EXPECT_EQ(shown.at(20, 7), 0u);
        EXPECT_EQ(shown.at(9, 4), 0u);
    }
    XDestroyWindow(host, window);
}

TEST_F(X11WindowTest, ALostServerConnectionEndsTheWindowNotTheProcess) {
    auto window = open();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(firstPaint(*window));
    auto* x11 = static_cast<x11::X11Window*>(window.get());
    shutdown(ConnectionNumber(x11->display()), SHUT_RDWR);
    window->dispatchPendingEvents();
    EXPECT_EQ(events.destroyed, 1);
    EXPECT_FALSE(x11->alive());
    // everything after that is quietly nothing
    window->dispatchPendingEvents();
    { window->openDevice()->fillRect({0, 0, 5, 5}); }
    EXPECT_FALSE(platform::runOnePendingRepaint());
    EXPECT_EQ(platform::physicalButtons(), 0u);
    window.reset();
    // and a new window opens as before
    EXPECT_NE(open(), nullptr);
}

TEST(X11ErrorTrap, CatchesErrorsOfItsConnectionAndPassesOthersOn) {
    static int hostErrors = 0;
    hostErrors = 0;
    XErrorHandler hostHandler = [](Display*, XErrorEvent*) {
        ++hostErrors;
        return 0;
    };
    XErrorHandler previous = XSetErrorHandler(hostHandler);
    XIOErrorHandler hostIOHandler = [](Display*) { return 0; };
    XIOErrorHandler previousIO = XSetIOErrorHandler(hostIOHandler);
    Connection ours;
    Connection theirs;
    {
        x11::ErrorTrap trap(ours);
        XMapWindow(ours, 0x7ffffff0);
        XMapWindow(theirs, 0x7ffffff0);
        XSync(theirs, False);
        EXPECT_EQ(hostErrors, 1);
        EXPECT_TRUE(trap.failed());
        EXPECT_EQ(trap.errorCode(), BadWindow);
    }
    EXPECT_EQ(hostErrors, 1);
    // the host's handlers are back in place
    EXPECT_EQ(XSetErrorHandler(previous), hostHandler);
    EXPECT_EQ(XSetIOErrorHandler(previousIO), hostIOHandler);
}

TEST_F(X11WindowTest, OpeningAndClosingLeavesNothingBehind) {
    // warm up: fonts, extension data and the first connection's caches
    open().reset();
    int descriptors = openDescriptors();
    size_t heap = mallinfo2().uordblks;
    for (int i = 0; i < 200; i++) {
        auto window = open();
        ASSERT_NE(window, nullptr);
        window->setDropEnabled(true);
        window->dispatchPendingEvents();
    }
    EXPECT_EQ(openDescriptors(), descriptors);
    EXPECT_LT(mallinfo2().uordblks, heap + 64 * 1024);
    EXPECT_TRUE(x11::X11Window::openWindows().empty());
    ::Window root = 0, parentOf = 0, *children = nullptr;
    unsigned count = 0;
    XQueryTree(host, parent, &root, &parentOf, &children, &count);
    if (children) XFree(children);
    EXPECT_EQ(count, 0u);
}

} // namespace quorvane::x11test
