#include "gui/cvumeter.h"

#include "gui/cbitmap.h"
#include "shell/saturatingtruncate.h"

#include <utility>

namespace VSTGUI {

CVuMeter::CVuMeter(const CRect& size, CBitmap* onBitmap, CBitmap* offBitmap, int32_t nbLed,
                   int32_t style)
    : CControl(size, nullptr, 0, nullptr), onBitmap(onBitmap), offBitmap(offBitmap), nbLed(nbLed),
      style(style), rectOn(size) {
    if (onBitmap) onBitmap->remember();
    if (offBitmap) offBitmap->remember();
    if (rectOn.left > rectOn.right) std::swap(rectOn.left, rectOn.right);
    if (rectOn.top > rectOn.bottom) std::swap(rectOn.top, rectOn.bottom);
    rectOff = rectOn;
}

CVuMeter::~CVuMeter() {
    if (onBitmap) onBitmap->forget();
    if (offBitmap) offBitmap->forget();
}

void CVuMeter::setDirty(bool flag) {
    CView::setDirty(flag);
}

void CVuMeter::setDecreaseStepValue(float v) {
    decreaseValue = v;
}

float CVuMeter::followValue() {
    bounceValue();
    float shown = oldValue - decreaseValue;
    if (value > shown) shown = value;
    oldValue = shown;
    return shown;
}

void CVuMeter::draw(CDrawContext* context) {
    if (!onBitmap) return;
    const float shown = followValue();

    // move the edge where the lit and the unlit part meet, on whole LEDs
    float leds = static_cast<float>(nbLed);
    CPoint pointOn{0, 0};
    CPoint pointOff{0, 0};
    if (style & kHorizontal) {
        int32_t lit = saturatingTruncate(shown * leds + 0.5f);
        int32_t x = saturatingTruncate(static_cast<float>(lit) / leds *
                                       static_cast<float>(onBitmap->getWidth()));
        rectOff.left = rectOn.left + x;
        rectOn.right = rectOn.left + x;
        pointOff = CPoint{x, 0};
    } else {
        int32_t lit = saturatingTruncate((getMax() - shown) * leds + 0.5f);
        int32_t y = saturatingTruncate(static_cast<float>(lit) / leds *
                                       static_cast<float>(onBitmap->getHeight()));
        rectOff.bottom = rectOff.top + y;
        rectOn.top = rectOff.top + y;
        pointOn = CPoint{0, y};
    }

    // draw both parts, each from the same place in its own image
    if (context) {
        if (offBitmap) offBitmap->draw(context, rectOff, pointOff, getTransparency());
        onBitmap->draw(context, rectOn, pointOn, getTransparency());
    }
    setDirty(false);
}

} // namespace VSTGUI
