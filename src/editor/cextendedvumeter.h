#pragma once
// A marker meter: lights only the segment at its value, to be stacked over a bar meter.

#include "gui/cvumeter.h"

namespace VSTGUI {

// Same construction, bitmaps and ownership as CVuMeter. Editor thread. Without an off image
// only the lit segment is painted and everything else in the rectangle keeps its pixels.
class CExtendedVuMeter : public CVuMeter {
public:
    CExtendedVuMeter(const CRect& size, CBitmap* onBitmap, CBitmap* offBitmap, int32_t nbLed,
                     int32_t style = kHorizontal);
    // Gives back the on and off images, as the base does.
    ~CExtendedVuMeter() override;

    // Horizontal: lights segment trunc(s * nbLed - 0.5) when s * nbLed >= 0.5, nothing below.
    // The stored on and off rectangles are the same afterwards; the dirty flag is left to update.
    void draw(CDrawContext* context) override;

private:
    // Where the lit part and the two unlit parts go, and where each is taken from.
    struct Parts {
        CRect on, offA, offB;
        CPoint onSource, offASource, offBSource;
    };
    Parts horizontalParts(float shown) const;
    Parts verticalParts(float shown);
    void paint(CDrawContext* context, const Parts& parts);
};

} // namespace VSTGUI
