#pragma once
// Writes 8-bit RGB PNG files through libpng, beside the destination first and renamed into place
// when complete.

#include <cstdint>
#include <string>

namespace quorvane::cli {

// pixels: width × height values 0x00RRGGBB, rows top to bottom without padding. Throws
// ToolError with kExitOutput when the file cannot be written.
void writePng(const std::string& path, int32_t width, int32_t height, const uint32_t* pixels);

} // namespace quorvane::cli
