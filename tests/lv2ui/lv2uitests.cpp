// The LV2 UI as an LV2 host uses it: the built quorvane_ui.so loaded with dlopen, its panel
// opened in a plain parent window on a private X server, idled through the idle interface,
// played with real pointer input and compared with the headless picture.

// before the X11 headers, whose macros (None, Bool) would break it
#include <gtest/gtest.h>

#include "../x11/headlesspanel.h"
#include "lv2uihost.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace quorvane::x11test {

namespace {

intptr_t VSTCALLBACK referenceHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

// The panel as the headless back end paints it with parameters set in this order.
raster::PixelBuffer headless(const std::vector<std::pair<int32_t, float>>& parameters = {}) {
    return headlessPanelOf(referenceHost, parameters);
}

// The same panel when the parameters change, one idle after another, once it is on the screen:
// the meters take no reading when the editor opens, only the ones that come afterwards.
raster::PixelBuffer headlessAfterOpen(const std::vector<std::pair<int32_t, float>>& parameters) {
    headless::reset();
    ADelayEdit effect(referenceHost);
    static int parent = 0;
    auto* editor = static_cast<AEffGUIEditor*>(effect.getEditorPointer());
    editor->open(&parent);
    editor->idle();
    headless::lastWindow()->paint({0, 0, 900, 202});
    for (const auto& [index, value] : parameters) {
        effect.setParameter(index, value);
        editor->idle();
    }
    raster::PixelBuffer pixels = headless::lastWindow()->pixels();
    editor->close();
    return pixels;
}

class Lv2UiTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(descriptorAt(0), nullptr) << dlerror(); }

    // Drags the delay handle up from low on its track.
    static void dragDelayUp(UiHost& host) {
        host.gesture([](Display* d) {
            XTestHand hand(d, kLeft, kTop);
            paneltest::play(hand, paneltest::kSliderDrag);
        });
    }

    Connection server;
};

} // namespace

TEST_F(Lv2UiTest, TheLibraryDescribesOneUiWithAnIdleInterface) {
    const LV2UI_Descriptor* d = descriptorAt(0);
    EXPECT_STREQ(d->URI, kUiUri);
    EXPECT_EQ(descriptorAt(1), nullptr);
    EXPECT_NE(d->extension_data(LV2_UI__idleInterface), nullptr);
    EXPECT_EQ(d->extension_data(LV2_UI__showInterface), nullptr);
    EXPECT_EQ(d->extension_data("urn:nothing"), nullptr);
    // and the library exports nothing else
    std::string names;
    FILE* pipe = popen("nm -D --defined-only " QUORVANE_LV2_UI, "r");
    ASSERT_NE(pipe, nullptr);
    char line[512], address[64], type[8], name[400];
    while (std::fgets(line, sizeof(line), pipe)) {
        if (std::sscanf(line, "%63s %7s %399s", address, type, name) == 3)
            names += name + std::string(" ");
    }
    EXPECT_EQ(pclose(pipe), 0);
    EXPECT_EQ(names, "lv2ui_descriptor ");
}

TEST_F(Lv2UiTest, InstantiationNeedsOurPluginAndAWindowToOpenIn) {
    UiHost host(server);
    EXPECT_FALSE(host.instantiate("urn:another:plugin"));
    // without a parent the panel is a window of its own on the screen
    host.offerParent = false;
    ASSERT_TRUE(host.instantiate());
    const std::vector<::Window> topLevel = childrenOf(server, DefaultRootWindow(server.get()));
    EXPECT_NE(std::find(topLevel.begin(), topLevel.end(), ::Window(uintptr_t(host.widget))),
              topLevel.end());
    host.end();
    EXPECT_EQ(childrenOf(server, DefaultRootWindow(server.get())).size(), topLevel.size() - 1);
    host.requests.clear();
    host.offerParent = true;
    const ::Window goodParent = host.parent;
    host.parent = 0x7ffffff0; // no window
    EXPECT_FALSE(host.instantiate());
    host.parent = goodParent;
    EXPECT_TRUE(host.requests.empty());
    EXPECT_TRUE(childrenOf(server, host.parent).empty());
    ASSERT_TRUE(host.instantiate());
}

