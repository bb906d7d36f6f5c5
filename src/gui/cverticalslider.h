#pragma once
// The vertical slider the editor creates: a CSlider with the vertical, bottom-origin style.

#include "gui/cslider.h"

namespace VSTGUI {

// Same contracts as CSlider.
class CVerticalSlider : public CSlider {
public:
    CVerticalSlider(const CRect& size, CControlListener* listener, int32_t tag, int32_t minPos,
                    int32_t maxPos, CBitmap* handle, CBitmap* background, const CPoint& offset,
                    int32_t style = kVertical | kBottom);
};

} // namespace VSTGUI
