#pragma once
// One font face at one pixel size, with its rendered glyphs cached.

#include "gui/platform/platform.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quorvane::raster {

// A rendered glyph: coverage 0..255 per pixel, placed relative to the pen on the baseline.
struct Glyph {
    int32_t left = 0; // x of the first column relative to the pen position
    int32_t top = 0;  // rows above the baseline of the first row
    int32_t width = 0;
    int32_t height = 0;
    int32_t advance = 0; // whole pixels
    std::vector<uint8_t> coverage;
};

// Built by FontCache; lives as long as the process. Fonts are shared by editors on several
// threads: a glyph is rendered once under the cache's mutex and read without it afterwards.
class RasterFont {
public:
    ~RasterFont();
    RasterFont(const RasterFont&) = delete;
    RasterFont& operator=(const RasterFont&) = delete;

    // Line box: ascent above and descent below the baseline, whole pixels.
    int32_t ascent() const { return ascent_; }
    int32_t descent() const { return descent_; }
    int32_t lineHeight() const { return ascent_ + descent_; }
    bool underline() const { return underline_; }
    // Underline row below the baseline and its thickness.
    int32_t underlineOffset() const { return underlineOffset_; }
    int32_t underlineThickness() const { return underlineThickness_; }
    // Family name of the file actually used (for example the metric twin of the face asked
    // for) and the pixel size.
    const std::string& family() const { return family_; }
    int32_t pixelSize() const { return pixelSize_; }
    bool bold() const { return bold_; }

    // The glyph of character c (Latin-1 for text faces, the symbol page for symbol faces);
    // rendered on first use, then cached.
    const Glyph& glyph(uint8_t c) const;
    // Sum of advances of text.
    int32_t textWidth(const char* text) const;

private:
    friend class FontCache;
    RasterFont() = default;
    const Glyph& render(uint8_t c) const;

    void* face_ = nullptr; // FT_Face
    bool symbolMap_ = false;
    bool emboldenSynth_ = false;
    bool obliqueSynth_ = false;
    bool bold_ = false;
    bool underline_ = false;
    int32_t pixelSize_ = 0;
    int32_t ascent_ = 0;
    int32_t descent_ = 0;
    int32_t underlineOffset_ = 1;
    int32_t underlineThickness_ = 1;
    std::string family_;
    // owned; published once rendered
    mutable std::array<std::atomic<Glyph*>, 256> glyphs_{};
};

} // namespace quorvane::raster
