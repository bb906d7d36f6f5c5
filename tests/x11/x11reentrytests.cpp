// A host that closes the editor, or the whole effect, from inside audioMasterIdle while the user
// drags the delay slider on a real X11 window: the drag ends there and the window goes away; the
// host hears the gesture's end edit from the effect when only the editor closed, and nothing
// more when the effect did.

// before the X11 headers, whose macros (None, Bool) would break it
#include <gtest/gtest.h>

#include "testhost.h"
#include "xvfb.h"

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace quorvane::x11test {

namespace {

using namespace paneltest;

// The host: records the effect's requests, and on the first audioMasterIdle after a begin
// edit runs its close.
struct ClosingHost {
    std::vector<int32_t> requests;
    int32_t closeWith = effEditClose;
    size_t closedAt = 0;
    AEffect* effect = nullptr;

    static ClosingHost*& current() {
        static ClosingHost* host = nullptr;
        return host;
    }
    static intptr_t VSTCALLBACK callback(AEffect* e, int32_t opcode, int32_t, intptr_t, void*,
                                         float) {
        ClosingHost* host = current();
        if (opcode == audioMasterVersion) return 2400;
        if (opcode == audioMasterGetSampleRate) return 44100;
        if (!host || !e) return 0;
        host->requests.push_back(opcode);
        const bool dragging = !host->requests.empty() && host->requests[0] == audioMasterBeginEdit;
        if (opcode == audioMasterIdle && dragging && host->closedAt == 0) {
            host->closedAt = host->requests.size();
            e->dispatcher(e, host->closeWith, 0, 0, nullptr, 0.0f);
            if (host->closeWith == effClose) host->effect = nullptr;
        }
        return 0;
    }
};

} // namespace

TEST(X11Reentry, AHostClosingFromItsIdleDuringASliderDragHearsTheEndOnlyWhileTheEffectLives) {
    ASSERT_NE(Module::get().handle(), nullptr) << dlerror();
    Connection server;
    for (int32_t closeWith : {effEditClose, effClose}) {
        SCOPED_TRACE(closeWith == effClose ? "effClose" : "effEditClose");
        ::Window parent = makeHostWindow(server, kHostLeft, kHostTop, kPanelWidth, kPanelHeight);
        ClosingHost host;
        host.closeWith = closeWith;
        ClosingHost::current() = &host;
        host.effect = Module::get().entry("main")(ClosingHost::callback);
        ASSERT_NE(host.effect, nullptr);
        AEffect* e = host.effect;
        ASSERT_EQ(
            e->dispatcher(e, effEditOpen, 0, 0, reinterpret_cast<void*>(uintptr_t(parent)), 0.0f),
            1);
        auto idleFor = [&](std::chrono::milliseconds time) {
            const auto end = std::chrono::steady_clock::now() + time;
            while (host.effect && std::chrono::steady_clock::now() < end) {
                host.effect->dispatcher(host.effect, effEditIdle, 0, 0, nullptr, 0.0f);
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        };
        idleFor(std::chrono::milliseconds(150));
        host.requests.clear();

        // the user grabs the handle and drags it up while the host idles the editor
        std::atomic<bool> finished = false;
        std::thread user([&] {
            Connection own;
            XTestHand hand(own);
            play(hand, kSliderDrag);
            finished = true;
        });
        while (!finished.load())
            idleFor(std::chrono::milliseconds(5));
        user.join();
        idleFor(std::chrono::milliseconds(100));

        // begin edit, any changes, the idle that closed; then the end edit while the effect
        // lives, and nothing else
        ASSERT_GE(host.closedAt, 2u);
        const bool effectLives = closeWith == effEditClose;
        ASSERT_EQ(host.requests.size(), host.closedAt + (effectLives ? 1 : 0));
        EXPECT_EQ(host.requests.front(), audioMasterBeginEdit);
        EXPECT_EQ(host.requests[host.closedAt - 1], audioMasterIdle);
        if (effectLives) {
            EXPECT_EQ(host.requests.back(), audioMasterEndEdit);
        }
        XSync(server, False);
        EXPECT_EQ(childCount(server, parent), 0u);

        if (host.effect) host.effect->dispatcher(host.effect, effClose, 0, 0, nullptr, 0.0f);
        ClosingHost::current() = nullptr;
        XDestroyWindow(server, parent);
        XSync(server, False);
    }
}

} // namespace quorvane::x11test
