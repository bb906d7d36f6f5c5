#pragma once
// The pixel engine: a drawing device over a PixelBuffer with exact line, rectangle, copy and
// text rules. Shared by the headless and X11 back ends.

#include "gui/platform/raster/pixelsource.h"

#include <utility>

namespace quorvane::raster {

class RasterFont;

// The smallest rectangle holding a and b (right and bottom exclusive); an empty one (left >= right
// or top >= bottom) adds nothing.
platform::Rect unite(const platform::Rect& a, const platform::Rect& b);

// Draws into a buffer it does not own; the buffer must outlive it and keep its size while the
// device draws. Allocates nothing while drawing (fonts and glyphs are cached process-wide the
// first time they are used). Every call clips to the buffer.
class RasterDevice : public platform::Device {
public:
    explicit RasterDevice(PixelBuffer& target) : target_(target) {}

    void setPen(platform::Colour colour, platform::PenStyle style) override;
    bool setBrush(platform::Colour colour) override;
    void setTextColour(platform::Colour colour) override { textPixel_ = pixelOf(colour); }
    void setTextBackground(platform::Colour colour) override { textBackPixel_ = pixelOf(colour); }
    void setFont(const platform::FontSpec& font) override;

    void moveTo(platform::Point p) override;
    // Dotted pens set every other pixel, starting with the first pixel after a moveTo; the
    // pattern runs on across consecutive lineTo calls. A line with an end 2^28 pixels or more
    // from the origin is not drawn.
    void lineTo(platform::Point p) override;
    // Leaves the current position at (left, top).
    void frameRect(const platform::Rect& r) override;
    void fillRect(const platform::Rect& r) override;
    // Anti-aliased glyphs blended in the text colour; opaque fills the text's line box (text
    // width x ascent + descent) clipped to the rect with the text background first.
    void drawText(const char* text, const platform::Rect& r, platform::TextAlign align,
                  bool opaque) override;
    void copyImage(const platform::Image& image, const platform::Rect& dst,
                   platform::Point src) override;
    void copyImageKeyed(const platform::Image& image, const platform::Rect& dst,
                        platform::Point src, platform::Colour key) override;

    const PixelBuffer& target() const { return target_; }
    platform::Point position() const { return position_; }
    // The font drawText uses (the default 12-pixel face until setFont), null if none was found.
    const RasterFont* font() const;
    // Bounding box of every pixel written since construction (right and bottom exclusive);
    // empty (left >= right) when nothing was written.
    platform::Rect damage() const { return damage_; }
    // The damage so far, which starts again empty.
    platform::Rect takeDamage() { return std::exchange(damage_, platform::Rect{}); }

private:
    // Sets [left, right) x [top, bottom), clipped to the surface, to pixel.
    void fill(int64_t left, int64_t top, int64_t right, int64_t bottom, uint32_t pixel);
    void addDamage(int32_t left, int32_t top, int32_t right, int32_t bottom);
    void copy(const platform::Image& image, const platform::Rect& dst, platform::Point src,
              bool keyed, uint32_t keyPixel);

    PixelBuffer& target_;
    uint32_t penPixel_ = 0;
    platform::PenStyle penStyle_ = platform::PenStyle::kSolid;
    uint32_t brushPixel_ = rgb(255, 255, 255);
    uint32_t textPixel_ = 0;
    uint32_t textBackPixel_ = rgb(255, 255, 255);
    const RasterFont* font_ = nullptr;
    bool fontChosen_ = false;
    platform::Point position_;
    uint32_t dashPhase_ = 0;
    platform::Rect damage_;
};

} // namespace quorvane::raster
