#pragma once
// The bitmap resources of the module, by id: BMP files compiled into the binary and pictures
// that tests register.

#include "gui/platform/raster/rasterimage.h"

#include <cstddef>
#include <map>
#include <memory>
#include <mutex>

namespace quorvane::raster {

// Process-wide; editors on several threads load from it at once (under its mutex). Starts with the
// embedded BMP files; ids are taken modulo 65536, as resource ids are 16 bits.
class ResourceTable {
public:
    static ResourceTable& instance();

    // A BMP file image that stays valid for the life of the process (not copied).
    void addBmp(int32_t id, const uint8_t* data, size_t size);
    // A ready picture (copied).
    void addPixels(int32_t id, const PixelBuffer& pixels);
    void remove(int32_t id);
    // A fresh image of resource id, or null when there is none or it cannot be decoded.
    std::unique_ptr<RasterImage> load(int32_t id) const noexcept;

private:
    ResourceTable();

    struct Entry {
        const uint8_t* bmp = nullptr;
        size_t size = 0;
        std::shared_ptr<const PixelBuffer> pixels;
    };
    mutable std::mutex mutex_;
    std::map<int32_t, Entry> entries_;
};

} // namespace quorvane::raster
