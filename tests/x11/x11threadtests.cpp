// Editors of several instances of the built module, each on a thread of its own, as hosts that
// give every plug-in window its own thread run them: opened, idled, clicked, dragged and closed
// over and over at the same time.

// before the X11 headers, whose macros (None, Bool) would break it
#include <gtest/gtest.h>

#include "testhost.h"
#include "xvfb.h"

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>
// after Xlib.h, which it needs
#include <X11/extensions/XShm.h>

namespace quorvane::x11test {

namespace {

using namespace paneltest;

// How long each churn of open, idle and close runs: the races it looks for last microseconds, so
// it takes many thousand rounds to meet them.
constexpr auto kChurnTime = std::chrono::seconds(20);

// A host callback that any thread may call: the version and the sample rate, and a count of the
// edits the panels report.
std::atomic<int> beginEdits{0};
intptr_t VSTCALLBACK threadSafeHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    if (opcode == audioMasterVersion) return 2400;
    if (opcode == audioMasterGetSampleRate) return 44100;
    if (opcode == audioMasterBeginEdit) ++beginEdits;
    return 0;
}

// One host window on a connection of its own and an instance of the plug-in, for one editor
// thread: rounds run until the end, then the editor windows left in the host's window are counted
// and everything is closed.
struct HostThread {
    int top;
    int rounds = 0;
    int opened = 0;
    unsigned childrenLeft = 0;

    // round(effect, host, parent) opens the editor, uses it and closes it, answering whether it
    // opened; it may give the host a new parent window
    template <class Round> void run(std::chrono::steady_clock::time_point end, Round round) {
        Connection host;
        ::Window parent = makeHostWindow(host, 0, top, kPanelWidth, kPanelHeight);
        AEffect* effect = Module::get().entry("main")(threadSafeHost);
        if (!effect) return;
        while (std::chrono::steady_clock::now() < end) {
            if (round(effect, static_cast<Display*>(host), parent)) ++opened;
            ++rounds;
        }
        XSync(host, False);
        childrenLeft = childCount(host, parent);
        dispatch(effect, effClose);
        XDestroyWindow(host, parent);
        XSync(host, False);
    }
};

// Each round opens the editor, idles it, plays a drag over the slider and a click on a lamp
// switch with real input, idles it through the tracking loops the input starts, and closes it;
// every other round the host destroys its window under the open editor first, so that the
// editor's requests fail on the server.
struct EditorThread : HostThread {
    void run(std::chrono::steady_clock::time_point end) {
        HostThread::run(end, [this](AEffect* effect, Display* host, ::Window& parent) {
            auto idle = [&](int times) {
                for (int i = 0; i < times; i++) {
                    dispatch(effect, effEditIdle);
                    std::this_thread::sleep_for(std::chrono::milliseconds(2));
                }
            };
            const bool open =
                dispatch(effect, effEditOpen, 0, 0, reinterpret_cast<void*>(uintptr_t(parent)));
            idle(3);
            // a press moved up the slider and a click on a lamp, each over before the editor
            // sees it
            XTestHand hand(host, 0, top);
            for (const Gesture& g : {kSliderPress, kModeLowerLamp}) {
                play(hand, quick(g));
                idle(4);
            }
            if (rounds % 2 == 1) {
                XDestroyWindow(host, parent);
                XSync(host, False);
                effect->setParameter(effect, 0, float(rounds % 10) / 10.0f);
                idle(2);
                parent = makeHostWindow(host, 0, top, kPanelWidth, kPanelHeight);
            }
            dispatch(effect, effEditClose);
            return open;
        });
    }
};

// As a host that opens and closes plug-in windows in quick succession: each round opens the
// editor, idles it once and closes it, with no input.
struct ChurnThread : HostThread {
    void run(std::chrono::steady_clock::time_point end) {
        HostThread::run(end, [](AEffect* effect, Display*, ::Window& parent) {
            const bool open =
                dispatch(effect, effEditOpen, 0, 0, reinterpret_cast<void*>(uintptr_t(parent)));
            dispatch(effect, effEditIdle);
            dispatch(effect, effEditClose);
            return open;
        });
    }
};

// The host's own use of the shared-memory extension through its client library, on one thread
// beside the editors: connections of its own opened, asked and closed one after the other.
struct HostShmThread {
    int rounds = 0;
    int withExtension = 0;

    void run(std::chrono::steady_clock::time_point end) {
        while (std::chrono::steady_clock::now() < end) {
            Connection host;
            if (XShmQueryExtension(host)) ++withExtension;
            ++rounds;
        }
    }
};

// The host's own error handler: no error of the editors' requests may reach it.
std::atomic<int> hostErrors{0};
int countHostError(Display*, XErrorEvent*) {
    ++hostErrors;
    return 0;
}

} // namespace

TEST(X11Churn, EditorsOnTwoAndFourThreadsOpenIdleAndCloseInATightLoop) {
    ASSERT_NE(Module::get().handle(), nullptr) << dlerror();
    for (int count : {2, 4}) {
        SCOPED_TRACE(std::to_string(count) + " threads");
        hostErrors = 0;
        XErrorHandler previous = XSetErrorHandler(&countHostError);
        const auto end = std::chrono::steady_clock::now() + kChurnTime;
        std::vector<ChurnThread> editors;
        for (int i = 0; i < count; i++)
            editors.push_back({{i * 150}});
        HostShmThread hostShm;
        std::vector<std::thread> threads;
        for (ChurnThread& e : editors)
            threads.emplace_back([&e, end] { e.run(end); });
        threads.emplace_back([&hostShm, end] { hostShm.run(end); });
        for (std::thread& t : threads)
            t.join();
        EXPECT_GT(hostShm.rounds, 0);
        EXPECT_EQ(hostShm.withExtension, hostShm.rounds);
        for (const ChurnThread& e : editors) {
            EXPECT_GE(e.rounds, 10);
            EXPECT_EQ(e.opened, e.rounds);
            EXPECT_EQ(e.childrenLeft, 0u);
        }
        EXPECT_EQ(hostErrors.load(), 0);
        XSetErrorHandler(previous);
    }
}

TEST(X11Threads, TwoEditorsOnTwoThreadsOpenDragAndCloseSideBySide) {
    ASSERT_NE(Module::get().handle(), nullptr) << dlerror();
    hostErrors = 0;
    XErrorHandler previous = XSetErrorHandler(&countHostError);
    beginEdits = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(4);
    EditorThread editors[2] = {{{0}}, {{300}}};
    std::thread first([&] { editors[0].run(end); });
    std::thread second([&] { editors[1].run(end); });
    first.join();
    second.join();
    for (const EditorThread& e : editors) {
        EXPECT_GE(e.rounds, 3);
        EXPECT_EQ(e.opened, e.rounds);
        EXPECT_EQ(e.childrenLeft, 0u);
    }
    // the panels took input: at least some of the gestures reached a control
    EXPECT_GT(beginEdits.load(), 0);
    EXPECT_EQ(hostErrors.load(), 0);
    XSetErrorHandler(previous);
}

} // namespace quorvane::x11test
