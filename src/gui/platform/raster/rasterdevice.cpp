#include "gui/platform/raster/rasterdevice.h"

#include "gui/platform/raster/fontcache.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace quorvane::raster {

namespace {

// Blends colour over dst with coverage a (0..255), rounding to nearest.
inline uint32_t blend(uint32_t dst, uint32_t colour, uint32_t a) {
    const uint32_t na = 255 - a;
    const uint32_t r = (redOf(colour) * a + redOf(dst) * na + 127) / 255;
    const uint32_t g = (greenOf(colour) * a + greenOf(dst) * na + 127) / 255;
    const uint32_t b = (blueOf(colour) * a + blueOf(dst) * na + 127) / 255;
    return rgb(r, g, b);
}

// floor(n / d) for d > 0.
inline int64_t floorDiv(int64_t n, int64_t d) {
    return n >= 0 ? n / d : -((-n + d - 1) / d);
}

// Lines with an end this far away are not drawn, which keeps the step arithmetic in 64 bits.
constexpr int64_t kFarthest = int64_t(1) << 28;
inline bool drawable(platform::Point p) {
    return std::llabs(p.x) < kFarthest && std::llabs(p.y) < kFarthest;
}

// Half-open interval intersection helpers on int64 to keep far-away coordinates exact.
struct Span {
    int64_t lo;
    int64_t hi; // exclusive
};

} // namespace

void RasterDevice::setPen(platform::Colour colour, platform::PenStyle style) {
    penPixel_ = pixelOf(colour);
    penStyle_ = style;
}

bool RasterDevice::setBrush(platform::Colour colour) {
    brushPixel_ = pixelOf(colour);
    return true;
}

void RasterDevice::setFont(const platform::FontSpec& font) {
    font_ = FontCache::instance().get(font);
    fontChosen_ = true;
}

const RasterFont* RasterDevice::font() const {
    if (!fontChosen_) return FontCache::instance().get(platform::FontSpec{});
    return font_;
}

void RasterDevice::moveTo(platform::Point p) {
    position_ = p;
    dashPhase_ = 0;
}

// Steps along the major axis one pixel at a time; the minor coordinate of step i is the
// nearest pixel to the ideal line (halves round away from the start). Only the steps whose
// major coordinate lies on the surface are visited, so far-away lines cost nothing.
void RasterDevice::lineTo(platform::Point p) {
    const platform::Point from = position_;
    position_ = p;
    const int64_t dx = int64_t(p.x) - from.x;
    const int64_t dy = int64_t(p.y) - from.y;
    const int64_t adx = std::llabs(dx);
    const int64_t ady = std::llabs(dy);
    const int64_t steps = std::max(adx, ady);
    if (steps == 0 || !drawable(from) || !drawable(p)) return;
    const bool xMajor = adx >= ady;
    const int64_t major0 = xMajor ? from.x : from.y;
    const int64_t minor0 = xMajor ? from.y : from.x;
    const int64_t majorSign = (xMajor ? dx : dy) < 0 ? -1 : 1;
    const int64_t minorSign = (xMajor ? dy : dx) < 0 ? -1 : 1;
    const int64_t minorDelta = xMajor ? ady : adx;
    const int64_t majorLimit = xMajor ? target_.width() : target_.height();

    // Steps i in [0, steps) whose major coordinate major0 + sign * i is inside [0, limit).
    int64_t first = 0;
    int64_t last = steps; // exclusive
    if (majorSign > 0) {
        first = std::max<int64_t>(first, -major0);
        last = std::min<int64_t>(last, majorLimit - major0);
    } else {
        first = std::max<int64_t>(first, major0 - (majorLimit - 1));
        last = std::min<int64_t>(last, major0 + 1);
    }
    const bool dotted = penStyle_ == platform::PenStyle::kDotted;
    for (int64_t i = first; i < last; ++i) {
        if (dotted && ((dashPhase_ + uint64_t(i)) & 1u)) continue;
        const int64_t major = major0 + majorSign * i;
        const int64_t minor = minor0 + minorSign * floorDiv(2 * i * minorDelta + steps, 2 * steps);
        const int64_t x = xMajor ? major : minor;
        const int64_t y = xMajor ? minor : major;
        if (!target_.contains(int32_t(x), int32_t(y))) continue;
        target_.row(int32_t(y))[x] = penPixel_;
        addDamage(int32_t(x), int32_t(y), int32_t(x) + 1, int32_t(y) + 1);
    }
    dashPhase_ = uint32_t((dashPhase_ + uint64_t(steps)) & 1u);
}

void RasterDevice::frameRect(const platform::Rect& r) {
    moveTo({r.left, r.top});
    lineTo({r.right, r.top});
    lineTo({r.right, r.bottom});
    lineTo({r.left, r.bottom});
    lineTo({r.left, r.top});
}

void RasterDevice::fillRect(const platform::Rect& r) {
    fill(int64_t(r.left) + 1, int64_t(r.top) + 1, r.right, r.bottom, brushPixel_);
}

void RasterDevice::fill(int64_t left, int64_t top, int64_t right, int64_t bottom, uint32_t pixel) {
    left = std::max<int64_t>(left, 0);
    top = std::max<int64_t>(top, 0);
    right = std::min<int64_t>(right, target_.width());
    bottom = std::min<int64_t>(bottom, target_.height());
    if (left >= right || top >= bottom) return;
    for (int64_t y = top; y < bottom; ++y) {
        uint32_t* row = target_.row(int32_t(y));
        std::fill(row + left, row + right, pixel);
    }
    addDamage(int32_t(left), int32_t(top), int32_t(right), int32_t(bottom));
}

