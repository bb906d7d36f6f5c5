#include "gui/cparamdisplay.h"

#include "gui/cbitmap.h"

#include <cstdio>
#include <cstring>

namespace VSTGUI {

namespace {
// Converters get room well beyond the text length, so a long text is cut, not overflowed.
constexpr size_t kConvertBufferSize = 4096;
} // namespace

CParamDisplay::CParamDisplay(const CRect& size) : CControl(size, nullptr, 0, nullptr) {}

void CParamDisplay::draw(CDrawContext* context) {
    // convert into a roomy, zeroed buffer
    char text[kConvertBufferSize] = {};
    if (stringConvert2)
        stringConvert2(value, text, userData);
    else if (stringConvert)
        stringConvert(value, text);
    else
        std::snprintf(text, kTextLength + 1, "%2.2f", value);
    // cut to the display's text length
    text[kTextLength] = 0;
    text[kConvertBufferSize - 1] = 0;
    drawText(context, text);
}

void CParamDisplay::drawText(CDrawContext* context, const char* text, CBitmap* bitmap) {
    setDirty(false);
    if ((style & kNoDrawStyle) || !context) return;

    // background: a bitmap, or a plain fill with an outline unless a bevel follows
    CBitmap* image = bitmap ? bitmap : background;
    bool bevel = (style & (k3DIn | k3DOut)) != 0;
    if (image) {
        image->draw(context, size, backOffset, getTransparency());
    } else if (!getTransparency()) {
        context->setFillColor(backColor);
        context->fillRect(size);
        if (!bevel) {
            context->setFrameColor(frameColor);
            context->drawRect(size);
        }
    }

    // bevel: top row and left column in one colour, right column and bottom row in the other
    if (bevel) {
        bool in = (style & k3DIn) != 0;
        CPoint p{size.left, size.bottom};
        context->setFrameColor(in ? backColor : frameColor);
        context->moveTo(p);
        p = CPoint{size.left, size.top};
        context->lineTo(p);
        p = CPoint{size.right + 1, size.top};
        context->lineTo(p);
        context->setFrameColor(in ? frameColor : backColor);
        p = CPoint{size.right, size.top + 1};
        context->moveTo(p);
        p = CPoint{size.right, size.bottom};
        context->lineTo(p);
        p = CPoint{size.left, size.bottom};
        context->lineTo(p);
    }

    // text, with its shadow one pixel right and down first
    if ((style & kNoTextStyle) || !text) return;
    context->setFont(fontID, txtFace);
    bool opaque = !textTransparencyEnabled;
    if (style & kShadowText) {
        CRect shadow{size.left + 1, size.top + 1, size.right + 1, size.bottom + 1};
        context->setFontColor(shadowColor);
        context->drawString(text, shadow, opaque, horiTxtAlign);
    }
    context->setFontColor(fontColor);
    context->drawString(text, size, opaque, horiTxtAlign);
}

bool CParamDisplay::replaceColor(CColor& field, const CColor& color) {
    bool changed = !field.sameRgb(color);
    field = color;
    return changed;
}

void CParamDisplay::setFont(int32_t newFontID) {
    if (newFontID != fontID) setDirty(true);
    fontID = newFontID;
}

void CParamDisplay::setFontColor(const CColor& color) {
    if (replaceColor(fontColor, color)) setDirty(true);
}

void CParamDisplay::setBackColor(const CColor& color) {
    if (replaceColor(backColor, color)) setDirty(true);
}

void CParamDisplay::setFrameColor(const CColor& color) {
    if (replaceColor(frameColor, color)) setDirty(true);
}

void CParamDisplay::setShadowColor(const CColor& color) {
    if (replaceColor(shadowColor, color)) setDirty(true);
}

void CParamDisplay::setHoriAlign(int32_t alignment) {
    if (alignment != horiTxtAlign) setDirty(true);
    horiTxtAlign = alignment;
}

void CParamDisplay::setStringConvert(CParamDisplayConvertWithData convert, void* data) {
    stringConvert2 = convert;
    userData = data;
}

void CParamDisplay::setStringConvert(CParamDisplayConvert convert) {
    stringConvert = convert;
}

void CParamDisplay::setReserved(void* data) {
    reserved = data;
}

void CParamDisplay::setStyle(int32_t newStyle) {
    if (newStyle != style) setDirty(true);
    style = newStyle;
}

void CParamDisplay::setTxtFace(int32_t face) {
    if (face != txtFace) setDirty(true);
    txtFace = face;
}

void CParamDisplay::setTextTransparency(bool flag) {
    textTransparencyEnabled = flag;
}

} // namespace VSTGUI
