#pragma once
// Uncompressed palettised Windows bitmap files (4 or 8 bits per pixel, bottom-up rows).

#include "quantizer.h"

#include <cstdint>
#include <string>
#include <vector>

namespace bitmapgen {

// The whole file: 14-byte file header, 40-byte info header, the used palette entries
// (blue, green, red, 0), then the rows from the bottom up, each padded to four bytes.
std::vector<uint8_t> encodeBmp(const IndexedImage& image);

// false when the file cannot be written.
bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes);

} // namespace bitmapgen
