#pragma once
// A view carrying one float value with a range, a default and a tag.

#include "gui/ccontrollistener.h"
#include "gui/cview.h"

namespace VSTGUI {

class CBitmap;

// Style bits of the controls.
enum {
    kHorizontal = 1 << 0,
    kVertical = 1 << 1,
    kShadowText = 1 << 2,
    kBottom = 1 << 6,
    k3DIn = 1 << 7,
    k3DOut = 1 << 8,
    kNoTextStyle = 1 << 11,
    kNoDrawStyle = 1 << 12,
};

// Holds one reference of its background bitmap. The listener is not owned. Editor thread.
class CControl : public CView {
public:
    CControl(const CRect& size, CControlListener* listener = nullptr, int32_t tag = 0,
             CBitmap* background = nullptr);
    // Releases the background.
    ~CControl() override;

    void draw(CDrawContext* context) override = 0;
    // Dirty when the value differs from the value last drawn, or when forced.
    bool isDirty() override;
    // true: forces a redraw; false: the current value counts as drawn.
    void setDirty(bool flag = true) override;

    // Lets the editor redraw and the host idle while a tracking loop runs.
    virtual void doIdleStuff();
    // One idle pass of a tracking loop: doIdleStuff, then false when the host closed the editor
    // (or made it open a new frame) from inside its idle. The loop must then leave at once and
    // send the host nothing more, not even the end of its edit; the control itself stays valid
    // until the click that started the loop returns.
    bool trackingIdle();
    // Stores v unchanged: no clamping, no notification.
    virtual void setValue(float v);
    virtual float getValue();
    virtual void setMin(float v);
    virtual float getMin();
    virtual void setMax(float v);
    virtual float getMax();
    virtual void setOldValue(float v);
    virtual float getOldValue();
    virtual void setDefaultValue(float v);
    virtual float getDefaultValue();
    virtual void setTag(int32_t newTag);
    // Takes a reference of bitmap and drops one of the previous background.
    virtual void setBackground(CBitmap* bitmap);
    virtual CBitmap* getBackground();
    virtual void setBackOffset(const CPoint& point);
    // The background offset becomes the control's top-left corner.
    virtual void copyBackOffset();
    virtual void setWheelInc(float v);
    virtual float getWheelInc();
    // Clamps the value to the maximum, else to the minimum.
    virtual void bounceValue();

    int32_t getTag() const { return tag; }
    CControlListener* getListener() const { return listener; }

protected:
    // Tells the listener when the value changed since it was last drawn.
    void notifyChange(CDrawContext* context);
    // Sets the default value and notifies: the Ctrl+click gesture.
    void applyDefaultValue(CDrawContext* context);
    // The edit bracket around a drag, sent to the effect through the frame's editor.
    void beginEdit();
    void endEdit();

    CControlListener* listener;
    int32_t tag;
    float oldValue = 1.0f;
    float defaultValue = 0.5f;
    float value = 0.0f;
    float vmin = 0.0f;
    float vmax = 1.0f;
    float wheelInc = 0.1f;
    CBitmap* background;
    CPoint backOffset;
};

} // namespace VSTGUI
