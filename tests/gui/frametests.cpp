// The frame: view list, click, key, drop and wheel dispatch, painting and the idle pass.

#include "allocationcount.h"
#include "guitest.h"

#include "gui/cparamdisplay.h"
#include "gui/cverticalslider.h"
#include "gui/cverticalswitch.h"
#include "gui/cvumeter.h"

#include <functional>
#include <string>
#include <utility>

namespace {

// A view that writes what happens to it into a shared log, as "name:event".
class LogView : public CView {
public:
    LogView(const char* name, const CRect& size, std::vector<std::string>& log)
        : CView(size), name(name), log(log) {}
    void draw(CDrawContext* context) override {
        add("draw");
        CView::draw(context);
    }
    void mouse(CDrawContext*, CPoint& where) override {
        add("mouse " + std::to_string(where.h) + "," + std::to_string(where.v));
        if (onMouse) onMouse();
    }
    int32_t onKeyDown(VstKeyCode& key) override {
        add("key");
        return key.character == keyAnswerFor ? 1 : -1;
    }
    int32_t onKeyUp(VstKeyCode&) override {
        add("keyup");
        return -1;
    }
    bool onDrop(void**, int32_t count, int32_t, CPoint&) override {
        add("drop " + std::to_string(count));
        return takesDrops;
    }
    bool onWheel(CDrawContext*, const CPoint& where, float distance) override {
        add("wheel " + std::to_string(where.h) + "," + std::to_string(where.v) + " " +
            std::to_string(static_cast<int>(distance)));
        return true;
    }
    void looseFocus(CDrawContext*) override {
        add("looseFocus");
        if (onLooseFocus) onLooseFocus();
    }
    bool attached(CView*) override {
        add("attached");
        return true;
    }
    bool removed(CView*) override {
        add("removed");
        return true;
    }
    ~LogView() override { add("destroyed"); }

    void add(const std::string& what) { log.push_back(name + ":" + what); }
    std::string name;
    std::vector<std::string>& log;
    std::function<void()> onMouse;
    std::function<void()> onLooseFocus;
    int32_t keyAnswerFor = -100;
    bool takesDrops = false;
};

class Frame : public GuiTest {
protected:
    LogView* add(const char* name, const CRect& size) {
        auto* view = new LogView(name, size, log);
        EXPECT_TRUE(frame->addView(view));
        return view;
    }
    std::vector<std::string> log;
};

// A view class that counts the destruction of its objects.
template <class T> class Counted : public T {
public:
    template <class... Args>
    explicit Counted(int& destroyed, Args&&... args)
        : T(std::forward<Args>(args)...), destroyed(destroyed) {}
    ~Counted() override { destroyed++; }
    int& destroyed;
};

} // namespace

TEST_F(Frame, ClickGoesToTheLaterOfOverlappingViewsAndSkipsDisabledOnes) {
    LogView* below = add("below", CRect(10, 10, 100, 100));
    LogView* above = add("above", CRect(50, 50, 150, 150));
    log.clear();

    window->press({60, 60});
    EXPECT_EQ(log, (std::vector<std::string>{"above:mouse 60,60"}));

    log.clear();
    above->setMouseEnabled(false);
    window->press({100, 100}); // the edge of both views
    EXPECT_EQ(log, (std::vector<std::string>{"below:mouse 100,100"}));
    (void)below;
}

TEST_F(Frame, ClickOutsideEveryViewOnlyClearsTheFocus) {
    LogView* view = add("v", CRect(10, 10, 20, 20));
    frame->setFocusView(view);
    log.clear();
    window->press({500, 150});
    EXPECT_EQ(log, (std::vector<std::string>{"v:looseFocus"}));
    EXPECT_EQ(frame->getFocusView(), nullptr);
}

TEST_F(Frame, FocusViewKeepsTheFocusWhileToldItLosesItThenItIsCleared) {
    LogView* view = add("v", CRect(10, 10, 20, 20));
    CView* seen = nullptr;
    view->onLooseFocus = [&] { seen = frame->getFocusView(); };

    frame->setFocusView(view);
    window->press({500, 150});
    EXPECT_EQ(seen, view);
    EXPECT_EQ(frame->getFocusView(), nullptr);

    seen = nullptr;
    frame->setFocusView(view);
    EXPECT_TRUE(frame->removeAll(false));
    EXPECT_EQ(seen, view);
    EXPECT_EQ(frame->getFocusView(), nullptr);
    view->forget();
}

