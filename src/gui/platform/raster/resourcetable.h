#pragma once
// The bitmap resources compiled into the binary, by id.

#include "gui/platform/raster/rasterimage.h"

#include <cstddef>
#include <map>
#include <memory>

namespace quorvane::raster {

// Process-wide and fixed once built, so editors on several threads load from it at once. Ids are
// taken modulo 65536, as resource ids are 16 bits.
class ResourceTable {
public:
    static const ResourceTable& instance();

    // A fresh image of resource id, or null when there is none or it cannot be decoded.
    std::unique_ptr<RasterImage> load(int32_t id) const noexcept;

private:
    ResourceTable();

    struct Entry {
        const uint8_t* bmp = nullptr; // a BMP file image valid for the life of the process
        size_t size = 0;
    };
    std::map<int32_t, Entry> entries_;
};

} // namespace quorvane::raster
