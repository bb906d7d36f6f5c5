#include "gui/cbitmap.h"

namespace VSTGUI {

namespace platform = quorvane::platform;

CBitmap::CBitmap(int32_t resourceId) : resourceId(resourceId) {
    image = platform::loadBitmap(resourceId & 0xFFFF);
    if (!image) return;
    width = image->width();
    height = image->height();
}

CBitmap::~CBitmap() = default;

void CBitmap::forget() {
    if (nbReference <= 0) return;
    if (--nbReference == 0) delete this;
}

void CBitmap::draw(CDrawContext* context, const CRect& rect, const CPoint& offset) {
    if (!image || !context || !context->getDevice()) return;
    context->getDevice()->copyImage(*image, {rect.left, rect.top, rect.right, rect.bottom},
                                    {offset.h, offset.v});
}

void CBitmap::drawTransparent(CDrawContext* context, const CRect& rect, const CPoint& offset) {
    if (!image || !context || !context->getDevice()) return;
    context->getDevice()->copyImageKeyed(*image, {rect.left, rect.top, rect.right, rect.bottom},
                                         {offset.h, offset.v}, transparentColor.platformValue());
}

void CBitmap::draw(CDrawContext* context, const CRect& rect, const CPoint& offset,
                   bool transparent) {
    if (transparent)
        drawTransparent(context, rect, offset);
    else
        draw(context, rect, offset);
}

} // namespace VSTGUI
