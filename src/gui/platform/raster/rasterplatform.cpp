// The platform operations every back end built on the raster engine shares: offscreen surfaces
// are raster pictures.

#include "gui/platform/platform.h"
#include "gui/platform/raster/rasteroffscreen.h"

namespace quorvane::platform {

std::unique_ptr<Offscreen> createOffscreen(const Window*, int32_t width, int32_t height) {
    return raster::RasterOffscreen::create(width, height);
}

} // namespace quorvane::platform
