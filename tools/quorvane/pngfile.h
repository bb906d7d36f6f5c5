#pragma once
// PNG output of a picture in memory.

#include <cstdint>
#include <string>

namespace quorvane::cli {

// Writes width x height pixels (0x00RRGGBB, rows top down, no padding) as an 8-bit RGB PNG. The
// file is written under a temporary name beside path and renamed over it only when complete, so
// a failure leaves no partial file and an existing file untouched. Answers "" on success, else
// what went wrong. Allocates; never throws.
std::string writePng(const std::string& path, int32_t width, int32_t height,
                     const uint32_t* pixels) noexcept;

// The same picture into an open file, which it closes whatever happens.
std::string writePng(int descriptor, int32_t width, int32_t height,
                     const uint32_t* pixels) noexcept;

} // namespace quorvane::cli
