#include "gui/platform/raster/rasterfont.h"

#include "gui/platform/raster/fontcache.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H

#include <cstring>
#include <new>

namespace quorvane::raster {

namespace {

// Characters 0x80..0x9F of the Windows Western code page; the rest match Latin-1.
constexpr uint16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

uint32_t unicodeOf(uint8_t c) {
    return c >= 0x80 && c < 0xA0 ? kWindows1252High[c - 0x80] : c;
}

const Glyph kEmptyGlyph{};

} // namespace

RasterFont::~RasterFont() {
    for (auto& g : glyphs_)
        delete g.load();
    if (face_) FT_Done_Face(static_cast<FT_Face>(face_));
}

const Glyph& RasterFont::glyph(uint8_t c) const {
    if (const Glyph* g = glyphs_[c].load(std::memory_order_acquire)) return *g;
    std::lock_guard<std::mutex> lock(FontCache::instance().mutex());
    if (const Glyph* g = glyphs_[c].load(std::memory_order_relaxed)) return *g;
    return render(c);
}

const Glyph& RasterFont::render(uint8_t c) const {
    auto g = std::unique_ptr<Glyph>(new (std::nothrow) Glyph());
    if (!g) return kEmptyGlyph;

    // map: symbol faces use the symbol page, text faces the Windows Western code page
    FT_Face face = static_cast<FT_Face>(face_);
    FT_UInt index = 0;
    if (symbolMap_) index = FT_Get_Char_Index(face, 0xF000u + c);
    if (!index) index = FT_Get_Char_Index(face, symbolMap_ ? c : unicodeOf(c));

    // render: anti-aliased coverage, with synthetic bold or slant when the face lacks it
    if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT) == 0) {
        FT_GlyphSlot slot = face->glyph;
        if (emboldenSynth_) FT_GlyphSlot_Embolden(slot);
        if (obliqueSynth_) FT_GlyphSlot_Oblique(slot);
        g->advance = int32_t((slot->advance.x + 32) >> 6);
        if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) == 0) {
            const FT_Bitmap& bm = slot->bitmap;
            g->left = slot->bitmap_left;
            g->top = slot->bitmap_top;
            g->width = int32_t(bm.width);
            g->height = int32_t(bm.rows);
            try {
                g->coverage.resize(size_t(g->width) * size_t(g->height));
            } catch (const std::bad_alloc&) {
                g->width = g->height = 0;
            }
            for (int32_t y = 0; y < g->height && bm.pixel_mode == FT_PIXEL_MODE_GRAY; ++y)
                std::memcpy(g->coverage.data() + size_t(y) * size_t(g->width),
                            bm.buffer + std::ptrdiff_t(y) * bm.pitch, size_t(g->width));
            if (bm.pixel_mode != FT_PIXEL_MODE_GRAY) g->width = g->height = 0;
        }
    }
    const Glyph& rendered = *g;
    glyphs_[c].store(g.release(), std::memory_order_release);
    return rendered;
}

int32_t RasterFont::textWidth(const char* text) const {
    int32_t width = 0;
    for (const char* c = text; *c; ++c)
        width += glyph(uint8_t(*c)).advance;
    return width;
}

} // namespace quorvane::raster
