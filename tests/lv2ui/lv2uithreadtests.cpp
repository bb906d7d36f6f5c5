// UIs of the plug-in on several threads at once, as hosts that give each editor a thread of its
// own do: each thread opens, feeds and idles its own UIs in its own window and closes them
// again. The ThreadSanitizer build runs it too.
//
// The UIs open and close in turn while the others idle: the X11 back end's own thread tests
// cover connections opened and closed on several threads at the same moment.

// before the X11 headers, whose macros (None, Bool) would break it
#include <gtest/gtest.h>

#include "lv2uihost.h"

#include <memory>
#include <mutex>
#include <shared_mutex>
#include <thread>
#include <vector>

namespace quorvane::x11test {

TEST(Lv2UiThreads, UisOnThreeThreadsIdleAndTakePortEventsAtOnceInTheirOwnWindows) {
    ASSERT_NE(descriptorAt(0), nullptr) << dlerror();
    constexpr int kThreads = 3;
    constexpr int kRounds = 8;
    std::shared_mutex openOrClose;
    std::vector<int> failures(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; t++) {
        threads.emplace_back([t, &failures, &openOrClose] {
            std::unique_lock<std::shared_mutex> opening(openOrClose);
            auto own = std::make_unique<Connection>();
            auto host = std::make_unique<UiHost>(*own, kLeft, kTop + t * (kHeight + 10));
            opening.unlock();
            for (int round = 0; round < kRounds; round++) {
                opening.lock();
                const bool opened = host->instantiate();
                opening.unlock();
                if (!opened) {
                    failures[t]++;
                    continue;
                }
                const std::vector<::Window> children = childrenOf(*own, host->parent);
                if (children.size() != 1 || uintptr_t(children[0]) != uintptr_t(host->widget))
                    failures[t]++;
                for (int i = 0; i < 20; i++) {
                    std::shared_lock<std::shared_mutex> running(openOrClose);
                    host->portEvent(kDelayPort, float((i + t) % 10) / 10.0f);
                    host->portEvent(13, 0.25f);
                    if (host->idle() != 0) failures[t]++;
                    running.unlock();
                    std::this_thread::sleep_for(std::chrono::milliseconds(2));
                }
                opening.lock();
                host->end();
                opening.unlock();
                if (!childrenOf(*own, host->parent).empty()) failures[t]++;
                // a UI writes only when the user moves a control
                for (const Request& r : host->requests) {
                    if (r.kind != 'r') failures[t]++;
                }
                host->requests.clear();
            }
            opening.lock();
            host.reset();
            own.reset();
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (int t = 0; t < kThreads; t++)
        EXPECT_EQ(failures[t], 0) << "thread " << t;
}

} // namespace quorvane::x11test
