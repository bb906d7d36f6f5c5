#pragma once
// A level meter: the lit part of an "on" bitmap beside the unlit part of an "off" bitmap.

#include "gui/ccontrol.h"

namespace VSTGUI {

// Holds one reference of each bitmap. No listener; clicks are taken without effect.
// Editor thread. The shown level rises at once and falls by at most the decrease value per
// drawing, so a falling meter stays dirty until it has reached its value.
class CVuMeter : public CControl {
public:
    // style kHorizontal fills from the left, otherwise the meter fills from the bottom up.
    CVuMeter(const CRect& size, CBitmap* onBitmap, CBitmap* offBitmap, int32_t nbLed,
             int32_t style = kHorizontal);
    // Releases both bitmaps.
    ~CVuMeter() override;

    // Draws the shown level, quantised to whole LEDs, and moves it one step toward the value.
    void draw(CDrawContext* context) override;
    // Only the flag: the shown level (the old value) is left to draw.
    void setDirty(bool flag = true) override;
    virtual void setDecreaseStepValue(float v);

protected:
    // Clamps the value into its range and lets the shown level (the old value) follow it: a
    // rise at once, a fall by at most the decrease value. Answers the shown level.
    float followValue();

    CBitmap* onBitmap;
    CBitmap* offBitmap;
    int32_t nbLed;
    int32_t style;
    float decreaseValue = 0.1f;
    CRect rectOn;
    CRect rectOff;
};

} // namespace VSTGUI
