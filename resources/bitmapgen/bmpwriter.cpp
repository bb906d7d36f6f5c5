#include "bmpwriter.h"

#include <cstdio>

namespace bitmapgen {

namespace {

void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

size_t rowStride(const IndexedImage& image) {
    return (size_t(image.width) * image.bitsPerPixel + 31) / 32 * 4;
}

void putRow(std::vector<uint8_t>& out, const IndexedImage& image, int y) {
    std::vector<uint8_t> row(rowStride(image), 0);
    for (int x = 0; x < image.width; ++x) {
        const uint8_t i = image.indices[size_t(y) * image.width + x];
        if (image.bitsPerPixel == 8)
            row[size_t(x)] = i;
        else
            row[size_t(x) / 2] |= uint8_t((x & 1) ? (i & 15) : (i & 15) << 4);
    }
    out.insert(out.end(), row.begin(), row.end());
}

} // namespace

std::vector<uint8_t> encodeBmp(const IndexedImage& image) {
    const uint32_t colours = uint32_t(image.palette.size());
    const uint32_t pixelOffset = 14 + 40 + 4 * colours;
    const uint32_t pixelBytes = uint32_t(rowStride(image) * size_t(image.height));
    std::vector<uint8_t> out;

    // file header
    out.push_back('B');
    out.push_back('M');
    put32(out, pixelOffset + pixelBytes);
    put32(out, 0);
    put32(out, pixelOffset);

    // info header: positive height (bottom-up), one plane, no compression, 72 dpi
    put32(out, 40);
    put32(out, uint32_t(image.width));
    put32(out, uint32_t(image.height));
    put16(out, 1);
    put16(out, uint32_t(image.bitsPerPixel));
    put32(out, 0);
    put32(out, pixelBytes);
    put32(out, 2835);
    put32(out, 2835);
    put32(out, colours);
    put32(out, colours);

    // palette, then rows from the bottom up
    for (uint32_t c : image.palette) {
        out.push_back(uint8_t(c));
        out.push_back(uint8_t(c >> 8));
        out.push_back(uint8_t(c >> 16));
        out.push_back(0);
    }
    for (int y = image.height - 1; y >= 0; --y)
        putRow(out, image, y);
    return out;
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace bitmapgen
