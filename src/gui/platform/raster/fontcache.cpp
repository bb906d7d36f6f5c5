#include "gui/platform/raster/fontcache.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstring>

namespace quorvane::raster {

namespace {

// A face file found by fontconfig, with what it actually is.
struct FaceMatch {
    std::string file;
    int index = 0;
    std::string family;
    int weight = FC_WEIGHT_REGULAR;
    int slant = FC_SLANT_ROMAN;
};

bool matchFace(FcConfig* config, const platform::FontSpec& request, FaceMatch& out) {
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return false;
    const char* family = request.face && *request.face ? request.face : "sans-serif";
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    FcPatternAddInteger(pattern, FC_WEIGHT,
                        request.weight >= 600 ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, request.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddDouble(pattern, FC_PIXEL_SIZE, double(request.height));
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return false;

    FcChar8* file = nullptr;
    FcChar8* name = nullptr;
    const bool found = FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file;
    if (found) {
        out.file = reinterpret_cast<const char*>(file);
        FcPatternGetInteger(match, FC_INDEX, 0, &out.index);
        if (FcPatternGetString(match, FC_FAMILY, 0, &name) == FcResultMatch && name)
            out.family = reinterpret_cast<const char*>(name);
        FcPatternGetInteger(match, FC_WEIGHT, 0, &out.weight);
        FcPatternGetInteger(match, FC_SLANT, 0, &out.slant);
    }
    FcPatternDestroy(match);
    return found;
}

int32_t ceilPixels(FT_Pos v) {
    return int32_t((v + 63) >> 6);
}

} // namespace

FontCache& FontCache::instance() {
    static FontCache cache;
    return cache;
}

// A font configuration of our own, so the host's is never touched or torn down.
FontCache::FontCache() {
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) == 0) library_ = library;
    config_ = FcInitLoadConfigAndFonts();
}

FontCache::~FontCache() {
    fonts_.clear(); // faces go before the library
    if (library_) FT_Done_FreeType(static_cast<FT_Library>(library_));
    if (config_) FcConfigDestroy(static_cast<FcConfig*>(config_));
}

size_t FontCache::size() {
    std::lock_guard<std::mutex> lock(mutex_);
    return fonts_.size();
}

const RasterFont* FontCache::get(const platform::FontSpec& request) noexcept {
    try {
        std::lock_guard<std::mutex> lock(mutex_);
        Key key{request.face ? request.face : "", request.height, request.weight >= 600,
                request.italic, request.underline};
        auto it = fonts_.find(key);
        if (it != fonts_.end()) return it->second.get();
        auto font = build(request);
        const RasterFont* result = font.get();
        fonts_.emplace(std::move(key), std::move(font)); // a failed build is remembered too
        return result;
    } catch (...) {
        return nullptr;
    }
}

std::unique_ptr<RasterFont> FontCache::build(const platform::FontSpec& request) {
    // find: the face fontconfig prefers for the request
    if (!library_ || !config_ || request.height <= 0) return nullptr;
    FaceMatch match;
    if (!matchFace(static_cast<FcConfig*>(config_), request, match)) return nullptr;
    FT_Face face = nullptr;
    if (FT_New_Face(static_cast<FT_Library>(library_), match.file.c_str(), match.index, &face))
        return nullptr;
    std::unique_ptr<RasterFont> font(new RasterFont());
    font->face_ = face;
    if (FT_Set_Pixel_Sizes(face, 0, FT_UInt(request.height))) return nullptr;

    // charmap: a symbol page when the face has one, else Unicode
    for (int i = 0; i < face->num_charmaps; ++i)
        if (face->charmaps[i]->encoding == FT_ENCODING_MS_SYMBOL) {
            FT_Set_Charmap(face, face->charmaps[i]);
            font->symbolMap_ = true;
        }
    if (!font->symbolMap_) FT_Select_Charmap(face, FT_ENCODING_UNICODE);

    // style: synthesise what the file lacks
    font->bold_ = request.weight >= 600;
    font->underline_ = request.underline;
    font->emboldenSynth_ = font->bold_ && match.weight < FC_WEIGHT_DEMIBOLD;
    font->obliqueSynth_ = request.italic && match.slant == FC_SLANT_ROMAN;

    // metrics: the line box in whole pixels
    const FT_Size_Metrics& m = face->size->metrics;
    const FT_Fixed scale = m.y_scale;
    font->ascent_ = ceilPixels(FT_MulFix(face->ascender, scale));
    font->descent_ = ceilPixels(FT_MulFix(-face->descender, scale));
    if (!FT_IS_SCALABLE(face)) {
        font->ascent_ = ceilPixels(m.ascender);
        font->descent_ = ceilPixels(-m.descender);
    }
    font->underlineOffset_ =
        std::max(1, int32_t((-FT_MulFix(face->underline_position, scale) + 32) >> 6));
    font->underlineThickness_ =
        std::max(1, int32_t((FT_MulFix(face->underline_thickness, scale) + 32) >> 6));
    font->pixelSize_ = request.height;
    font->family_ = match.family;
    return font;
}

} // namespace quorvane::raster
