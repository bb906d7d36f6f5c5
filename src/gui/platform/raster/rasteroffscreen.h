#pragma once
// A memory surface: pixels with a raster device drawing into them.

#include "gui/platform/raster/rasterdevice.h"

#include <memory>

namespace quorvane::raster {

// Owns its pixels and its device.
class RasterOffscreen : public platform::Offscreen, public PixelSource {
public:
    // Null when the size is not positive or memory runs out.
    static std::unique_ptr<RasterOffscreen> create(int32_t width, int32_t height) noexcept;

    int32_t width() const override { return pixels_.width(); }
    int32_t height() const override { return pixels_.height(); }
    const PixelBuffer& pixels() const override { return pixels_; }
    PixelBuffer& pixels() { return pixels_; }
    platform::Device& device() override { return device_; }

private:
    RasterOffscreen() : device_(pixels_) {}

    PixelBuffer pixels_;
    RasterDevice device_;
};

} // namespace quorvane::raster
