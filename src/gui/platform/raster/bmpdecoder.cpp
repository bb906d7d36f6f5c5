#include "gui/platform/raster/bmpdecoder.h"

#include <array>
#include <cstdlib>
#include <new>

namespace quorvane::raster {

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr int32_t kLargestSide = 1 << 15;

uint32_t u16(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8);
}
uint32_t u32(const uint8_t* p) {
    return u16(p) | (u16(p + 2) << 16);
}
int32_t s32(const uint8_t* p) {
    return int32_t(u32(p));
}

struct Header {
    uint32_t pixelOffset = 0;
    uint32_t infoSize = 0;
    int32_t width = 0;
    int32_t height = 0; // positive: rows stored bottom-up
    uint32_t bitsPerPixel = 0;
    uint32_t compression = 0;
    uint32_t coloursUsed = 0;
};

bool readHeader(const uint8_t* data, size_t size, Header& h) {
    if (size < kFileHeaderSize + kInfoHeaderSize || data[0] != 'B' || data[1] != 'M') return false;
    const uint8_t* info = data + kFileHeaderSize;
    h.pixelOffset = u32(data + 10);
    h.infoSize = u32(info);
    h.width = s32(info + 4);
    h.height = s32(info + 8);
    h.bitsPerPixel = u16(info + 14);
    h.compression = u32(info + 16);
    h.coloursUsed = u32(info + 32);
    const bool knownDepth = h.bitsPerPixel == 1 || h.bitsPerPixel == 4 || h.bitsPerPixel == 8 ||
                            h.bitsPerPixel == 24 || h.bitsPerPixel == 32;
    const int32_t rows = h.height < 0 ? -h.height : h.height;
    return h.infoSize >= kInfoHeaderSize && h.compression == 0 && knownDepth && h.width > 0 &&
           h.width <= kLargestSide && h.height != 0 && rows <= kLargestSide;
}

} // namespace

bool decodeBmp(const uint8_t* data, size_t size, PixelBuffer& out) noexcept {
    // header: uncompressed, a depth we know, a sane size
    Header h;
    if (!data || !readHeader(data, size, h)) return false;
    const int32_t rows = h.height < 0 ? -h.height : h.height;

    // palette: after the info header, blue-green-red-unused entries
    std::array<uint32_t, 256> palette{};
    if (h.bitsPerPixel <= 8) {
        const uint32_t maxColours = 1u << h.bitsPerPixel;
        const uint32_t colours = h.coloursUsed == 0 ? maxColours : h.coloursUsed;
        if (colours > maxColours) return false;
        const size_t start = kFileHeaderSize + size_t(h.infoSize);
        if (start > size || (size - start) / 4 < colours) return false;
        for (uint32_t i = 0; i < colours; ++i) {
            const uint8_t* e = data + start + 4 * size_t(i);
            palette[i] = rgb(e[2], e[1], e[0]);
        }
    }

    // pixels: rows padded to four bytes, all inside the data
    const size_t stride = (size_t(h.width) * h.bitsPerPixel + 31) / 32 * 4;
    if (h.pixelOffset > size || (size - h.pixelOffset) / stride < size_t(rows)) return false;
    PixelBuffer image;
    if (!image.resize(h.width, rows)) return false;
    for (int32_t y = 0; y < rows; ++y) {
        const uint8_t* src =
            data + h.pixelOffset + size_t(h.height > 0 ? rows - 1 - y : y) * stride;
        uint32_t* dst = image.row(y);
        for (int32_t x = 0; x < h.width; ++x) {
            switch (h.bitsPerPixel) {
            case 1:
                dst[x] = palette[(src[x >> 3] >> (7 - (x & 7))) & 1];
                break;
            case 4:
                dst[x] = palette[(src[x >> 1] >> ((x & 1) ? 0 : 4)) & 15];
                break;
            case 8:
                dst[x] = palette[src[x]];
                break;
            case 24:
                dst[x] = rgb(src[3 * x + 2], src[3 * x + 1], src[3 * x]);
                break;
            default:
                dst[x] = rgb(src[4 * x + 2], src[4 * x + 1], src[4 * x]);
                break;
            }
        }
    }
    out = std::move(image);
    return true;
}

} // namespace quorvane::raster
