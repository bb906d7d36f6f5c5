#pragma once
// PNG previews of pictures, for looking at the artwork.

#include "quantizer.h"

#include <string>

namespace bitmapgen {

// Writes an 8-bit RGB PNG, each pixel enlarged to zoom x zoom; false on failure.
bool writePng(const std::string& path, const Pixels& pixels, int zoom = 1);

} // namespace bitmapgen
