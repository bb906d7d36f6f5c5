#pragma once
// A switch showing one of several images stacked in its bitmap; the click height picks it.

#include "gui/ccontrol.h"

namespace VSTGUI {

// Holds one reference of its background (as a control). Editor thread.
// With n positions the value takes k / (n - 1), k = 0 .. n - 1; image k starts at
// y = k * heightOfOneImage in the bitmap.
class CVerticalSwitch : public CControl {
public:
    CVerticalSwitch(const CRect& size, CControlListener* listener, int32_t tag, int32_t subPixmaps,
                    int32_t heightOfOneImage, int32_t iMaxPositions, CBitmap* background,
                    const CPoint& offset);

    // Draws the image of the current position.
    void draw(CDrawContext* context) override;
    // Picks the zone under the pointer until any button or modifier changes.
    void mouse(CDrawContext* context, CPoint& where) override;

protected:
    // The position value of the zone at window y, clamped to 0 .. 1.
    float valueAt(int32_t y) const;

    CPoint offset;
    int32_t subPixmaps;
    int32_t heightOfOneImage;
    int32_t iMaxPositions;
};

} // namespace VSTGUI
