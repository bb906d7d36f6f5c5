#include "gui/cverticalswitch.h"

#include "gui/cbitmap.h"
#include "shell/saturatingtruncate.h"

namespace VSTGUI {

CVerticalSwitch::CVerticalSwitch(const CRect& size, CControlListener* listener, int32_t tag,
                                 int32_t subPixmaps, int32_t heightOfOneImage,
                                 int32_t iMaxPositions, CBitmap* background, const CPoint& offset)
    : CControl(size, listener, tag, background), offset(offset), subPixmaps(subPixmaps),
      heightOfOneImage(heightOfOneImage), iMaxPositions(iMaxPositions) {
    setDefaultValue(0.0f);
}

void CVerticalSwitch::draw(CDrawContext* context) {
    if (background && context) {
        // the images are always taken from x = 0 of the bitmap
        int32_t k = saturatingTruncate(static_cast<float>(iMaxPositions - 1) * value + 0.5f);
        // a value far outside 0 .. 1 points far outside the bitmap, never back into it
        CPoint where{0, saturatingTruncate(static_cast<double>(k) * heightOfOneImage)};
        background->draw(context, size, where, getTransparency());
    }
    setDirty(false);
}

float CVerticalSwitch::valueAt(int32_t y) const {
    // a single position has nothing to choose from: it is always 0
    if (iMaxPositions <= 1) return 0.0f;
    double coef = static_cast<double>(heightOfOneImage) / static_cast<double>(iMaxPositions);
    int32_t k = saturatingTruncate(static_cast<double>(y - size.top) / coef);
    float v = static_cast<float>(k) / static_cast<float>(iMaxPositions - 1);
    if (v > 1.0f)
        v = 1.0f;
    else if (v < 0.0f)
        v = 0.0f;
    return v;
}

void CVerticalSwitch::mouse(CDrawContext* context, CPoint& where) {
    if (!getMouseEnabled()) return;
    int32_t buttons = getMouseButtons();
    if (!(buttons & kLButton)) return;
    if (buttons == (kLButton | kControl)) {
        applyDefaultValue(context);
        return;
    }
    beginEdit();
    do {
        // compute, notify, poll and idle; a host that closed the editor meanwhile hears nothing
        value = valueAt(where.v);
        notifyChange(context);
        if (context) context->getMouseLocation(where);
        if (!trackingIdle()) return;
    } while (getMouseButtons() == buttons);
    endEdit();
}

} // namespace VSTGUI
