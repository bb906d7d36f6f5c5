#include "gui/platform/raster/pixelsource.h"

namespace quorvane::raster {

const PixelBuffer* pixelsOf(const platform::Image& image) {
    const auto* source = dynamic_cast<const PixelSource*>(&image);
    return source ? &source->pixels() : nullptr;
}

} // namespace quorvane::raster
