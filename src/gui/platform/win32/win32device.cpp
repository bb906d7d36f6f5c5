#include "gui/platform/win32/win32device.h"

#include "gui/platform/win32/win32moduleuse.h"

#include <algorithm>
#include <cstring>

namespace quorvane::win32 {

namespace {

COLORREF colourRef(platform::Colour colour) {
    return COLORREF(colour & 0xFFFFFFu);
}

// One copy of a w x h area from (sx, sy) of an image to (x, y), with the source clipped to the
// image's bounds and the destination moved with it. False when nothing is left.
struct Copy {
    int x, y, w, h, sx, sy;
};
bool clipToImage(const platform::Image& image, const platform::Rect& dst, platform::Point src,
                 Copy& copy) {
    int64_t x = dst.left, y = dst.top, sx = src.x, sy = src.y;
    int64_t w = int64_t(dst.right) - dst.left, h = int64_t(dst.bottom) - dst.top;
    if (sx < 0) {
        x -= sx;
        w += sx;
        sx = 0;
    }
    if (sy < 0) {
        y -= sy;
        h += sy;
        sy = 0;
    }
    w = std::min<int64_t>(w, image.width() - sx);
    h = std::min<int64_t>(h, image.height() - sy);
    if (w <= 0 || h <= 0) return false;
    copy = {int(x), int(y), int(w), int(h), int(sx), int(sy)};
    return true;
}

} // namespace

Win32Device::Win32Device(HDC dc, HWND owner) : dc_(dc), owner_(owner) {
    if (!dc_) return;
    oldPen_ = GetCurrentObject(dc_, OBJ_PEN);
    oldBrush_ = GetCurrentObject(dc_, OBJ_BRUSH);
    oldFont_ = GetCurrentObject(dc_, OBJ_FONT);
    SetBkMode(dc_, TRANSPARENT);
}

Win32Device::~Win32Device() {
    release();
}

void Win32Device::release() {
    if (!dc_) return;
    // put back what was selected, then free what this device made
    if (oldPen_) SelectObject(dc_, oldPen_);
    if (oldBrush_) SelectObject(dc_, oldBrush_);
    if (oldFont_) SelectObject(dc_, oldFont_);
    if (pen_) DeleteObject(pen_);
    if (brush_) DeleteObject(brush_);
    if (font_) DeleteObject(font_);
    if (owner_) ReleaseDC(owner_, dc_);
    dc_ = nullptr;
    pen_ = brush_ = font_ = nullptr;
}

void Win32Device::replace(HGDIOBJ& mine, HGDIOBJ made) {
    SelectObject(dc_, made);
    if (mine) DeleteObject(mine);
    mine = made;
}

void Win32Device::setPen(platform::Colour colour, platform::PenStyle style) {
    if (!dc_) return;
    LOGPEN description{};
    description.lopnStyle = style == platform::PenStyle::kDotted ? PS_DOT : PS_SOLID;
    description.lopnWidth.x = 1;
    description.lopnColor = colourRef(colour);
    if (HPEN pen = CreatePenIndirect(&description)) replace(pen_, pen);
}

bool Win32Device::setBrush(platform::Colour colour) {
    if (!dc_) return false;
    LOGBRUSH description{};
    description.lbStyle = BS_SOLID;
    description.lbColor = colourRef(colour);
    HBRUSH brush = CreateBrushIndirect(&description);
    if (!brush) return false;
    replace(brush_, brush);
    return true;
}

void Win32Device::setTextColour(platform::Colour colour) {
    if (dc_) SetTextColor(dc_, colourRef(colour));
}

void Win32Device::setTextBackground(platform::Colour colour) {
    if (dc_) SetBkColor(dc_, colourRef(colour));
}

void Win32Device::setFont(const platform::FontSpec& font) {
    if (!dc_) return;
    LOGFONTA description{};
    description.lfHeight = -font.height; // character height, not cell height
    description.lfWeight = font.weight;
    description.lfItalic = font.italic;
    description.lfUnderline = font.underline;
    description.lfCharSet = ANSI_CHARSET;
    description.lfOutPrecision = OUT_STRING_PRECIS;
    description.lfClipPrecision = CLIP_STROKE_PRECIS;
    description.lfQuality = DEFAULT_QUALITY;
    description.lfPitchAndFamily = BYTE(font.pitchAndFamily);
    if (font.face) std::strncpy(description.lfFaceName, font.face, LF_FACESIZE - 1);
    if (HFONT made = CreateFontIndirectA(&description)) replace(font_, made);
}

void Win32Device::moveTo(platform::Point p) {
    if (dc_) MoveToEx(dc_, p.x, p.y, nullptr);
}

void Win32Device::lineTo(platform::Point p) {
    if (dc_) LineTo(dc_, p.x, p.y);
}

void Win32Device::frameRect(const platform::Rect& r) {
    if (!dc_) return;
    MoveToEx(dc_, r.left, r.top, nullptr);
    LineTo(dc_, r.right, r.top);
    LineTo(dc_, r.right, r.bottom);
    LineTo(dc_, r.left, r.bottom);
    LineTo(dc_, r.left, r.top);
}

void Win32Device::fillRect(const platform::Rect& r) {
    if (!dc_ || r.right - r.left < 2 || r.bottom - r.top < 2) return;
    RECT inside{r.left + 1, r.top + 1, r.right, r.bottom};
    ::FillRect(dc_, &inside, static_cast<HBRUSH>(GetCurrentObject(dc_, OBJ_BRUSH)));
}

void Win32Device::drawText(const char* text, const platform::Rect& r, platform::TextAlign align,
                           bool opaque) {
    if (!dc_ || !text) return;
    UINT flags = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX;
    if (align == platform::TextAlign::kCenter)
        flags |= DT_CENTER;
    else if (align == platform::TextAlign::kRight)
        flags |= DT_RIGHT;
    else
        flags |= DT_LEFT;
    RECT box{r.left, r.top, r.right, r.bottom};
    if (opaque) SetBkMode(dc_, OPAQUE);
    DrawTextA(dc_, text, -1, &box, flags);
    SetBkMode(dc_, TRANSPARENT);
}

void Win32Device::copyImage(const platform::Image& image, const platform::Rect& dst,
                            platform::Point src) {
    const auto* source = dynamic_cast<const Win32Source*>(&image);
    Copy c;
    if (!dc_ || !source || !clipToImage(image, dst, src, c)) return;
    BitBlt(dc_, c.x, c.y, c.w, c.h, source->sourceDC(), c.sx, c.sy, SRCCOPY);
}

void Win32Device::copyImageKeyed(const platform::Image& image, const platform::Rect& dst,
                                 platform::Point src, platform::Colour key) {
    const auto* source = dynamic_cast<const Win32Source*>(&image);
    Copy c;
    if (!dc_ || !source || !clipToImage(image, dst, src, c)) return;
    if (TransparentBltFn keyed = transparentBlt())
        keyed(dc_, c.x, c.y, c.w, c.h, source->sourceDC(), c.sx, c.sy, c.w, c.h, colourRef(key));
    else
        maskedCopy(dc_, c.x, c.y, c.w, c.h, source->sourceDC(), c.sx, c.sy, colourRef(key));
}

void maskedCopy(HDC destination, int x, int y, int w, int h, HDC source, int sx, int sy,
                COLORREF key) {
    // mask: 1 where the source has the key colour, 0 elsewhere
    HBITMAP mask = CreateBitmap(w, h, 1, 1, nullptr);
    HDC maskDC = CreateCompatibleDC(destination);
    if (!mask || !maskDC) {
        if (maskDC) DeleteDC(maskDC);
        if (mask) DeleteObject(mask);
        return;
    }
    HGDIOBJ oldMask = SelectObject(maskDC, mask);
    COLORREF sourceBack = SetBkColor(source, key);
    BitBlt(maskDC, 0, 0, w, h, source, sx, sy, SRCCOPY);
    SetBkColor(source, sourceBack);

    // combine: (destination ^ source) & mask ^ source keeps the destination under the key
    COLORREF back = SetBkColor(destination, RGB(255, 255, 255));
    COLORREF text = SetTextColor(destination, RGB(0, 0, 0));
    BitBlt(destination, x, y, w, h, source, sx, sy, SRCINVERT);
    BitBlt(destination, x, y, w, h, maskDC, 0, 0, SRCAND);
    BitBlt(destination, x, y, w, h, source, sx, sy, SRCINVERT);
    SetBkColor(destination, back);
    SetTextColor(destination, text);

    SelectObject(maskDC, oldMask);
    DeleteDC(maskDC);
    DeleteObject(mask);
}

} // namespace quorvane::win32
