#pragma once
// Plain geometry and colour records of the toolkit and its shared constants. Coordinates are
// pixels of the editor window (or of the surface drawn into), origin top-left, y downwards.

#include <cstdint>

namespace VSTGUI {

struct CPoint {
    int32_t h = 0; // x
    int32_t v = 0; // y

    constexpr CPoint() = default;
    constexpr CPoint(int32_t h, int32_t v) : h(h), v(v) {}

    constexpr bool operator==(const CPoint&) const = default;
};

// A point lies inside when left <= x <= right and top <= y <= bottom: all edges count.
struct CRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    constexpr CRect() = default;
    constexpr CRect(int32_t left, int32_t top, int32_t right, int32_t bottom)
        : left(left), top(top), right(right), bottom(bottom) {}

    constexpr int32_t width() const { return right - left; }
    constexpr int32_t height() const { return bottom - top; }
    CRect& offset(int32_t dx, int32_t dy) {
        left += dx;
        right += dx;
        top += dy;
        bottom += dy;
        return *this;
    }
    constexpr bool pointInside(const CPoint& p) const {
        return left <= p.h && p.h <= right && top <= p.v && p.v <= bottom;
    }
    constexpr bool operator==(const CRect&) const = default;
};

// Drawing uses red, green and blue; the fourth byte is carried along and ignored.
struct CColor {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    uint8_t unused = 0;

    // red + 256 * green + 65536 * blue
    constexpr uint32_t platformValue() const {
        return uint32_t(red) | (uint32_t(green) << 8) | (uint32_t(blue) << 16);
    }
    constexpr bool sameRgb(const CColor& o) const {
        return red == o.red && green == o.green && blue == o.blue;
    }
    constexpr bool operator==(const CColor&) const = default;
};

inline constexpr CColor kWhiteColor{255, 255, 255, 0};
inline constexpr CColor kBlackColor{0, 0, 0, 0};
inline constexpr CColor kRedColor{255, 0, 0, 0};

// Mouse-button and modifier bits, as getMouseButtons() reports them.
inline constexpr int32_t kLButton = 1;
inline constexpr int32_t kMButton = 2;
inline constexpr int32_t kRButton = 4;
inline constexpr int32_t kShift = 8;
inline constexpr int32_t kControl = 16;
inline constexpr int32_t kAlt = 32;

// Font ids: the toolkit's font table (size in pixels, face).
inline constexpr int32_t kFontBold12 = 0;  // 12 "Arial", always bold
inline constexpr int32_t kFontArial18 = 1; // 18 "Arial"
inline constexpr int32_t kFontArial14 = 2;
inline constexpr int32_t kFontArial12 = 3;
inline constexpr int32_t kFontArial11 = 4;
inline constexpr int32_t kFontArial10 = 5;
inline constexpr int32_t kFontArial9 = 6;
inline constexpr int32_t kFontSymbol13 = 7; // 13 "Symbol", decorative family
inline constexpr int32_t kNumFonts = 8;

// Text face bits.
inline constexpr int32_t kBoldFace = 1;
inline constexpr int32_t kItalicFace = 2;
inline constexpr int32_t kUnderlineFace = 4;

// Horizontal text alignment.
inline constexpr int32_t kLeftText = 0;
inline constexpr int32_t kCenterText = 1;
inline constexpr int32_t kRightText = 2;

// Line styles.
inline constexpr int32_t kLineSolid = 0;
inline constexpr int32_t kLineOnOffDash = 1;

} // namespace VSTGUI
