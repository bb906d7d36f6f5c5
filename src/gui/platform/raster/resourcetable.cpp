#include "gui/platform/raster/resourcetable.h"

#include "gui/platform/raster/bmpdecoder.h"
#include "gui/platform/raster/embeddedbitmaps.h"

#include <new>

namespace quorvane::raster {

const ResourceTable& ResourceTable::instance() {
    static const ResourceTable table;
    return table;
}

ResourceTable::ResourceTable() {
    size_t count = 0;
    const EmbeddedBitmapEntry* entries = embeddedBitmaps(count);
    for (size_t i = 0; i < count; ++i)
        entries_[entries[i].id & 0xFFFF] = Entry{entries[i].data, entries[i].size};
}

std::unique_ptr<RasterImage> ResourceTable::load(int32_t id) const noexcept {
    try {
        auto it = entries_.find(id & 0xFFFF);
        if (it == entries_.end()) return nullptr;
        PixelBuffer pixels;
        if (!decodeBmp(it->second.bmp, it->second.size, pixels)) return nullptr;
        return std::make_unique<RasterImage>(std::move(pixels));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

} // namespace quorvane::raster
