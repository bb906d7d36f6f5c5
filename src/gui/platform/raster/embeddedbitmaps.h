#pragma once
// The BMP files compiled into the binary. The table is generated at build time from the list
// of files (empty when there are none) and read once by the resource table.

#include <cstddef>
#include <cstdint>

namespace quorvane::raster {

struct EmbeddedBitmapEntry {
    int32_t id;
    const uint8_t* data; // the whole file, valid for the life of the process
    size_t size;
};

// The entries and their number; null with count 0 when nothing is embedded.
const EmbeddedBitmapEntry* embeddedBitmaps(size_t& count);

} // namespace quorvane::raster
