#include "gui/platform/raster/resourcetable.h"

#include "gui/platform/raster/bmpdecoder.h"
#include "gui/platform/raster/embeddedbitmaps.h"

#include <new>

namespace quorvane::raster {

ResourceTable& ResourceTable::instance() {
    static ResourceTable table;
    return table;
}

ResourceTable::ResourceTable() {
    size_t count = 0;
    const EmbeddedBitmapEntry* entries = embeddedBitmaps(count);
    for (size_t i = 0; i < count; ++i)
        addBmp(entries[i].id, entries[i].data, entries[i].size);
}

void ResourceTable::addBmp(int32_t id, const uint8_t* data, size_t size) {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_[id & 0xFFFF] = Entry{data, size, nullptr};
}

void ResourceTable::addPixels(int32_t id, const PixelBuffer& pixels) {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_[id & 0xFFFF] = Entry{nullptr, 0, std::make_shared<const PixelBuffer>(pixels)};
}

void ResourceTable::remove(int32_t id) {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.erase(id & 0xFFFF);
}

std::unique_ptr<RasterImage> ResourceTable::load(int32_t id) const noexcept {
    try {
        // the entry is copied out, so the decoding runs without the lock
        Entry entry;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            auto it = entries_.find(id & 0xFFFF);
            if (it == entries_.end()) return nullptr;
            entry = it->second;
        }
        if (entry.pixels) return std::make_unique<RasterImage>(*entry.pixels);
        PixelBuffer pixels;
        if (!decodeBmp(entry.bmp, entry.size, pixels)) return nullptr;
        return std::make_unique<RasterImage>(std::move(pixels));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

} // namespace quorvane::raster
