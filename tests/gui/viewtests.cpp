// The view and control model: hit testing, overlap, dirty tracking, limits, reference counts.

#include "guitest.h"

#include <cmath>

namespace {

// A control that only counts its drawings.
class PlainControl : public CControl {
public:
    using CControl::CControl;
    void draw(CDrawContext* context) override {
        draws++;
        CView::draw(context);
    }
    int draws = 0;
};

// A view that counts its destruction.
class CountedView : public CView {
public:
    CountedView(const CRect& size, int& destroyed) : CView(size), destroyed(destroyed) {}
    ~CountedView() override { destroyed++; }
    int& destroyed;
};

} // namespace

TEST(View, EdgesCountAsInsideForHitTestingAndUpdates) {
    CView view(CRect(10, 20, 30, 40));
    EXPECT_TRUE(view.hitTest(CPoint(30, 40)));
    EXPECT_TRUE(view.hitTest(CPoint(10, 20)));
    EXPECT_FALSE(view.hitTest(CPoint(31, 40)));
    EXPECT_FALSE(view.hitTest(CPoint(30, 41)));
    EXPECT_FALSE(view.hitTest(CPoint(9, 25)));

    EXPECT_TRUE(view.checkUpdate(CRect(30, 40, 50, 60))); // touches the bottom-right corner
    EXPECT_TRUE(view.checkUpdate(CRect(0, 0, 10, 20)));   // touches the top-left corner
    EXPECT_FALSE(view.checkUpdate(CRect(31, 0, 50, 60))); // right of it
    EXPECT_FALSE(view.checkUpdate(CRect(0, 41, 50, 60))); // below it
    EXPECT_FALSE(view.checkUpdate(CRect(0, 0, 50, 19)));  // above it
}

TEST(View, NewSizeMarksDirtyAndKeepsTheMouseableArea) {
    CView view(CRect(0, 0, 10, 10));
    EXPECT_FALSE(view.isDirty());
    view.setViewSize(CRect(5, 5, 20, 20));
    EXPECT_TRUE(view.isDirty());
    CRect rect;
    EXPECT_EQ(view.getViewSize(rect), CRect(5, 5, 20, 20));
    EXPECT_EQ(view.getMouseableArea(rect), CRect(0, 0, 10, 10));
    EXPECT_EQ(view.getEditor(), nullptr);
    VstKeyCode key{0, VKEY_UP, 0};
    EXPECT_EQ(view.onKeyDown(key), -1);
    EXPECT_EQ(view.onKeyUp(key), -1);
}

TEST(View, ForgetDestroysAtZeroOnly) {
    int destroyed = 0;
    CView* view = new CountedView(CRect(0, 0, 1, 1), destroyed);
    EXPECT_EQ(view->getNbReference(), 1);
    view->remember();
    view->forget();
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(view->getNbReference(), 1);
    view->forget();
    EXPECT_EQ(destroyed, 1);
}

TEST(Control, StartsWithTheListedValues) {
    PlainControl control(CRect(0, 0, 10, 10), nullptr, 7);
    EXPECT_EQ(control.getTag(), 7);
    EXPECT_EQ(control.getValue(), 0.0f);
    EXPECT_EQ(control.getOldValue(), 1.0f);
    EXPECT_EQ(control.getDefaultValue(), 0.5f);
    EXPECT_EQ(control.getMin(), 0.0f);
    EXPECT_EQ(control.getMax(), 1.0f);
    EXPECT_EQ(control.getWheelInc(), 0.1f);
    EXPECT_TRUE(control.getMouseEnabled());
    EXPECT_FALSE(control.getTransparency());
    // value 0 differs from the old value 1: a new control is due for drawing
    EXPECT_TRUE(control.isDirty());
}

TEST(Control, DirtyTrackingFollowsTheValue) {
    PlainControl control(CRect(0, 0, 10, 10));
    control.setValue(0.25f);
    control.setDirty(false);
    EXPECT_EQ(control.getOldValue(), 0.25f);
    EXPECT_FALSE(control.isDirty());

    control.setValue(0.3f);
    EXPECT_TRUE(control.isDirty());
    control.update(nullptr);
    EXPECT_EQ(control.draws, 1);
    EXPECT_FALSE(control.isDirty());
    control.update(nullptr);
    EXPECT_EQ(control.draws, 1);

    control.setDirty(true);
    EXPECT_EQ(control.getOldValue(), -1.0f);
    control.setValue(-1.0f);
    control.setDirty(true);
    EXPECT_EQ(control.getOldValue(), 0.0f);
    EXPECT_TRUE(control.isDirty());

    control.setValue(NAN);
    control.setDirty(false);
    EXPECT_TRUE(control.isDirty()); // NaN never equals the old value
}

TEST(Control, ValuesAreStoredUnclampedAndBouncedOnRequest) {
    PlainControl control(CRect(0, 0, 10, 10));
    control.setValue(1.5f);
    EXPECT_EQ(control.getValue(), 1.5f);
    control.bounceValue();
    EXPECT_EQ(control.getValue(), 1.0f);
    control.setValue(-0.5f);
    control.bounceValue();
    EXPECT_EQ(control.getValue(), 0.0f);

    // minimum above maximum: a value above the maximum becomes the maximum, nothing more
    control.setMin(0.8f);
    control.setMax(0.2f);
    control.setValue(0.5f);
    control.bounceValue();
    EXPECT_EQ(control.getValue(), 0.2f);
    control.setValue(0.1f);
    control.bounceValue();
    EXPECT_EQ(control.getValue(), 0.8f);
}

TEST(Control, HoldsOneReferenceOfItsBackground) {
    headless::reset();
    headless::registerBitmap(901, raster::PixelBuffer(4, 4, kTrack));
    headless::registerBitmap(902, raster::PixelBuffer(4, 4, kOn));
    CBitmap* first = new CBitmap(901);
    CBitmap* second = new CBitmap(902);
    {
        PlainControl control(CRect(0, 0, 10, 10), nullptr, 0, first);
        EXPECT_EQ(first->getNbReference(), 2);
        control.setBackground(first); // the same bitmap again keeps it alive
        EXPECT_EQ(first->getNbReference(), 2);
        control.setBackground(second);
        EXPECT_EQ(first->getNbReference(), 1);
        EXPECT_EQ(second->getNbReference(), 2);
        EXPECT_EQ(control.getBackground(), second);
    }
    EXPECT_EQ(second->getNbReference(), 1);
    first->forget();
    second->forget();
}

TEST(Control, CopyBackOffsetTakesTheTopLeftCorner) {
    class Probe : public PlainControl {
    public:
        using PlainControl::PlainControl;
        CPoint offset() const { return backOffset; }
    };
    Probe control(CRect(12, 34, 56, 78));
    EXPECT_EQ(control.offset(), CPoint(0, 0));
    control.copyBackOffset();
    EXPECT_EQ(control.offset(), CPoint(12, 34));
}
