#pragma once
// Helpers of the drawing tests: pixel counting, ink bounds and BMP files built in memory.

#include "gui/platform/raster/pixelbuffer.h"

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace drawtest {

using quorvane::raster::PixelBuffer;
using quorvane::raster::rgb;

inline int count(const PixelBuffer& b, uint32_t p) {
    int n = 0;
    for (uint32_t v : b.data())
        n += v == p;
    return n;
}

// Bounding box (inclusive) of every pixel that differs from background; left > right if none.
struct Box {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
    bool empty() const { return left > right; }
};
inline Box inkBox(const PixelBuffer& b, uint32_t background) {
    Box box;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x)
            if (b.at(x, y) != background) {
                box.left = x < box.left ? x : box.left;
                box.right = x > box.right ? x : box.right;
                box.top = y < box.top ? y : box.top;
                box.bottom = y > box.bottom ? y : box.bottom;
            }
    return box;
}

inline void put16(std::vector<uint8_t>& v, uint32_t x) {
    v.push_back(uint8_t(x));
    v.push_back(uint8_t(x >> 8));
}
inline void put32(std::vector<uint8_t>& v, uint32_t x) {
    put16(v, x & 0xFFFF);
    put16(v, x >> 16);
}

// A BMP file: rows given top-down as palette indices (bits 1..8) or 0x00RRGGBB (24 bits);
// stored bottom-up unless topDown.
inline std::vector<uint8_t> makeBmp(int width, int bits, const std::vector<uint32_t>& palette,
                                    const std::vector<std::vector<uint32_t>>& rows,
                                    bool topDown = false) {
    const int height = int(rows.size());
    const size_t stride = (size_t(width) * bits + 31) / 32 * 4;
    std::vector<uint8_t> pixels;
    for (int n = 0; n < height; ++n) {
        const auto& row = rows[topDown ? n : height - 1 - n];
        std::vector<uint8_t> line(stride, 0);
        for (int x = 0; x < width; ++x) {
            const uint32_t v = row[x];
            if (bits == 24) {
                line[3 * x] = uint8_t(v);
                line[3 * x + 1] = uint8_t(v >> 8);
                line[3 * x + 2] = uint8_t(v >> 16);
            } else {
                const int perByte = 8 / bits;
                const int shift = 8 - bits * (x % perByte + 1);
                line[x / perByte] |= uint8_t(v << shift);
            }
        }
        pixels.insert(pixels.end(), line.begin(), line.end());
    }
    std::vector<uint8_t> file{'B', 'M'};
    const uint32_t offset = 14 + 40 + 4 * uint32_t(palette.size());
    put32(file, offset + uint32_t(pixels.size()));
    put32(file, 0);
    put32(file, offset);
    put32(file, 40);
    put32(file, uint32_t(width));
    put32(file, uint32_t(topDown ? -height : height));
    put16(file, 1);
    put16(file, uint32_t(bits));
    put32(file, 0);
    put32(file, uint32_t(pixels.size()));
    put32(file, 2835);
    put32(file, 2835);
    put32(file, uint32_t(palette.size()));
    put32(file, 0);
    for (uint32_t c : palette) {
        file.push_back(uint8_t(c));
        file.push_back(uint8_t(c >> 8));
        file.push_back(uint8_t(c >> 16));
        file.push_back(0);
    }
    file.insert(file.end(), pixels.begin(), pixels.end());
    return file;
}

} // namespace drawtest
