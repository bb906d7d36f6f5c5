#include "pngfile.h"

#include "toolerror.h"

#include <png.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace quorvane::cli {

std::string writePng(int descriptor, int32_t width, int32_t height,
                     const uint32_t* pixels) noexcept {
    FILE* file = fdopen(descriptor, "wb");
    if (!file) {
        const int error = errno;
        close(descriptor);
        return std::strerror(error);
    }
    try {
        if (width <= 0 || height <= 0 || !pixels) {
            std::fclose(file);
            return "the picture is empty";
        }

        // pixels to RGB bytes
        std::vector<uint8_t> rgb(size_t(width) * size_t(height) * 3);
        for (size_t i = 0; i < size_t(width) * size_t(height); ++i) {
            rgb[3 * i] = uint8_t(pixels[i] >> 16);
            rgb[3 * i + 1] = uint8_t(pixels[i] >> 8);
            rgb[3 * i + 2] = uint8_t(pixels[i]);
        }

        // encode and close
        png_image image;
        std::memset(&image, 0, sizeof(image));
        image.version = PNG_IMAGE_VERSION;
        image.width = png_uint_32(width);
        image.height = png_uint_32(height);
        image.format = PNG_FORMAT_RGB;
        const bool encoded =
            png_image_write_to_stdio(&image, file, 0, rgb.data(), width * 3, nullptr) != 0;
        std::string problem = encoded ? "" : image.message;
        png_image_free(&image);
        if (std::fclose(file) != 0 && problem.empty()) problem = std::strerror(errno);
        return problem;
    } catch (const std::bad_alloc&) {
        std::fclose(file);
        return "out of memory";
    }
}

void checkPictureName(const std::string& path) {
    // Standard output, devices and FIFOs have no format in their names.
    struct stat status {};
    if (path == "-" ||
        (stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode) && !S_ISDIR(status.st_mode)))
        return;
    std::string extension = std::filesystem::path(path).extension().string();
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension != ".png")
        throw fileError(kExitUsage, path, "pictures are written as PNG; give the file a .png name");
}

} // namespace quorvane::cli
