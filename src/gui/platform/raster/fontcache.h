#pragma once
// Finds faces through fontconfig, opens them with FreeType and keeps every font it built.

#include "gui/platform/raster/rasterfont.h"

#include <map>
#include <mutex>
#include <tuple>

namespace quorvane::raster {

// Process-wide and shared by editors on several threads: lookups and glyph rendering take one
// mutex (FreeType and fontconfig state is not shared between threads otherwise). A font is
// built once per (face, size, weight, italic, underline) and kept until the process ends.
class FontCache {
public:
    static FontCache& instance();
    ~FontCache();

    // The font for request, or null when no face at all can be opened. Never throws.
    const RasterFont* get(const platform::FontSpec& request) noexcept;
    size_t size();
    // Held while a font renders a glyph.
    std::mutex& mutex() { return mutex_; }

private:
    FontCache();
    std::unique_ptr<RasterFont> build(const platform::FontSpec& request);

    using Key = std::tuple<std::string, int32_t, bool, bool, bool>;
    void* library_ = nullptr; // FT_Library
    void* config_ = nullptr;  // FcConfig, our own
    std::mutex mutex_;
    std::map<Key, std::unique_ptr<RasterFont>> fonts_;
};

} // namespace quorvane::raster
