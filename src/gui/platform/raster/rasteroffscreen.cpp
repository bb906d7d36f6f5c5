#include "gui/platform/raster/rasteroffscreen.h"

#include <new>

namespace quorvane::raster {

std::unique_ptr<RasterOffscreen> RasterOffscreen::create(int32_t width, int32_t height) noexcept {
    if (width <= 0 || height <= 0) return nullptr;
    std::unique_ptr<RasterOffscreen> surface(new (std::nothrow) RasterOffscreen());
    if (!surface || !surface->pixels_.resize(width, height)) return nullptr;
    return surface;
}

} // namespace quorvane::raster
