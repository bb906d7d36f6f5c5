// The headless back end: scripted input, the fake clock, pending events and windows.

#include "gui/platform/headless/headless.h"
#include "gui/platform/headless/headlesswindow.h"
#include "gui/platform/raster/rasterdevice.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace quorvane;
using raster::rgb;

namespace {

// Records every event as text and paints its rectangle's top-left pixel green.
struct LoggingEvents : platform::WindowEvents {
    std::vector<std::string> log;
    bool accept = true;
    void onPaint(platform::Device& device, const platform::Rect& r) override {
        log.push_back("paint " + std::to_string(r.left) + "," + std::to_string(r.top));
        device.setPen(0x00FF00, platform::PenStyle::kSolid);
        device.moveTo({r.left, r.top});
        device.lineTo({r.left + 1, r.top});
    }
    void onButtonDown(platform::Point p, int32_t button) override {
        log.push_back("down " + std::to_string(p.x) + "," + std::to_string(p.y) + " " +
                      std::to_string(button) + " buttons " +
                      std::to_string(platform::physicalButtons()));
    }
    bool onDrop(void** items, int32_t count, int32_t type, platform::Point) override {
        log.push_back("drop " + std::string(static_cast<const char*>(items[0])) + " " +
                      std::to_string(count) + " " + std::to_string(type));
        return accept;
    }
    void onDestroyed() override { log.push_back("destroyed"); }
};

class HeadlessTest : public ::testing::Test {
protected:
    void SetUp() override { headless::reset(); }
    void TearDown() override { headless::reset(); }
};

} // namespace

TEST_F(HeadlessTest, EachButtonPollAppliesTheNextScriptedStep) {
    headless::setButtons(headless::kLeft);
    headless::queueInput(
        {{headless::kLeft, {5, 6}}, {headless::kLeft | headless::kShiftKey, {7, 8}}, {0, {9, 10}}});
    EXPECT_EQ(headless::pointer().x, 0); // nothing applied before the first poll
    EXPECT_EQ(platform::physicalButtons(), headless::kLeft);
    EXPECT_EQ(platform::pointerScreenPosition().x, 5);
    EXPECT_EQ(platform::pointerScreenPosition().y, 6); // reading the pointer does not advance
    EXPECT_EQ(platform::physicalButtons(), headless::kLeft | headless::kShiftKey);
    EXPECT_EQ(platform::physicalButtons(), 0u);
    EXPECT_EQ(platform::pointerScreenPosition().y, 10);
    EXPECT_EQ(headless::queuedInput(), 0u);
    EXPECT_EQ(platform::physicalButtons(), 0u); // the last step's state stays
    EXPECT_EQ(headless::buttonPolls(), 4u);
    EXPECT_EQ(headless::pointerPolls(), 3u);
}

TEST_F(HeadlessTest, PollHookSeesEveryPollAndMayChangeTheState) {
    std::vector<uint32_t> seen;
    headless::setButtons(headless::kLeft);
    headless::setPollHook([&](uint32_t poll) {
        seen.push_back(poll);
        if (poll == 3) headless::setButtons(0);
    });
    int passes = 0;
    while (platform::physicalButtons() & headless::kLeft)
        ++passes;
    EXPECT_EQ(passes, 2);
    EXPECT_EQ(seen, (std::vector<uint32_t>{1, 2, 3}));
}

TEST_F(HeadlessTest, ClockAdvancesExactlyBySleeps) {
    headless::setTicks(0xFFFFFFFEu);
    uint32_t slept = 0;
    headless::setSleepHook([&](uint32_t ms) { slept += ms; });
    platform::sleepMilliseconds(4);
    EXPECT_EQ(platform::tickCount(), 2u); // wraps at 2^32
    platform::sleepMilliseconds(10);
    EXPECT_EQ(platform::tickCount(), 12u);
    EXPECT_EQ(headless::sleepCalls(), 2u);
    EXPECT_EQ(headless::sleptMilliseconds(), 14u);
    EXPECT_EQ(slept, 14u);
}

TEST_F(HeadlessTest, WindowsAreChildWindowsInMemory) {
    LoggingEvents events;
    int parent = 0;
    auto window = platform::createChildWindow(&parent, 30, 20, &events);
    ASSERT_TRUE(window);
    auto* w = headless::lastWindow();
    ASSERT_EQ(w, window.get());
    EXPECT_EQ(w->parent(), &parent);
    EXPECT_EQ(w->width(), 30);
    EXPECT_EQ(w->height(), 20);
    EXPECT_EQ(w->pixels().at(0, 0), rgb(240, 240, 240));
    window->setSize(10, 5);
    EXPECT_EQ(w->pixels().width(), 10);
    EXPECT_EQ(headless::windows().size(), 1u);
    window.reset();
    EXPECT_TRUE(headless::windows().empty());
    headless::setWindowCreationAllowed(false);
    EXPECT_FALSE(platform::createChildWindow(&parent, 30, 20, &events));
}

TEST_F(HeadlessTest, DevicesDrawIntoTheWindowPixels) {
    LoggingEvents events;
    auto window = platform::createChildWindow(nullptr, 8, 8, &events);
    auto device = window->openDevice();
    device->setBrush(0x0000FF);
    device->fillRect({0, 0, 3, 3});
    EXPECT_EQ(headless::lastWindow()->pixels().at(1, 1), rgb(255, 0, 0));
    EXPECT_EQ(headless::pixelsOf(device.get()), &headless::lastWindow()->pixels());
    EXPECT_EQ(headless::lastWindow()->devicesOpened(), 1);
}

