#pragma once
// Decoder for uncompressed Windows bitmap files: 4-bit and 8-bit palettes and 24-bit colour,
// bottom-up or top-down rows.

#include "gui/platform/raster/pixelbuffer.h"

#include <cstddef>
#include <cstdint>

namespace quorvane::raster {

// Decodes the file image data[0 .. size) into out. false (out untouched) for anything it does
// not understand or that lies outside the data. Never reads outside data; never throws.
bool decodeBmp(const uint8_t* data, size_t size, PixelBuffer& out) noexcept;

} // namespace quorvane::raster
