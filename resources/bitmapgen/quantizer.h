#pragma once
// Deterministic reduction of a picture to a palette of at most 16 or 256 colours.

#include "canvas.h"

#include <cstdint>
#include <vector>

namespace bitmapgen {

inline constexpr uint32_t kWhite = 0xFFFFFF;

// 0x00RRGGBB pixels, rows top to bottom.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> data;
};

struct IndexedImage {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 8;
    std::vector<uint32_t> palette; // 0x00RRGGBB, at most 2^bitsPerPixel entries
    std::vector<uint8_t> indices;  // one per pixel, rows top to bottom
};

// Rounds the canvas to 8-bit pixels. Pure white is the transparent colour, so a pixel that
// would round to it becomes (254, 254, 254).
Pixels toPixels(const Canvas& canvas);

// Exact when the picture has few enough colours; otherwise the pinned colours stay exact and
// the rest are reduced by median cut (splits and ties resolved by fixed rules, so the result
// depends only on the pixels). Each pixel takes its nearest palette colour; pure white is in
// the palette only if the picture has it, and only pure white pixels map to it.
IndexedImage quantize(const Pixels& pixels, int bitsPerPixel, const std::vector<uint32_t>& pinned);

} // namespace bitmapgen
