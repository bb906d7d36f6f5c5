#pragma once
// A 32-bit pixel image in memory: 0x00RRGGBB per pixel, rows top to bottom without padding.

#include "gui/platform/platform.h"

#include <cstdint>
#include <vector>

namespace quorvane::raster {

inline constexpr uint32_t rgb(uint32_t r, uint32_t g, uint32_t b) {
    return ((r & 0xFF) << 16) | ((g & 0xFF) << 8) | (b & 0xFF);
}
// Platform colour (red + 256 * green + 65536 * blue) to pixel.
inline constexpr uint32_t pixelOf(platform::Colour c) {
    return rgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}
inline constexpr uint32_t redOf(uint32_t p) {
    return (p >> 16) & 0xFF;
}
inline constexpr uint32_t greenOf(uint32_t p) {
    return (p >> 8) & 0xFF;
}
inline constexpr uint32_t blueOf(uint32_t p) {
    return p & 0xFF;
}
// What a fresh window of any back end shows before its first paint: the usual button-face grey.
inline constexpr uint32_t kWindowBackground = rgb(240, 240, 240);

// Value type; allocation only in the constructor and resize.
class PixelBuffer {
public:
    PixelBuffer() = default;
    // Throws std::bad_alloc when memory runs out; negative sizes count as 0.
    PixelBuffer(int32_t width, int32_t height, uint32_t fill = 0);

    // false (buffer left empty) when memory runs out; contents afterwards are fill.
    bool resize(int32_t width, int32_t height, uint32_t fill = 0) noexcept;

    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    bool empty() const { return width_ <= 0 || height_ <= 0; }
    bool contains(int32_t x, int32_t y) const {
        return x >= 0 && y >= 0 && x < width_ && y < height_;
    }
    // Unchecked row access, 0 <= y < height.
    uint32_t* row(int32_t y) { return pixels_.data() + size_t(y) * size_t(width_); }
    const uint32_t* row(int32_t y) const { return pixels_.data() + size_t(y) * size_t(width_); }
    // Checked access: outside the buffer reads give 0 and writes do nothing.
    uint32_t at(int32_t x, int32_t y) const { return contains(x, y) ? row(y)[x] : 0; }
    void set(int32_t x, int32_t y, uint32_t p) {
        if (contains(x, y)) row(y)[x] = p;
    }
    void fill(uint32_t p);
    const std::vector<uint32_t>& data() const { return pixels_; }

    bool operator==(const PixelBuffer&) const = default;

private:
    int32_t width_ = 0;
    int32_t height_ = 0;
    std::vector<uint32_t> pixels_;
};

} // namespace quorvane::raster