TEST_F(HeadlessTest, OneRepaintRunsPerCallInOrder) {
    LoggingEvents a, b;
    auto first = platform::createChildWindow(nullptr, 10, 10, &a);
    auto* firstWindow = headless::lastWindow();
    auto second = platform::createChildWindow(nullptr, 10, 10, &b);
    auto* secondWindow = headless::lastWindow();
    headless::postRepaint(*firstWindow, {1, 2, 5, 5});
    headless::postPress(*secondWindow, {3, 3});
    headless::postRepaint(*secondWindow, {4, 4, 6, 6});
    EXPECT_EQ(headless::pendingRepaints(), 2u);
    EXPECT_EQ(headless::pendingEvents(), 3u);
    EXPECT_TRUE(platform::runOnePendingRepaint());
    EXPECT_EQ(a.log, (std::vector<std::string>{"paint 1,2"}));
    EXPECT_EQ(firstWindow->pixels().at(1, 2), rgb(0, 255, 0));
    EXPECT_TRUE(platform::runOnePendingRepaint()); // skips the press
    EXPECT_EQ(b.log, (std::vector<std::string>{"paint 4,4"}));
    EXPECT_FALSE(platform::runOnePendingRepaint());
    EXPECT_EQ(headless::repaintsRun(), 2u);
    EXPECT_EQ(headless::pendingEvents(), 1u);
}

TEST_F(HeadlessTest, DispatchDeliversOnlyThisWindowsEventsInOrder) {
    LoggingEvents a, b;
    auto first = platform::createChildWindow(nullptr, 10, 10, &a);
    auto* firstWindow = headless::lastWindow();
    firstWindow->setScreenOrigin({100, 50});
    auto second = platform::createChildWindow(nullptr, 10, 10, &b);
    auto* secondWindow = headless::lastWindow();
    headless::postPress(*firstWindow, {3, 4}, 2);
    headless::postRepaint(*secondWindow, {0, 0, 1, 1});
    headless::postRepaint(*firstWindow, {5, 6, 7, 8});
    first->dispatchPendingEvents();
    EXPECT_EQ(a.log, (std::vector<std::string>{"down 3,4 2 buttons 4", "paint 5,6"}));
    EXPECT_TRUE(b.log.empty());
    EXPECT_EQ(headless::pointer().x, 103); // the press moved the pointer onto the window
    EXPECT_EQ(headless::pointer().y, 54);
    EXPECT_EQ(headless::pendingEvents(), 1u);
}

TEST_F(HeadlessTest, DropsArriveOnlyWhenEnabled) {
    LoggingEvents events;
    auto window = platform::createChildWindow(nullptr, 10, 10, &events);
    auto* w = headless::lastWindow();
    char text[] = "hello";
    void* items[] = {text};
    EXPECT_FALSE(w->drop(items, 6, 1, {1, 1}));
    EXPECT_TRUE(events.log.empty());
    EXPECT_TRUE(window->setDropEnabled(true));
    EXPECT_TRUE(w->drop(items, 6, 1, {1, 1}));
    events.accept = false;
    EXPECT_FALSE(w->drop(items, 6, 1, {1, 1}));
    EXPECT_EQ(events.log.size(), 2u);
    EXPECT_EQ(events.log[0], "drop hello 6 1");
}

TEST_F(HeadlessTest, DestroyedByTheParentTellsTheOwnerOnceAndGoesQuiet) {
    LoggingEvents events;
    auto window = platform::createChildWindow(nullptr, 10, 10, &events);
    auto* w = headless::lastWindow();
    headless::postRepaint(*w, {0, 0, 1, 1});
    w->destroyByParent();
    w->destroyByParent();
    EXPECT_EQ(headless::pendingEvents(), 0u);
    w->paint({0, 0, 1, 1});
    w->press({1, 1});
    window->setDropEnabled(true);
    char text[] = "x";
    void* items[] = {text};
    EXPECT_FALSE(w->drop(items, 2, 1, {0, 0}));
    EXPECT_EQ(events.log, (std::vector<std::string>{"destroyed"}));
}

TEST_F(HeadlessTest, ClosingAWindowDropsItsPendingEvents) {
    LoggingEvents events;
    auto window = platform::createChildWindow(nullptr, 10, 10, &events);
    headless::postRepaint(*headless::lastWindow(), {0, 0, 1, 1});
    window.reset();
    EXPECT_EQ(headless::pendingEvents(), 0u);
    EXPECT_FALSE(platform::runOnePendingRepaint());
}

TEST_F(HeadlessTest, ResetRestoresTheStartButKeepsOpenWindows) {
    LoggingEvents events;
    auto window = platform::createChildWindow(nullptr, 10, 10, &events);
    headless::setButtons(headless::kRight);
    headless::setSwapped(true);
    headless::setTicks(77);
    headless::queueInput({{1, {1, 1}}});
    headless::reset();
    EXPECT_EQ(headless::buttons(), 0u);
    EXPECT_FALSE(platform::buttonsSwapped());
    EXPECT_EQ(platform::tickCount(), 0u);
    EXPECT_EQ(headless::queuedInput(), 0u);
    EXPECT_EQ(headless::lastWindow(), window.get());
}
