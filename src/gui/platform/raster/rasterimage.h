#pragma once
// A read-only raster picture (a decoded bitmap resource).

#include "gui/platform/raster/pixelsource.h"

namespace quorvane::raster {

// Owns its pixels; immutable after construction.
class RasterImage : public platform::Image, public PixelSource {
public:
    explicit RasterImage(PixelBuffer pixels) : pixels_(std::move(pixels)) {}
    int32_t width() const override { return pixels_.width(); }
    int32_t height() const override { return pixels_.height(); }
    const PixelBuffer& pixels() const override { return pixels_; }

private:
    PixelBuffer pixels_;
};

} // namespace quorvane::raster