TEST_F(Lv2UiTest, AnySampleRateAmongTheHostsOptionsGivesTheSamePanel) {
    // the UI's effect only draws, so a rate that is no rate is as good as none
    for (float rate : {22050.0f, 96000.0f, 0.0f, -1.0f, 1.0e30f, std::nanf("")}) {
        SCOPED_TRACE(rate);
        UiHost host(server);
        host.offerSampleRate = true;
        host.sampleRate = rate;
        ASSERT_TRUE(host.instantiate());
        host.idleFor(std::chrono::milliseconds(100));
        EXPECT_EQ(mismatch(host.screen(), headless()), "");
    }
}

TEST_F(Lv2UiTest, ThePanelIsTheHeadlessPictureInAWidgetOfItsAnnouncedSize) {
    UiHost host(server);
    ASSERT_TRUE(host.instantiate());
    // the widget is the panel's own window, the one child of the host's
    const std::vector<::Window> children = childrenOf(server, host.parent);
    ASSERT_EQ(children.size(), 1u);
    EXPECT_EQ(uintptr_t(host.widget), uintptr_t(children[0]));
    XWindowAttributes attributes{};
    ASSERT_TRUE(XGetWindowAttributes(server, children[0], &attributes));
    EXPECT_EQ(attributes.width, kWidth);
    EXPECT_EQ(attributes.height, kHeight);
    ASSERT_EQ(host.requests.size(), 1u);
    EXPECT_EQ(host.requests[0].kind, 'r');
    EXPECT_EQ(host.requests[0].width, kWidth);
    EXPECT_EQ(host.requests[0].height, kHeight);

    host.idleFor(std::chrono::milliseconds(150));
    EXPECT_EQ(mismatch(host.screen(), headless()), "");
    host.end();
    EXPECT_TRUE(childrenOf(server, host.parent).empty());
}

