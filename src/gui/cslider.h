#pragma once
// A slider: a handle bitmap moving along a track drawn by the background bitmap.

#include "gui/ccontrol.h"

namespace VSTGUI {

class COffscreenContext;

// Holds one reference of its handle (and, as a control, of its background). Owns the offscreen
// picture it composes in, which exists while the slider is in a frame. Editor thread.
// Value 1 puts the handle at the top of its travel, 0 at the bottom.
class CSlider : public CControl {
public:
    // minPos and maxPos are window y coordinates of the handle's travel.
    CSlider(const CRect& size, CControlListener* listener, int32_t tag, int32_t minPos,
            int32_t maxPos, CBitmap* handle, CBitmap* background, const CPoint& offset,
            int32_t style = kVertical | kBottom);
    // Releases the handle; the control releases the background.
    ~CSlider() override;

    // Composes track and handle offscreen, then copies them to context in one opaque step.
    void draw(CDrawContext* context) override;
    // Click, drag, Shift fine drag and Ctrl+click default; modal until the button is released.
    void mouse(CDrawContext* context, CPoint& where) override;
    // Arrow keys change the value by the wheel increment, a tenth of it with Shift.
    int32_t onKeyDown(VstKeyCode& keyCode) override;
    bool onWheel(CDrawContext* context, const CPoint& where, float distance) override;
    // Frees the offscreen picture.
    bool removed(CView* parent) override;
    // Creates the offscreen picture for the parent frame.
    bool attached(CView* parent) override;

    virtual void setDrawTransparentHandle(bool flag);
    virtual void setFreeClick(bool flag);
    virtual bool getFreeClick();
    // Handle position at the origin of the travel; recomputes the travel limits.
    virtual void setOffsetHandle(const CPoint& point);
    // Takes a reference of bitmap and drops the old handle; the travel limits stay.
    virtual void setHandle(CBitmap* bitmap);
    virtual CBitmap* getHandle();
    virtual void setZoomFactor(float factor);
    virtual float getZoomFactor();

protected:
    // Handle rectangle in slider coordinates for the current value.
    CRect handleRect() const;
    // The tracking loop of a drag; delta is the window y that maps to value 1.
    void track(CDrawContext* context, CPoint& where, int32_t delta, int32_t buttons);
    // Adds distance steps of the wheel increment (a tenth with fine set), clamps, notifies.
    void step(CDrawContext* context, float distance, bool fine);
    void freeOffscreen();

    CPoint offset;
    CPoint offsetHandle{0, 0};
    CBitmap* handle;
    COffscreenContext* offscreen = nullptr;
    int32_t widthOfSlider = 1;
    int32_t heightOfSlider = 1;
    int32_t rangeHandle;
    int32_t style;
    int32_t minTmp = 0;
    int32_t maxTmp = 0;
    int32_t minPos;
    int32_t widthControl;
    int32_t heightControl;
    float zoomFactor = 10.0f;
    bool drawTransparentEnabled = true;
    bool freeClick = true;
};

} // namespace VSTGUI