TEST_F(Frame, KeysGoToTheFocusViewFirstThenToEveryViewFromTheLast) {
    LogView* first = add("first", CRect(0, 0, 10, 10));
    LogView* second = add("second", CRect(20, 0, 30, 10));
    LogView* third = add("third", CRect(40, 0, 50, 10));
    third->setMouseEnabled(false); // keys ignore the mouse flag
    frame->setFocusView(first);
    log.clear();

    VstKeyCode key{5, 0, 0};
    EXPECT_EQ(editor->onKeyDown(key), -1);
    EXPECT_EQ(log, (std::vector<std::string>{"first:key", "third:key", "second:key", "first:key"}));

    log.clear();
    second->keyAnswerFor = 5;
    EXPECT_EQ(editor->onKeyDown(key), 1);
    EXPECT_EQ(log, (std::vector<std::string>{"first:key", "third:key", "second:key"}));

    log.clear();
    first->keyAnswerFor = 5;
    EXPECT_EQ(editor->onKeyDown(key), 1);
    EXPECT_EQ(log, (std::vector<std::string>{"first:key"}));
    EXPECT_EQ(editor->onKeyUp(key), -1);
}

TEST_F(Frame, ViewListGrowsByTwentyAndAnswersOnlyValidIndices) {
    EXPECT_EQ(frame->getView(0), nullptr);
    std::vector<LogView*> views;
    for (int i = 0; i < 20; i++)
        views.push_back(add("v", CRect(i, 0, i + 1, 1)));
    EXPECT_EQ(frame->getViewCapacity(), 20);
    views.push_back(add("v21", CRect(0, 0, 1, 1)));
    EXPECT_EQ(frame->getViewCapacity(), 40);
    EXPECT_EQ(frame->getNbViews(), 21);
    for (int i = 0; i < 21; i++)
        EXPECT_EQ(frame->getView(i), views[i]);
    EXPECT_EQ(frame->getView(-1), nullptr);
    EXPECT_EQ(frame->getView(21), nullptr);
    EXPECT_EQ(views[0]->getParent(), frame);
    EXPECT_EQ(views[0]->getEditor(), editor);
}

TEST_F(Frame, ViewListThatCannotGrowKeepsTheViewsAlreadyAdded) {
    std::vector<LogView*> views;
    for (int i = 0; i < 20; i++)
        views.push_back(add("v", CRect(i, 0, i + 1, 1)));
    auto* extra = new LogView("extra", CRect(0, 0, 1, 1), log);

    allocationcount::failNextNothrowArray();
    EXPECT_FALSE(frame->addView(extra));
    EXPECT_EQ(frame->getNbViews(), 20);
    EXPECT_EQ(frame->getViewCapacity(), 20);
    for (int i = 0; i < 20; i++)
        EXPECT_EQ(frame->getView(i), views[i]);
    EXPECT_EQ(extra->getParent(), nullptr);

    // the next try succeeds and the old entries come along
    EXPECT_TRUE(frame->addView(extra));
    EXPECT_EQ(frame->getView(19), views[19]);
    EXPECT_EQ(frame->getView(20), extra);
}

TEST_F(Frame, RemovingViews) {
    LogView* a = add("a", CRect(0, 0, 1, 1));
    LogView* b = add("b", CRect(0, 0, 1, 1));
    CView stranger(CRect(0, 0, 1, 1));
    log.clear();
    EXPECT_TRUE(frame->removeView(&stranger));
    EXPECT_EQ(frame->getNbViews(), 2);
    EXPECT_TRUE(log.empty());

    frame->setFocusView(a);
    log.clear();
    EXPECT_TRUE(frame->removeView(a, true));
    EXPECT_EQ(log, (std::vector<std::string>{"a:removed", "a:destroyed"}));
    EXPECT_EQ(frame->getFocusView(), nullptr); // a removed view cannot keep the focus
    EXPECT_EQ(frame->getView(0), b);
    EXPECT_FALSE(frame->isChild(a));

    b->remember();
    log.clear();
    EXPECT_TRUE(frame->removeAll(false));
    EXPECT_EQ(log, (std::vector<std::string>{"b:removed"}));
    EXPECT_EQ(frame->getNbViews(), 0);
    EXPECT_EQ(frame->getViewCapacity(), 0);
    b->forget();
    b->forget();
}