TEST_F(Lv2UiTest, ADragOnTheDelaySliderWritesItsPortInsideATouchGesture) {
    struct Case {
        const char* name;
        bool touch;
        bool echo;
    };
    const Case cases[] = {{"touch offered", true, false},
                          {"no touch", false, false},
                          {"host echoes writes as port events", true, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UiHost host(server);
        host.offerTouch = c.touch;
        host.echoWrites = c.echo;
        ASSERT_TRUE(host.instantiate());
        host.idleFor(std::chrono::milliseconds(150));
        const raster::PixelBuffer before = host.screen();
        host.requests.clear();
        dragDelayUp(host);

        std::vector<Request> writes;
        for (const Request& r : host.requests) {
            if (r.kind == 'w') writes.push_back(r);
        }
        ASSERT_GE(writes.size(), 2u);
        float last = -1.0f;
        for (const Request& w : writes) {
            EXPECT_EQ(w.port, kDelayPort);
            EXPECT_EQ(w.size, sizeof(float));
            EXPECT_EQ(w.protocol, 0u);
            EXPECT_GE(w.value, last);
            last = w.value;
        }
        EXPECT_GT(last, writes.front().value);
        if (c.touch) {
            ASSERT_EQ(host.requests.size(), writes.size() + 2);
            EXPECT_EQ(host.requests.front().kind, 't');
            EXPECT_EQ(host.requests.front().port, kDelayPort);
            EXPECT_EQ(host.requests.front().value, 1.0f);
            EXPECT_EQ(host.requests.back().kind, 't');
            EXPECT_EQ(host.requests.back().port, kDelayPort);
            EXPECT_EQ(host.requests.back().value, 0.0f);
        } else {
            EXPECT_EQ(host.requests.size(), writes.size());
        }
        // the handle and the display show the last value written, as the layout places them
        const raster::PixelBuffer after = host.screen();
        EXPECT_FALSE(after == before);
        EXPECT_EQ(mismatch(after, headless({{0, last}})), "");
    }
}

TEST_F(Lv2UiTest, PortEventsMoveTheControlsAtTheNextIdle) {
    UiHost host(server);
    ASSERT_TRUE(host.instantiate());
    host.idleFor(std::chrono::milliseconds(150));
    host.requests.clear();
    struct Event {
        uint32_t port;
        float value;
        uint32_t size;
        uint32_t protocol;
        std::vector<std::pair<int32_t, float>> shows; // parameters the panel then shows
    };
    const uint32_t kFloat = sizeof(float);
    const Event events[] = {
        {4, 0.25f, kFloat, 0, {{0, 0.25f}}}, // delay: slider and display
        {9, 1.0f, kFloat, 0, {{5, 1.0f}}},   // mode switch
        {10, 0.5f, kFloat, 0, {{6, 0.5f}}},  // response switch
        {11, 1.0f, kFloat, 0, {{7, 1.0f}}},  // RMS mode switch
        {8, 0.7f, kFloat, 0, {{4, 0.7f}}},   // volume: stored, no control
        {13, 0.4f, kFloat, 0, {{1, 0.4f}}},  // RMS meter of channel 0
        {14, 1.3f, kFloat, 0, {{2, 1.3f}}},  // peak meter of channel 1
        {15, 0.2f, kFloat, 0, {{3, 0.2f}}},  // hold meter of channel 0
        {12, 2048.0f, kFloat, 0, {}},        // the latency: nothing to show
        {1, 0.9f, kFloat, 0, {}},            // an audio port
        {4, 0.9f, kFloat, 1, {}},            // not the float protocol
        {4, 0.9f, 2, 0, {}},                 // not a float
        {16, 0.9f, kFloat, 0, {}},           // past the last port
        // values no host should send show as the VST 2 editor shows them
        {4, NAN, kFloat, 0, {{0, NAN}}},
        {11, -INFINITY, kFloat, 0, {{7, -INFINITY}}},
        {14, INFINITY, kFloat, 0, {{2, INFINITY}}},
        {15, -0.5f, kFloat, 0, {{3, -0.5f}}},
    };
    std::vector<std::pair<int32_t, float>> shown;
    raster::PixelBuffer expected = headless();
    for (const Event& e : events) {
        SCOPED_TRACE("port " + std::to_string(e.port) + " = " + std::to_string(e.value));
        host.portEvent(e.port, e.value, e.size, e.protocol);
        // nothing is drawn outside the idle
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        EXPECT_EQ(mismatch(host.screen(), expected), "");
        host.idle();
        shown.insert(shown.end(), e.shows.begin(), e.shows.end());
        expected = headlessAfterOpen(shown);
        EXPECT_TRUE(
            waitFor([&] { return host.screen() == expected; }, std::chrono::milliseconds(1000)))
            << mismatch(host.screen(), expected);
    }
    // the host's own values are not written back to it
    EXPECT_TRUE(host.requests.empty());
}

TEST_F(Lv2UiTest, ACleanupFromInsideAWriteEndsTheUiWhenTheDragIsOver) {
    UiHost host(server);
    host.cleanupOnWrite = true;
    ASSERT_TRUE(host.instantiate());
    host.idleFor(std::chrono::milliseconds(150));
    host.requests.clear();
    dragDelayUp(host);
    // the touch began, one value was written, and then the UI was gone: no end of the gesture
    // nor any write reaches a host that has ended the UI
    ASSERT_EQ(host.requests.size(), 2u);
    EXPECT_EQ(host.requests[0].kind, 't');
    EXPECT_EQ(host.requests[1].kind, 'w');
    EXPECT_EQ(host.ui, nullptr);
    EXPECT_TRUE(childrenOf(server, host.parent).empty());
}

TEST_F(Lv2UiTest, AParentDestroyedUnderTheUiEndsItQuietly) {
    static int hostErrors = 0;
    hostErrors = 0;
    XErrorHandler previous = XSetErrorHandler([](Display*, XErrorEvent*) {
        ++hostErrors;
        return 0;
    });
    UiHost host(server);
    ASSERT_TRUE(host.instantiate());
    host.idleFor(std::chrono::milliseconds(100));
    EXPECT_EQ(host.idle(), 0);
    XDestroyWindow(server, host.parent);
    XSync(server, False);
    host.portEvent(kDelayPort, 0.1f);
    // the idle interface tells the host once the window is gone
    EXPECT_TRUE(waitFor([&] { return host.idle() == 1; }));
    host.end();
    EXPECT_EQ(hostErrors, 0);
    XSetErrorHandler(previous);
    host.parent = makeHostWindow(server, kLeft, kTop, kWidth, kHeight);
}

TEST_F(Lv2UiTest, OpeningAndCleaningUpAHundredTimesLeavesNothingBehind) {
    UiHost host(server);
    ASSERT_TRUE(host.instantiate());
    host.idle();
    host.end();
    const int descriptors = openDescriptors();
    for (int i = 0; i < 100; i++) {
        ASSERT_TRUE(host.instantiate());
        host.portEvent(kDelayPort, float(i) / 100.0f);
        host.idle();
        host.end();
    }
    EXPECT_EQ(openDescriptors(), descriptors);
    EXPECT_TRUE(childrenOf(server, host.parent).empty());
}

} // namespace quorvane::x11test
