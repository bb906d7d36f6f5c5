#include "editor/cextendedvumeter.h"

#include "gui/cbitmap.h"
#include "shell/saturatingtruncate.h"

#include <algorithm>

namespace VSTGUI {

CExtendedVuMeter::CExtendedVuMeter(const CRect& size, CBitmap* onBitmap, CBitmap* offBitmap,
                                   int32_t nbLed, int32_t style)
    : CVuMeter(size, onBitmap, offBitmap, nbLed, style) {}

CExtendedVuMeter::~CExtendedVuMeter() = default;

void CExtendedVuMeter::draw(CDrawContext* context) {
    if (!onBitmap) return;
    // decay as the bar meter does; with a large decrease step the value shows at once
    const float shown = followValue();

    // cut the copies of the rectangles at the lit segment, then paint
    const Parts parts = (style & kHorizontal) ? horizontalParts(shown) : verticalParts(shown);
    if (context) paint(context, parts);
}

CExtendedVuMeter::Parts CExtendedVuMeter::horizontalParts(float shown) const {
    // in double precision, so a value just below a segment's boundary stays below it
    const double leds = nbLed;
    const double width = onBitmap->getWidth();
    const int32_t k1 = saturatingTruncate(shown * leds + 0.5);
    const int32_t k2 = saturatingTruncate(shown * leds - 0.5);
    const int32_t e1 = saturatingTruncate(k1 / leds * width);
    const int32_t e2 = saturatingTruncate(k2 / leds * width);

    Parts parts{rectOn, rectOff, rectOff, CPoint{e2, 0}, CPoint{e1, 0}, CPoint{0, 0}};
    parts.on.left = size.left + e2;
    parts.on.right = size.left + e1;
    parts.offA.left = size.left + e1;
    parts.offB.right = size.left + e2;
    return parts;
}

CExtendedVuMeter::Parts CExtendedVuMeter::verticalParts(float shown) {
    const double leds = nbLed;
    const double height = onBitmap->getHeight();
    const double top = getMax();

    Parts parts{rectOn, rectOff, rectOff, CPoint{0, 0}, CPoint{0, 0}, CPoint{0, 0}};
    if (shown <= 0.5f) {
        // the lit part grows from the bottom and fills the meter at one half
        const int32_t k = saturatingTruncate((top - 2.0 * shown) * leds + 0.5);
        const int32_t t = saturatingTruncate(k / leds * height);
        parts.on.top = size.top + t;
        parts.onSource = CPoint{0, t};
        parts.offA.bottom = size.top + t;
    } else {
        // then it shrinks from the bottom up to the top segment alone
        const double c = std::min<double>(shown, (2.0 * leds - 1.0) / (2.0 * leds));
        const int32_t k = saturatingTruncate((top - 2.0 * (c - 0.5)) * leds + 0.5);
        const int32_t t = saturatingTruncate(k / leds * height);
        parts.on.bottom = size.top + t;
        parts.offA.top = size.top + t;
        parts.offASource = CPoint{0, t};
    }
    return parts;
}

void CExtendedVuMeter::paint(CDrawContext* context, const Parts& parts) {
    const bool keyed = getTransparency();
    if (offBitmap) {
        if (keyed) {
            offBitmap->drawTransparent(context, parts.offA, parts.offASource);
        } else {
            offBitmap->draw(context, parts.offA, parts.offASource);
            offBitmap->draw(context, parts.offB, parts.offBSource);
        }
    }
    onBitmap->draw(context, parts.on, parts.onSource, keyed);
}

} // namespace VSTGUI
