// Bitmaps of a back end built on the raster engine: the resource table compiled into the binary.
// Alone in its file, so that a back end that brings its own loadBitmap (the headless one, which
// adds the pictures tests register) links that one instead of this.

#include "gui/platform/platform.h"
#include "gui/platform/raster/resourcetable.h"

namespace quorvane::platform {

std::unique_ptr<Image> loadBitmap(int32_t id) {
    return raster::ResourceTable::instance().load(id);
}

} // namespace quorvane::platform
