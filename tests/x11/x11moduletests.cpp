// The built module in a test host window: the editor opened through the dispatcher, played with
// real pointer input, compared with the headless picture, and opened and closed many times.

// before the X11 headers, whose macros (None, Bool) would break it
#include <gtest/gtest.h>

#include "gui/aeffguieditor.h"
#include "gui/platform/headless/headless.h"
#include "gui/platform/headless/headlesswindow.h"
#include "headlesspanel.h"
#include "module/adelayedit.h"
#include "testhost.h"
#include "xvfb.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <malloc.h>
#include <string>
#include <thread>
#include <X11/keysym.h>

namespace quorvane::x11test {

namespace {

constexpr int kWidth = 900;
constexpr int kHeight = 202;
constexpr int kLeft = 30; // where the host window sits on the screen
constexpr int kTop = 40;

// The panel as the headless back end paints it for an effect whose parameter 0 is delay and
// whose other parameters are set as given.
raster::PixelBuffer headlessPanel(float delay,
                                  std::initializer_list<std::pair<int32_t, float>> others = {}) {
    TestHost host;
    std::vector<std::pair<int32_t, float>> parameters{{0, delay}};
    parameters.insert(parameters.end(), others.begin(), others.end());
    return headlessPanelOf(TestHost::callback, parameters);
}

// Empty when a equals b, otherwise the box around the pixels that differ.
std::string mismatch(const raster::PixelBuffer& a, const raster::PixelBuffer& b) {
    if (a.width() != b.width() || a.height() != b.height()) return "sizes differ";
    int left = a.width(), top = a.height(), right = -1, bottom = -1;
    for (int y = 0; y < a.height(); y++) {
        for (int x = 0; x < a.width(); x++) {
            if (a.at(x, y) == b.at(x, y)) continue;
            left = std::min(left, x);
            top = std::min(top, y);
            right = std::max(right, x);
            bottom = std::max(bottom, y);
        }
    }
    if (right < 0) return "";
    return "pixels differ in " + std::to_string(left) + "," + std::to_string(top) + " .. " +
           std::to_string(right) + "," + std::to_string(bottom);
}

void* handle(::Window window) {
    return reinterpret_cast<void*>(uintptr_t(window));
}

unsigned childCount(Display* display, ::Window window) {
    ::Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    XQueryTree(display, window, &root, &parent, &children, &count);
    if (children) XFree(children);
    return count;
}

class X11EditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(Module::get().handle(), nullptr) << dlerror();
        parent = makeHostWindow(server, kLeft, kTop, kWidth, kHeight);
        effect = Module::get().create(host);
        ASSERT_NE(effect, nullptr);
    }
    void TearDown() override {
        if (effect) dispatch(effect, effClose);
        XDestroyWindow(server, parent);
        XSync(server, False);
    }

