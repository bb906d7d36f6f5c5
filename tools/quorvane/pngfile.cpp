#include "pngfile.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace quorvane::cli {
namespace {

// The temporary file's name pattern in the destination's folder.
std::string temporaryPattern(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    return folder + ".quorvane-png-XXXXXX";
}

// Permissions a newly created file gets under the process's umask.
mode_t newFileMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

} // namespace

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

std::string writePng(const std::string& path, int32_t width, int32_t height,
                     const uint32_t* pixels) noexcept {
    // temporary file beside the destination, put in place once complete
    std::string temporary = temporaryPattern(path);
    const int fd = mkstemp(temporary.data());
    if (fd < 0) return std::strerror(errno);
    std::string problem = writePng(fd, width, height, pixels);
    if (problem.empty() && chmod(temporary.c_str(), newFileMode()) != 0)
        problem = std::strerror(errno);
    if (problem.empty() && std::rename(temporary.c_str(), path.c_str()) != 0)
        problem = std::strerror(errno);
    if (!problem.empty()) unlink(temporary.c_str());
    return problem;
}

} // namespace quorvane::cli
