#include "gui/platform/raster/pixelbuffer.h"

#include <algorithm>
#include <new>

namespace quorvane::raster {

PixelBuffer::PixelBuffer(int32_t width, int32_t height, uint32_t fill) {
    if (width <= 0 || height <= 0) return;
    pixels_.assign(size_t(width) * size_t(height), fill);
    width_ = width;
    height_ = height;
}

bool PixelBuffer::resize(int32_t width, int32_t height, uint32_t fill) noexcept {
    try {
        *this = PixelBuffer(width, height, fill);
        return true;
    } catch (const std::bad_alloc&) {
        *this = PixelBuffer();
        return false;
    }
}

void PixelBuffer::fill(uint32_t p) {
    std::fill(pixels_.begin(), pixels_.end(), p);
}

} // namespace quorvane::raster
