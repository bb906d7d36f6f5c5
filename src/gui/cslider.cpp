#include "gui/cslider.h"

#include "gui/cbitmap.h"
#include "gui/cframe.h"
#include "gui/coffscreencontext.h"
#include "shell/saturatingtruncate.h"

#include <new>

namespace VSTGUI {

CSlider::CSlider(const CRect& size, CControlListener* listener, int32_t tag, int32_t minPos,
                 int32_t maxPos, CBitmap* handle, CBitmap* background, const CPoint& offset,
                 int32_t style)
    : CControl(size, listener, tag, background), offset(offset), handle(handle), style(style) {
    if (handle) {
        handle->remember();
        widthOfSlider = handle->getWidth();
        heightOfSlider = handle->getHeight();
    }
    widthControl = size.right - size.left;
    heightControl = size.bottom - size.top;
    this->minPos = minPos - size.top;
    rangeHandle = maxPos - minPos;
    CSlider::setOffsetHandle(CPoint{0, 0});
}

CSlider::~CSlider() {
    // The frame normally frees the picture through removed(); a slider never added has none.
    freeOffscreen();
    if (handle) handle->forget();
}

bool CSlider::attached(CView* parent) {
    (void)parent;
    freeOffscreen();
    // Without memory for the picture the slider draws straight into the window instead.
    try {
        offscreen = new (std::nothrow)
            COffscreenContext(parentFrame, widthControl, heightControl, kBlackColor);
    } catch (...) {
        offscreen = nullptr;
    }
    if (offscreen && !offscreen->getImage()) freeOffscreen();
    return true;
}

bool CSlider::removed(CView* parent) {
    (void)parent;
    freeOffscreen();
    return true;
}

void CSlider::freeOffscreen() {
    delete offscreen;
    offscreen = nullptr;
}

CRect CSlider::handleRect() const {
    // compute: the handle's top follows 1 - value along the travel
    // (sums in double so that a value far outside 0 .. 1 saturates instead of wrapping around)
    float f = 1.0f - value;
    int32_t top = saturatingTruncate(offsetHandle.v + static_cast<double>(saturatingTruncate(
                                                          static_cast<float>(rangeHandle) * f)));
    // clamp: keep the handle inside the travel
    if (top < minTmp) top = minTmp;
    int32_t bottom = saturatingTruncate(static_cast<double>(top) + heightOfSlider);
    if (bottom > maxTmp) bottom = maxTmp;
    return CRect{offsetHandle.h, top, offsetHandle.h + widthOfSlider, bottom};
}

void CSlider::draw(CDrawContext* context) {
    // compose into the offscreen picture, or straight into the window without one
    CDrawContext* target = offscreen ? static_cast<CDrawContext*>(offscreen) : context;
    CPoint origin = offscreen ? CPoint{0, 0} : CPoint{size.left, size.top};
    if (target) {
        if (background) {
            CRect rect{origin.h, origin.v, origin.h + widthControl, origin.v + heightControl};
            background->draw(target, rect, offset, getTransparency());
        }
        if (handle) {
            CRect rect = handleRect().offset(origin.h, origin.v);
            handle->draw(target, rect, CPoint{0, 0}, drawTransparentEnabled);
        }
    }
    // copy the whole picture to the window in one opaque step
    if (offscreen && context) {
        CRect rect{size.left, size.top, size.left + widthControl, size.top + heightControl};
        offscreen->copyFrom(context, rect);
    }
    setDirty(false);
}

void CSlider::mouse(CDrawContext* context, CPoint& where) {
    if (!getMouseEnabled()) return;
    int32_t buttons = getMouseButtons();
    if (buttons == (kLButton | kControl)) {
        applyDefaultValue(context);
        return;
    }
    if (!(buttons & kLButton)) return;

    int32_t delta = size.top + offsetHandle.v;
    if (freeClick) {
        // the handle jumps so that the pointer sits on its middle row
        delta += heightOfSlider / 2 - 1;
    } else {
        // only a click on the handle starts a drag, which keeps the grip point
        int32_t left = offsetHandle.h + size.left;
        int32_t top = saturatingTruncate(static_cast<double>(saturatingTruncate(
                                             static_cast<float>(rangeHandle) * (1.0f - value))) +
                                         offsetHandle.v + size.top);
        CRect rect{left, top, left + widthOfSlider,
                   saturatingTruncate(static_cast<double>(top) + heightOfSlider)};
        if (!rect.pointInside(where)) return;
        delta += where.v - top;
    }
    track(context, where, delta, buttons);
}

void CSlider::track(CDrawContext* context, CPoint& where, int32_t delta, int32_t buttons) {
    float oldVal = value;
    int32_t oldButtons = buttons;
    beginEdit();
    if (parentFrame) parentFrame->setFocusView(this);
    while ((buttons = getMouseButtons()) & kLButton) {
        // a newly pressed Shift anchors the fine drag at the current value
        if (buttons != oldButtons && (buttons & kShift)) {
            oldButtons = buttons;
            oldVal = value;
        } else if (!(buttons & kShift)) {
            oldVal = value;
        }
        // compute: the pointer's place along the travel, 1 at the top
        value = static_cast<float>(where.v - delta) / static_cast<float>(rangeHandle);
        value = 1.0f - value;
        if (buttons & kShift) value = oldVal + (value - oldVal) / zoomFactor;
        // clamp and notify
        bounceValue();
        notifyChange(context);
        // poll and idle; a host that closed the editor meanwhile hears nothing more
        if (context) context->getMouseLocation(where);
        if (!trackingIdle()) return;
    }
    endEdit();
}

void CSlider::step(CDrawContext* context, float distance, bool fine) {
    if (fine)
        value = value + distance * wheelInc * 0.1f;
    else
        value = value + distance * wheelInc;
    bounceValue();
    notifyChange(context);
}

int32_t CSlider::onKeyDown(VstKeyCode& keyCode) {
    float distance;
    switch (keyCode.virt) {
    case VKEY_LEFT:
    case VKEY_DOWN:
        distance = -1.0f;
        break;
    case VKEY_UP:
    case VKEY_RIGHT:
        distance = 1.0f;
        break;
    default:
        return -1;
    }
    step(nullptr, distance, (keyCode.modifier & MODIFIER_SHIFT) != 0);
    return 1;
}

bool CSlider::onWheel(CDrawContext* context, const CPoint& where, float distance) {
    (void)where;
    if (!getMouseEnabled()) return false;
    step(context, distance, (getMouseButtons() & kShift) != 0);
    return true;
}

void CSlider::setDrawTransparentHandle(bool flag) {
    drawTransparentEnabled = flag;
}
void CSlider::setFreeClick(bool flag) {
    freeClick = flag;
}
bool CSlider::getFreeClick() {
    return freeClick;
}

void CSlider::setOffsetHandle(const CPoint& point) {
    offsetHandle = point;
    minTmp = offsetHandle.v + minPos;
    maxTmp = minTmp + rangeHandle + heightOfSlider;
}

void CSlider::setHandle(CBitmap* bitmap) {
    if (bitmap) bitmap->remember();
    if (handle) handle->forget();
    handle = bitmap;
    if (handle) {
        widthOfSlider = handle->getWidth();
        heightOfSlider = handle->getHeight();
    }
}

CBitmap* CSlider::getHandle() {
    return handle;
}
void CSlider::setZoomFactor(float factor) {
    zoomFactor = factor;
}
float CSlider::getZoomFactor() {
    return zoomFactor;
}

} // namespace VSTGUI
