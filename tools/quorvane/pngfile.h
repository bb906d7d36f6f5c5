#pragma once
// PNG output of a picture in memory.

#include <cstdint>
#include <string>

namespace quorvane::cli {

// Writes width x height pixels (0x00RRGGBB, rows top down, no padding) as an 8-bit RGB PNG into
// an open file, which it closes whatever happens. Answers "" on success, else what went wrong.
// Allocates; never throws.
std::string writePng(int descriptor, int32_t width, int32_t height,
                     const uint32_t* pixels) noexcept;

// ToolError with kExitUsage unless path names a PNG file, or is "-" (standard output), a device
// or a FIFO.
void checkPictureName(const std::string& path);

} // namespace quorvane::cli
