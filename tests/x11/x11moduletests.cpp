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

using namespace paneltest;

// The panel as the headless back end paints it for an effect whose parameter 0 is delay and
// whose other parameters are set as given.
raster::PixelBuffer headlessPanel(float delay,
                                  std::initializer_list<std::pair<int32_t, float>> others = {}) {
    std::vector<std::pair<int32_t, float>> parameters{{0, delay}};
    parameters.insert(parameters.end(), others.begin(), others.end());
    return headlessPanelOf(parameters);
}

void* handle(::Window window) {
    return reinterpret_cast<void*>(uintptr_t(window));
}

class X11EditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(Module::get().handle(), nullptr) << dlerror();
        parent = makeHostWindow(server, kHostLeft, kHostTop, kPanelWidth, kPanelHeight);
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
    // Plays g on a connection of its own (a user at the mouse) while the host keeps idling the
    // editor, as a host's event loop would; the editor's drag loops run inside those idles.
    // held runs on the user's connection while the button is held.
    void play(const Gesture& g, const std::function<void(Display*)>& held = {}) {
        std::atomic<bool> finished = false;
        std::thread user([&] {
            Connection own;
            XTestHand hand(own);
            paneltest::play(hand, g, [&] {
                if (held) held(own);
            });
            finished = true;
        });
        while (!finished.load()) {
            dispatch(effect, effEditIdle);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        user.join();
        idleFor(std::chrono::milliseconds(120));
    }
    // Plays g and checks what the host heard and the value it left.
    void playAndCheck(const Gesture& g) {
        host.requests.clear();
        play(g);
        expectHeard(g, editsAmong(host.requests), effect->getParameter(effect, g.index));
    }
    raster::PixelBuffer screen() { return grab(server, parent, kPanelWidth, kPanelHeight); }

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
    playAndCheck(kSliderDrag);
    // the handle (and the display) show the value exactly as the layout places them
    raster::PixelBuffer after = screen();
    EXPECT_FALSE(after == before);
    EXPECT_EQ(mismatch(after, headlessPanel(effect->getParameter(effect, 0))), "");
}

TEST_F(X11EditorTest, WhatAPressDrawsIsOnScreenWhileTheButtonIsStillDown) {
    openEditor();
    // where the slider's press puts it, shown as the headless panel shows it
    playAndCheck(kSliderPress);
    const float value = effect->getParameter(effect, 0);
    effect->setParameter(effect, 0, 0.05f);
    effect->setParameter(effect, 5, 0.0f);
    idleFor(std::chrono::milliseconds(60));
    struct Press {
        const Gesture& gesture;
        raster::PixelBuffer expected;
    };
    const Press presses[] = {
        // grabbed low on the track and moved up: the handle follows the pointer
        {kSliderPress, headlessPanel(value)},
        // the mode switch's lower lamp, held: lit while the button is down
        {kModeLowerLamp, headlessPanel(value, {{5, 1.0f}})},
    };
    for (const Press& p : presses) {
        bool shownWhileHeld = false;
        play(p.gesture, [&](Display* d) {
            shownWhileHeld =
                waitFor([&] { return grab(d, parent, kPanelWidth, kPanelHeight) == p.expected; });
        });
        EXPECT_TRUE(shownWhileHeld) << p.gesture.name << ": " << mismatch(screen(), p.expected);
    }
    EXPECT_EQ(effect->getParameter(effect, 0), value);
}

TEST_F(X11EditorTest, CtrlClickRestoresTheDefaultWithoutAnEditBracket) {
    openEditor();
    effect->setParameter(effect, 0, 0.9f);
    idleFor(std::chrono::milliseconds(50));
    playAndCheck(kSliderCtrlClick);
    EXPECT_EQ(mismatch(screen(), headlessPanel(0.5f)), "");
}

TEST_F(X11EditorTest, ClicksOnEachSwitchZoneSetItsParameter) {
    openEditor();
    for (const Gesture& g : kSwitchZones)
        playAndCheck(g);
    EXPECT_EQ(mismatch(screen(), headlessPanel(effect->getParameter(effect, 0))), "");
}

TEST_F(X11EditorTest, QuickTapsAreNotLostBetweenIdles) {
    openEditor();
    // taps shorter than the time between two idles, the way a touchpad sends them; the one on
    // the slider's track sets the value under it
    for (const Gesture& g : {kModeLowerLamp, kSwitchZones[4], kSwitchZones[6], kSliderTrackClick}) {
        host.requests.clear();
        XTestHand hand(server);
        paneltest::play(hand, quick(g));
        idleFor(std::chrono::milliseconds(150));
        expectHeard(g, editsAmong(host.requests), effect->getParameter(effect, g.index));
    }
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
    parent = makeHostWindow(server, kHostLeft, kHostTop, kPanelWidth, kPanelHeight);
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
