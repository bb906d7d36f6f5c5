#pragma once
// The pixel engine: a drawing device over a PixelBuffer with exact line, rectangle, copy and
// text rules. Shared by the headless and X11 back ends.

#include "gui/platform/raster/pixelsource.h"

namespace quorvane::raster {

class RasterFont;

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

    PixelBuffer& target() { return target_; }
    const PixelBuffer& target() const { return target_; }
    uint32_t penPixel() const { return penPixel_; }
    platform::PenStyle penStyle() const { return penStyle_; }
    uint32_t brushPixel() const { return brushPixel_; }
    uint32_t textPixel() const { return textPixel_; }
    uint32_t textBackPixel() const { return textBackPixel_; }
    platform::Point position() const { return position_; }
    // The font drawText uses (the default 12-pixel face until setFont), null if none was found.
    const RasterFont* font() const;
    // Bounding box of every pixel written since construction or clearDamage (right and bottom
    // exclusive); empty (left >= right) when nothing was written.
    platform::Rect damage() const { return damage_; }
    void clearDamage() { damage_ = platform::Rect{}; }

private:
    void plot(int32_t x, int32_t y);
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
