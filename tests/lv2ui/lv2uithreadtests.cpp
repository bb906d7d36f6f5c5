// UIs of the plug-in on several threads at once, as hosts that give each editor a thread of its
// own do: each thread opens two UIs in windows of its own, feeds them port events, idles them
// and closes them again, over and over, while the other threads do the same, so that opens and
// closes on different threads overlap. One host offers no parent window: its UIs open as
// windows of their own on the screen. The ThreadSanitizer and AddressSanitizer builds run it too.

// before the X11 headers, whose macros (None, Bool) would break it
#include <gtest/gtest.h>

#include "lv2uihost.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace quorvane::x11test {

namespace {

// How long the threads churn, and the fewest rounds each thread runs however slow the build: a
// round lasts tens of milliseconds, a few hundred under the thread sanitizer.
constexpr auto kChurnTime = std::chrono::seconds(4);
constexpr int kFewestRounds = 10;
constexpr int kUisPerThread = 2;

// How many threads are inside an instantiate or a cleanup right now, and the most seen at once.
std::atomic<int> openingOrClosing{0};
std::atomic<int> mostAtOnce{0};

class Overlap {
public:
    Overlap() {
        const int now = ++openingOrClosing;
        int most = mostAtOnce.load();
        while (now > most && !mostAtOnce.compare_exchange_weak(most, now)) {
        }
    }
    ~Overlap() { --openingOrClosing; }
    Overlap(const Overlap&) = delete;
    Overlap& operator=(const Overlap&) = delete;
};

// The host's own error handler: no error of the UIs' requests may reach it.
std::atomic<int> hostErrors{0};
int countHostError(Display*, XErrorEvent*) {
    ++hostErrors;
    return 0;
}

// One host thread with its own connection and two UIs side by side.
struct HostThread {
    HostThread(int i, bool embedding) : index(i), embeds(embedding) {}

    int index;
    bool embeds;
    int rounds = 0;
    std::vector<std::string> failures;

    void fail(const std::string& what) {
        if (failures.size() < 10)
            failures.push_back("round " + std::to_string(rounds) + ": " + what);
    }

    // The windows the UI of host can be found among: its parent, else the screen's root.
    std::vector<::Window> windowsBeside(Display* server, const UiHost& host) const {
        return childrenOf(server, embeds ? host.parent : DefaultRootWindow(server));
    }
    bool shows(Display* server, const UiHost& host) const {
        const std::vector<::Window> windows = windowsBeside(server, host);
        const auto widget = ::Window(uintptr_t(host.widget));
        const bool found = std::find(windows.begin(), windows.end(), widget) != windows.end();
        return found && (!embeds || windows.size() == 1);
    }

    void open(Display* server, UiHost& host) {
        {
            Overlap overlap;
            if (!host.instantiate()) {
                fail("instantiate failed");
                return;
            }
        }
        if (!shows(server, host)) fail("the widget is not where it belongs");
    }
    void close(Display* server, UiHost& host) {
        if (!host.ui) return;
        const ::Window widget = ::Window(uintptr_t(host.widget));
        {
            Overlap overlap;
            host.end();
        }
        const std::vector<::Window> left = windowsBeside(server, host);
        if (std::find(left.begin(), left.end(), widget) != left.end())
            fail("the widget outlived the cleanup");
        // a UI writes only when the user moves a control
        for (const Request& r : host.requests) {
            if (r.kind != 'r') fail(std::string("request ") + r.kind);
        }
        host.requests.clear();
    }
    // Port events for every parameter and meter, each followed by an idle.
    void feed(UiHost& host, int step) {
        if (!host.ui) return;
        host.portEvent(kDelayPort + uint32_t(step % 8), float((step + index) % 10) / 10.0f);
        host.portEvent(13 + uint32_t(step % 3), 0.25f + float(step % 4) / 8.0f);
        if (host.idle() != 0) fail("idle answered that the window is gone");
    }

    void run(std::chrono::steady_clock::time_point end) {
        Connection server;
        std::vector<std::unique_ptr<UiHost>> hosts;
        for (int u = 0; u < kUisPerThread; u++) {
            hosts.push_back(std::make_unique<UiHost>(server, kLeft + u * 40,
                                                     kTop + (index * kUisPerThread + u) * 60));
            hosts.back()->offerParent = embeds;
        }
        // the two UIs open and close staggered: one opens while the other is open
        while (rounds < kFewestRounds || std::chrono::steady_clock::now() < end) {
            open(server, *hosts[0]);
            feed(*hosts[0], rounds);
            open(server, *hosts[1]);
            feed(*hosts[1], rounds);
            feed(*hosts[0], rounds + 1);
            close(server, *hosts[0]);
            feed(*hosts[1], rounds + 1);
            close(server, *hosts[1]);
            ++rounds;
        }
        hosts.clear();
    }
};

} // namespace

TEST(Lv2UiThreads, UisOnFourThreadsOpenIdleTakePortEventsAndCloseAtOnce) {
    ASSERT_NE(descriptorAt(0), nullptr) << dlerror();
    hostErrors = 0;
    mostAtOnce = 0;
    XErrorHandler previous = XSetErrorHandler(&countHostError);
    const auto end = std::chrono::steady_clock::now() + kChurnTime;
    std::vector<HostThread> hosts = {{0, true}, {1, true}, {2, true}, {3, false}};
    std::vector<std::thread> threads;
    for (HostThread& h : hosts)
        threads.emplace_back([&h, end] { h.run(end); });
    for (std::thread& thread : threads)
        thread.join();
    for (const HostThread& h : hosts) {
        SCOPED_TRACE("thread " + std::to_string(h.index));
        RecordProperty("rounds" + std::to_string(h.index), h.rounds);
        for (const std::string& failure : h.failures)
            ADD_FAILURE() << failure;
    }
    // the opens and closes did overlap
    EXPECT_GE(mostAtOnce.load(), 2);
    RecordProperty("mostAtOnce", mostAtOnce.load());
    EXPECT_EQ(hostErrors.load(), 0);
    XSetErrorHandler(previous);
}

} // namespace quorvane::x11test
