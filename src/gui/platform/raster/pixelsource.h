#pragma once
// Access to the pixels behind a raster image or offscreen surface, for copies between them.

#include "gui/platform/raster/pixelbuffer.h"

namespace quorvane::raster {

class PixelSource {
public:
    virtual ~PixelSource() = default;
    virtual const PixelBuffer& pixels() const = 0;
};

// The pixels behind image, or null when image is not a raster image.
const PixelBuffer* pixelsOf(const platform::Image& image);

} // namespace quorvane::raster