    // Opens the editor and idles it until its first paint is on the screen.
    void openEditor() {
        ASSERT_EQ(dispatch(effect, effEditOpen, 0, 0, handle(parent)), 1);
        ASSERT_EQ(childCount(server, parent), 1u);
        idleFor(std::chrono::milliseconds(150));
    }
    void idleFor(std::chrono::milliseconds time) {
        auto end = std::chrono::steady_clock::now() + time;
        while (std::chrono::steady_clock::now() < end) {
            dispatch(effect, effEditIdle);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    // Runs script on a connection of its own (a user at the mouse) while the host keeps idling
    // the editor, as a host's event loop would; the editor's drag loops run inside those idles.
    void gesture(const std::function<void(Display*)>& script) {
        std::thread user([&] {
            Connection own;
            script(own);
        });
        while (!finished.load()) {
            dispatch(effect, effEditIdle);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        user.join();
        idleFor(std::chrono::milliseconds(120));
    }
    void click(int x, int y, bool control = false) {
        finished = false;
        gesture([&](Display* d) {
            movePointer(d, kLeft + x, kTop + y);
            if (control) pressKey(d, XK_Control_L, true);
            pressButton(d, 1, true);
            std::this_thread::sleep_for(std::chrono::milliseconds(80));
            pressButton(d, 1, false);
            if (control) pressKey(d, XK_Control_L, false);
            finished = true;
        });
    }
    std::vector<HostRequest> editRequests() const {
        std::vector<HostRequest> edits;
        for (const HostRequest& r : host.requests) {
            if (r.opcode == audioMasterBeginEdit || r.opcode == audioMasterEndEdit ||
                r.opcode == audioMasterAutomate)
                edits.push_back(r);
        }
        return edits;
    }
    raster::PixelBuffer screen() { return grab(server, parent, kWidth, kHeight); }

    static inline std::atomic<bool> finished{false};
    Connection server;
    ::Window parent = 0;
    TestHost host;
    AEffect* effect = nullptr;
};

} // namespace

TEST_F(X11EditorTest, ThePanelOnScreenIsTheHeadlessPicture) {
    openEditor();
    EXPECT_EQ(mismatch(screen(), headlessPanel(effect->getParameter(effect, 0))), "");
    dispatch(effect, effEditClose);
    EXPECT_EQ(childCount(server, parent), 0u);
}

TEST_F(X11EditorTest, DraggingTheSliderUpAutomatesRisingValuesInsideAnEditBracket) {
    openEditor();
    raster::PixelBuffer before = screen();
    host.requests.clear();
    finished = false;
    gesture([&](Display* d) {
        // grab low on the track, then move up in steps
        dragUp(d, kLeft + 831, kTop + 168, kTop + 120);
        finished = true;
    });
    std::vector<HostRequest> edits = editRequests();
    ASSERT_GE(edits.size(), 4u);
    EXPECT_EQ(edits.front().opcode, audioMasterBeginEdit);
    EXPECT_EQ(edits.front().index, 0);
    EXPECT_EQ(edits.back().opcode, audioMasterEndEdit);
    EXPECT_EQ(edits.back().index, 0);
    float last = -1.0f;
    for (size_t i = 1; i + 1 < edits.size(); i++) {
        EXPECT_EQ(edits[i].opcode, audioMasterAutomate);
        EXPECT_EQ(edits[i].index, 0);
        EXPECT_GE(edits[i].opt, last);
        last = edits[i].opt;
    }
    EXPECT_GT(last, edits[1].opt);
    EXPECT_FLOAT_EQ(effect->getParameter(effect, 0), last);
    // the handle (and the display) show the value exactly as the layout places them
    raster::PixelBuffer after = screen();
    EXPECT_FALSE(after == before);
    EXPECT_EQ(mismatch(after, headlessPanel(last)), "");
}

TEST_F(X11EditorTest, WhatAPressDrawsIsOnScreenWhileTheButtonIsStillDown) {
    openEditor();
    // where a click at the slider's y = 120 puts it, shown as the headless panel shows it
    click(831, 120);
    const float value = effect->getParameter(effect, 0);
    effect->setParameter(effect, 0, 0.05f);
    effect->setParameter(effect, 5, 0.0f);
    idleFor(std::chrono::milliseconds(60));
    struct Press {
        int x, y, yTo;
        raster::PixelBuffer expected;
    };
    const Press presses[] = {
        // grabbed low on the track and moved up: the handle follows the pointer
        {831, 168, 120, headlessPanel(value)},
        // the mode switch's lower lamp, held: lit while the button is down
        {98, 77, 77, headlessPanel(value, {{5, 1.0f}})},
    };
    for (const Press& p : presses) {
        bool shownWhileHeld = false;
        finished = false;
        gesture([&](Display* d) {
            movePointer(d, kLeft + p.x, kTop + p.y);
            pressButton(d, 1, true);
            movePointer(d, kLeft + p.x, kTop + p.yTo);
            shownWhileHeld =
                waitFor([&] { return grab(d, parent, kWidth, kHeight) == p.expected; });
            pressButton(d, 1, false);
            finished = true;
        });
        EXPECT_TRUE(shownWhileHeld)
            << "press at " << p.x << "," << p.y << ": " << mismatch(screen(), p.expected);
    }
    EXPECT_FLOAT_EQ(effect->getParameter(effect, 0), value);
}

TEST_F(X11EditorTest, CtrlClickRestoresTheDefaultWithoutAnEditBracket) {
    openEditor();
    effect->setParameter(effect, 0, 0.9f);
    idleFor(std::chrono::milliseconds(50));
    host.requests.clear();
    click(831, 150, true);
    EXPECT_FLOAT_EQ(effect->getParameter(effect, 0), 0.5f);
    for (const HostRequest& r : editRequests()) {
        EXPECT_NE(r.opcode, audioMasterBeginEdit);
        EXPECT_NE(r.opcode, audioMasterEndEdit);
    }
    EXPECT_EQ(mismatch(screen(), headlessPanel(0.5f)), "");
}

TEST_F(X11EditorTest, ClicksOnEachSwitchZoneSetItsParameter) {
    openEditor();
    struct Zone {
        int x, y, index;
        float value;
    };
    // each click changes the value, so each one is reported between its brackets
    const Zone zones[] = {{98, 62, 5, 0.5f},  {98, 77, 5, 1.0f},  {98, 47, 5, 0.0f},
                          {98, 144, 6, 0.5f}, {98, 159, 6, 1.0f}, {98, 129, 6, 0.0f},
                          {806, 60, 7, 1.0f}, {806, 47, 7, 0.0f}};
    for (const Zone& z : zones) {
        host.requests.clear();
        click(z.x, z.y);
        EXPECT_FLOAT_EQ(effect->getParameter(effect, z.index), z.value)
            << "click at " << z.x << "," << z.y;
        std::vector<HostRequest> edits = editRequests();
        ASSERT_GE(edits.size(), 3u);
        EXPECT_EQ(edits.front().opcode, audioMasterBeginEdit);
        EXPECT_EQ(edits.front().index, z.index);
        EXPECT_EQ(edits[1].opcode, audioMasterAutomate);
        EXPECT_FLOAT_EQ(edits[1].opt, z.value);
        EXPECT_EQ(edits.back().opcode, audioMasterEndEdit);
    }
    EXPECT_EQ(mismatch(screen(), headlessPanel(effect->getParameter(effect, 0))), "");
}

TEST_F(X11EditorTest, QuickTapsAreNotLostBetweenIdles) {
    openEditor();
    // taps shorter than the time between two idles, the way a touchpad sends them
    const int zones[][3] = {{98, 77, 5}, {98, 159, 6}, {806, 60, 7}};
    for (const auto& z : zones) {
        movePointer(server, kLeft + z[0], kTop + z[1]);
        pressButton(server, 1, true);
        pressButton(server, 1, false);
        idleFor(std::chrono::milliseconds(80));
        EXPECT_FLOAT_EQ(effect->getParameter(effect, z[2]), 1.0f) << "tap on " << z[2];
    }
    // a tap on the slider's track sets the value under it, inside its edit bracket
    host.requests.clear();
    movePointer(server, kLeft + 831, kTop + 110);
    pressButton(server, 1, true);
    pressButton(server, 1, false);
    idleFor(std::chrono::milliseconds(150));
    std::vector<HostRequest> edits = editRequests();
    ASSERT_GE(edits.size(), 3u);
    EXPECT_EQ(edits.front().opcode, audioMasterBeginEdit);
    EXPECT_EQ(edits.back().opcode, audioMasterEndEdit);
    EXPECT_GT(effect->getParameter(effect, 0), 0.9f);
}

TEST_F(X11EditorTest, ArrowKeysFromTheHostMoveTheSlider) {
    openEditor();
    effect->setParameter(effect, 0, 0.5f);
    host.requests.clear();
    EXPECT_EQ(dispatch(effect, effEditKeyDown, 0, VKEY_UP), 1);
    EXPECT_FLOAT_EQ(effect->getParameter(effect, 0), 0.6f);
    EXPECT_EQ(dispatch(effect, effEditKeyDown, 0, VKEY_DOWN, nullptr, 1.0f), 1);
    EXPECT_FLOAT_EQ(effect->getParameter(effect, 0), 0.59f);
    idleFor(std::chrono::milliseconds(50));
    EXPECT_EQ(mismatch(screen(), headlessPanel(effect->getParameter(effect, 0))), "");
}

TEST_F(X11EditorTest, OpeningAndClosingTwoHundredTimesLeavesNothingBehind) {
    openEditor();
    dispatch(effect, effEditClose);
    int descriptors = openDescriptors();
    size_t heap = mallinfo2().uordblks;
    for (int i = 0; i < 200; i++) {
        ASSERT_EQ(dispatch(effect, effEditOpen, 0, 0, handle(parent)), 1);
        dispatch(effect, effEditIdle);
        dispatch(effect, effEditClose);
    }
    EXPECT_EQ(openDescriptors(), descriptors);
    EXPECT_LT(mallinfo2().uordblks, heap + 128 * 1024);
    EXPECT_EQ(childCount(server, parent), 0u);
}

TEST_F(X11EditorTest, AParentDestroyedUnderTheOpenEditorEndsItQuietly) {
    static int hostErrors = 0;
    hostErrors = 0;
    XErrorHandler previous = XSetErrorHandler([](Display*, XErrorEvent*) {
        ++hostErrors;
        return 0;
    });
    openEditor();
    XDestroyWindow(server, parent);
    XSync(server, False);
    effect->setParameter(effect, 0, 0.1f);
    idleFor(std::chrono::milliseconds(50));
    dispatch(effect, effEditClose);
    EXPECT_EQ(hostErrors, 0);
    XSetErrorHandler(previous);
    parent = makeHostWindow(server, kLeft, kTop, kWidth, kHeight);
}

TEST_F(X11EditorTest, ClosingTheEffectWithTheEditorOpenTakesTheWindowAway) {
    openEditor();
    dispatch(effect, effClose);
    effect = nullptr;
    EXPECT_EQ(childCount(server, parent), 0u);
}

TEST_F(X11EditorTest, OpenWithoutDisplayOrWithABadParentAnswersZero) {
    EXPECT_EQ(dispatch(effect, effEditOpen, 0, 0, handle(0x7ffffff0)), 0);
    EXPECT_EQ(dispatch(effect, effEditKeyDown, 0, VKEY_UP), -1);
    dispatch(effect, effEditIdle);
    std::string saved = displayName();
    setenv("DISPLAY", ":999", 1);
    EXPECT_EQ(dispatch(effect, effEditOpen, 0, 0, handle(parent)), 0);
    setenv("DISPLAY", saved.c_str(), 1);
    dispatch(effect, effEditClose);
    // and the editor still opens once things are right
    openEditor();
}

} // namespace quorvane::x11test