TEST_F(Frame, DropsGoToEnabledViewsUnderThePointUnlessAViewHasTheFocus) {
    LogView* below = add("below", CRect(0, 0, 100, 100));
    LogView* middle = add("middle", CRect(0, 0, 100, 100));
    LogView* top = add("top", CRect(0, 0, 100, 100));
    LogView* away = add("away", CRect(200, 0, 300, 100));
    top->setMouseEnabled(false);
    below->takesDrops = true;
    log.clear();

    const char* text = "dropped";
    void* items[] = {const_cast<char*>(text)};
    EXPECT_TRUE(window->drop(items, 8, 1, {50, 50}));
    EXPECT_EQ(log, (std::vector<std::string>{"middle:drop 8", "below:drop 8"}));

    log.clear();
    frame->setFocusView(middle);
    EXPECT_FALSE(window->drop(items, 8, 1, {50, 50}));
    EXPECT_EQ(log, (std::vector<std::string>{}));
    (void)away;
}

TEST_F(Frame, WheelGoesToTheViewUnderThePointerAtThePointerPosition) {
    add("a", CRect(0, 0, 100, 100));
    LogView* disabled = add("b", CRect(50, 50, 150, 150));
    disabled->setMouseEnabled(false); // not consulted
    log.clear();
    headless::setPointer(screen(60, 70));
    EXPECT_TRUE(editor->onWheel(2.0f));
    EXPECT_EQ(log, (std::vector<std::string>{"b:wheel 60,70 2"}));

    log.clear();
    headless::setPointer(screen(400, 70));
    EXPECT_FALSE(editor->onWheel(1.0f));
    EXPECT_TRUE(log.empty());
}

TEST_F(Frame, IdleDrawsNothingBeforeTheFirstPaint) {
    CFrame* fresh = new CFrame(CRect(0, 0, 50, 50), &parentWindow, nullptr);
    headless::HeadlessWindow* freshWindow = headless::lastWindow();
    auto* view = new LogView("v", CRect(0, 0, 10, 10), log);
    fresh->addView(view);
    view->setDirty(true);
    log.clear();
    fresh->idle();
    EXPECT_TRUE(log.empty());
    freshWindow->paint({0, 0, 50, 50});
    EXPECT_EQ(log, (std::vector<std::string>{"v:draw"}));
    view->setDirty(true);
    log.clear();
    fresh->idle();
    EXPECT_EQ(log, (std::vector<std::string>{"v:draw"}));
    fresh->forget();
}

TEST_F(Frame, IdleWithNothingDirtyDoesNotDrawAtAll) {
    add("v", CRect(0, 0, 10, 10));
    editor->idle();
    int32_t devices = window->devicesOpened();
    log.clear();
    editor->idle();
    editor->idle();
    EXPECT_EQ(window->devicesOpened(), devices);
    EXPECT_TRUE(log.empty());
}

TEST_F(Frame, PaintRedrawsEveryViewTouchingTheRectangleWhole) {
    frame->setBackground(bitmap(910, 900, 202, kTrack));
    add("touching", CRect(100, 100, 120, 120));
    add("apart", CRect(126, 100, 150, 119));
    frame->getBackground()->forget(); // the frame keeps its own reference
    log.clear();
    window->pixels().fill(0);
    window->paint({120, 120, 125, 125});
    EXPECT_EQ(log, (std::vector<std::string>{"touching:draw"}));
    // the background is copied under the paint rectangle only
    EXPECT_EQ(pixel(120, 120), kTrack);
    EXPECT_EQ(pixel(124, 124), kTrack);
    EXPECT_EQ(pixel(126, 126), 0u);
}

