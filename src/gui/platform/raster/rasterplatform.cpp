// The platform operations every back end built on the raster engine shares: offscreen surfaces
// are raster pictures and bitmaps come from the resource table compiled into the binary.

#include "gui/platform/platform.h"
#include "gui/platform/raster/rasteroffscreen.h"
#include "gui/platform/raster/resourcetable.h"

namespace quorvane::platform {

std::unique_ptr<Offscreen> createOffscreen(const Window*, int32_t width, int32_t height) {
    return raster::RasterOffscreen::create(width, height);
}

std::unique_ptr<Image> loadBitmap(int32_t id) {
    return raster::ResourceTable::instance().load(id);
}

} // namespace quorvane::platform