void RasterDevice::drawText(const char* text, const platform::Rect& r, platform::TextAlign align,
                            bool opaque) {
    // layout: one line, vertically centred, aligned in [left, right)
    const RasterFont* f = font();
    if (!text || !f) return;
    const int32_t textWidth = f->textWidth(text);
    const int64_t boxWidth = int64_t(r.right) - r.left;
    int64_t x = r.left;
    if (align == platform::TextAlign::kCenter) x = r.left + (boxWidth - textWidth) / 2;
    if (align == platform::TextAlign::kRight) x = int64_t(r.right) - textWidth;
    const int64_t top = r.top + (int64_t(r.bottom) - r.top - f->lineHeight()) / 2;
    const int64_t baseline = top + f->ascent();

    // clip: the rect (right and bottom excluded) on the surface
    const Span clipX{std::max<int64_t>(r.left, 0), std::min<int64_t>(r.right, target_.width())};
    const Span clipY{std::max<int64_t>(r.top, 0), std::min<int64_t>(r.bottom, target_.height())};
    if (clipX.lo >= clipX.hi || clipY.lo >= clipY.hi) return;

    // background: the text's line box
    auto fillBox = [&](int64_t l, int64_t t, int64_t rr, int64_t b, uint32_t pixel) {
        fill(std::max(l, clipX.lo), std::max(t, clipY.lo), std::min(rr, clipX.hi),
             std::min(b, clipY.hi), pixel);
    };
    if (opaque) fillBox(x, top, x + textWidth, top + f->lineHeight(), textBackPixel_);

    // glyphs, blended in the text colour
    int64_t pen = x;
    for (const char* c = text; *c; ++c) {
        const Glyph& g = f->glyph(uint8_t(*c));
        const int64_t gx = pen + g.left;
        const int64_t gy = baseline - g.top;
        const int64_t x0 = std::max(gx, clipX.lo), x1 = std::min(gx + g.width, clipX.hi);
        const int64_t y0 = std::max(gy, clipY.lo), y1 = std::min(gy + g.height, clipY.hi);
        for (int64_t y = y0; y < y1; ++y) {
            uint32_t* row = target_.row(int32_t(y));
            const uint8_t* cov = g.coverage.data() + size_t(y - gy) * size_t(g.width);
            for (int64_t px = x0; px < x1; ++px) {
                const uint32_t a = cov[px - gx];
                if (a) row[px] = a == 255 ? textPixel_ : blend(row[px], textPixel_, a);
            }
        }
        if (x0 < x1 && y0 < y1) addDamage(int32_t(x0), int32_t(y0), int32_t(x1), int32_t(y1));
        pen += g.advance;
    }

    // underline across the text's width
    if (f->underline()) {
        const int64_t uy = baseline + f->underlineOffset();
        fillBox(x, uy, x + textWidth, uy + f->underlineThickness(), textPixel_);
    }
}

void RasterDevice::copyImage(const platform::Image& image, const platform::Rect& dst,
                             platform::Point src) {
    copy(image, dst, src, false, 0);
}

void RasterDevice::copyImageKeyed(const platform::Image& image, const platform::Rect& dst,
                                  platform::Point src, platform::Colour key) {
    copy(image, dst, src, true, pixelOf(key));
}

void RasterDevice::copy(const platform::Image& image, const platform::Rect& dst,
                        platform::Point src, bool keyed, uint32_t keyPixel) {
    // clip: i, j such that both source and destination pixels exist
    const PixelBuffer* from = pixelsOf(image);
    if (!from || from->empty()) return;
    const int64_t w = int64_t(dst.right) - dst.left;
    const int64_t h = int64_t(dst.bottom) - dst.top;
    const int64_t i0 = std::max<int64_t>({0, -int64_t(src.x), -int64_t(dst.left)});
    const int64_t i1 =
        std::min<int64_t>({w, int64_t(from->width()) - src.x, int64_t(target_.width()) - dst.left});
    const int64_t j0 = std::max<int64_t>({0, -int64_t(src.y), -int64_t(dst.top)});
    const int64_t j1 = std::min<int64_t>(
        {h, int64_t(from->height()) - src.y, int64_t(target_.height()) - dst.top});
    if (i0 >= i1 || j0 >= j1) return;

    // rows: bottom-up when copying downwards within the same buffer
    const bool upward = from == &target_ && int64_t(dst.top) > src.y;
    const size_t count = size_t(i1 - i0);
    for (int64_t n = 0; n < j1 - j0; ++n) {
        const int64_t j = upward ? j1 - 1 - n : j0 + n;
        const uint32_t* s = from->row(int32_t(src.y + j)) + (src.x + i0);
        uint32_t* d = target_.row(int32_t(dst.top + j)) + (dst.left + i0);
        if (!keyed) {
            std::memmove(d, s, count * sizeof(uint32_t));
            continue;
        }
        for (size_t k = 0; k < count; ++k)
            if ((s[k] & 0xFFFFFF) != keyPixel) d[k] = s[k];
    }
    addDamage(int32_t(dst.left + i0), int32_t(dst.top + j0), int32_t(dst.left + i1),
              int32_t(dst.top + j1));
}

void RasterDevice::addDamage(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    damage_ = unite(damage_, {left, top, right, bottom});
}

platform::Rect unite(const platform::Rect& a, const platform::Rect& b) {
    if (a.left >= a.right || a.top >= a.bottom) return b;
    if (b.left >= b.right || b.top >= b.bottom) return a;
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

} // namespace quorvane::raster