TEST_F(Frame, DirtyFrameRedrawsEverythingOnIdle) {
    add("a", CRect(0, 0, 10, 10));
    add("b", CRect(20, 0, 30, 10));
    log.clear();
    frame->setDirty(true);
    editor->idle();
    EXPECT_EQ(log, (std::vector<std::string>{"a:draw", "b:draw"}));
    EXPECT_FALSE(frame->isSomethingDirty());
}

TEST_F(Frame, DestroyingTheFrameFreesEveryViewAndBitmap) {
    int destroyed = 0;
    CBitmap* back = bitmap(920, 900, 202, kTrack);
    CBitmap* handle = bitmap(921, 14, 12, kHandle);
    CBitmap* track = bitmap(922, 16, 70, kTrack);
    CBitmap* on = bitmap(923, 604, 27, kOn);
    CBitmap* off = bitmap(924, 604, 27, kOff);
    CBitmap* lamps = bitmap(925, 31, 135, kOn);
    std::vector<CBitmap*> bitmaps{back, handle, track, on, off, lamps};
    frame->setBackground(back);
    frame->addView(new Counted<CVerticalSlider>(destroyed, CRect(10, 10, 26, 80), editor, 0, 10, 68,
                                                handle, track, CPoint(0, 0)));
    frame->addView(new Counted<CVerticalSwitch>(destroyed, CRect(40, 10, 71, 55), editor, 5, 3, 45,
                                                3, lamps, CPoint(0, 0)));
    frame->addView(new Counted<CParamDisplay>(destroyed, CRect(80, 10, 140, 30)));
    frame->addView(new Counted<CVuMeter>(destroyed, CRect(10, 100, 614, 127), on, off, 40));
    frame->addView(new Counted<CVuMeter>(destroyed, CRect(10, 130, 614, 157), on, nullptr, 40));
    editor->idle();
    EXPECT_EQ(back->getNbReference(), 2);
    EXPECT_EQ(on->getNbReference(), 3);

    editor->close();
    EXPECT_EQ(destroyed, 5);
    // only the references this test made itself are left
    for (CBitmap* b : bitmaps)
        EXPECT_EQ(b->getNbReference(), 1);
    for (CBitmap* b : bitmaps)
        b->forget();
}

TEST_F(Frame, IdleDeliversTheWindowsWaitingEventsFirst) {
    CFrame* fresh = new CFrame(CRect(0, 0, 50, 50), &parentWindow, nullptr);
    headless::HeadlessWindow* freshWindow = headless::lastWindow();
    auto* view = new LogView("v", CRect(0, 0, 10, 10), log);
    fresh->addView(view);
    view->setDirty(true);
    headless::postRepaint(*freshWindow, {0, 0, 50, 50});
    headless::postPress(*freshWindow, {5, 5});
    log.clear();
    fresh->idle();
    EXPECT_EQ(log, (std::vector<std::string>{"v:draw", "v:mouse 5,5"}));
    EXPECT_FALSE(fresh->isSomethingDirty());
    fresh->forget();
}

TEST_F(Frame, NoClickStartsWhileAClickIsBeingHandled) {
    LogView* view = add("v", CRect(0, 0, 10, 10));
    int idles = 0;
    view->onMouse = [&] {
        if (idles++ > 0) return;
        headless::postPress(*window, {6, 6});
        frame->idle(); // as a tracking loop's idle pump does
    };
    log.clear();
    window->press({5, 5});
    EXPECT_EQ(log, (std::vector<std::string>{"v:mouse 5,5"}));
    frame->idle();
    EXPECT_EQ(log, (std::vector<std::string>{"v:mouse 5,5", "v:mouse 6,6"}));
}

TEST_F(Frame, ParentWindowDestroyedStopsDrawing) {
    LogView* view = add("v", CRect(0, 0, 10, 10));
    EXPECT_TRUE(frame->getOpenFlag());
    window->destroyByParent();
    EXPECT_FALSE(frame->getOpenFlag());
    view->setDirty(true);
    log.clear();
    editor->idle();
    frame->update(nullptr);
    EXPECT_TRUE(log.empty());
}
