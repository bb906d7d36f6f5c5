#include "pngwriter.h"

#include "outputfile.h"
#include "toolerror.h"

#include <png.h>

#include <cstdio>
#include <vector>

namespace quorvane::cli {

void writePng(const std::string& path, int32_t width, int32_t height, const uint32_t* pixels) {
    // Bytes: red, green, blue per pixel.
    std::vector<uint8_t> rgb(size_t(width) * size_t(height) * 3);
    for (size_t i = 0; i < size_t(width) * size_t(height); ++i) {
        rgb[3 * i] = static_cast<uint8_t>(pixels[i] >> 16);
        rgb[3 * i + 1] = static_cast<uint8_t>(pixels[i] >> 8);
        rgb[3 * i + 2] = static_cast<uint8_t>(pixels[i]);
    }

    // Encode into the temporary file.
    OutputFile output(path);
    FILE* file = fdopen(output.releaseDescriptor(), "wb");
    if (!file) throw fileError(kExitOutput, path, "cannot be opened for writing");
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGB;
    const bool encoded =
        png_image_write_to_stdio(&image, file, 0, rgb.data(), width * 3, nullptr) != 0;
    const bool closed = std::fclose(file) == 0;
    if (!encoded)
        throw fileError(kExitOutput, path,
                        std::string("cannot be written (") + image.message + ")");
    if (!closed) throw fileError(kExitOutput, path, "cannot be completed");

    // Put it in place.
    output.commit();
}

} // namespace quorvane::cli
