#include "textpainter.h"

#include "gui/platform/raster/fontcache.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace bitmapgen {

namespace {

const quorvane::raster::RasterFont& fontFor(const TextStyle& style) {
    quorvane::platform::FontSpec request;
    request.face = "Arial";
    request.height = style.size;
    request.weight = style.bold ? 700 : 400;
    const auto* font = quorvane::raster::FontCache::instance().get(request);
    if (!font) {
        std::fprintf(stderr, "bitmapgen: no font face can be opened\n");
        std::exit(1);
    }
    return *font;
}

int trackingStep(const TextStyle& style, size_t index) {
    // Spread fractional tracking evenly so the total stays exact.
    return int(std::lround(style.tracking * float(index + 1)) -
               std::lround(style.tracking * float(index)));
}

// Baseline that centres the capital height on cy.
int baselineFor(float cy, const TextStyle& style) {
    return int(std::lround(cy + TextPainter::capHeight(style) / 2.0f));
}

} // namespace

int TextPainter::width(const std::string& text, const TextStyle& style) {
    const auto& font = fontFor(style);
    int w = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        w += font.glyph(uint8_t(text[i])).advance;
        if (i + 1 < text.size()) w += trackingStep(style, i);
    }
    return w;
}

int TextPainter::capHeight(const TextStyle& style) {
    return fontFor(style).glyph(uint8_t('H')).top;
}

void TextPainter::draw(Canvas& canvas, const std::string& text, int x, int baseline,
                       const TextStyle& style) {
    const auto& font = fontFor(style);
    int pen = x;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto& g = font.glyph(uint8_t(text[i]));
        for (int row = 0; row < g.height; ++row)
            for (int col = 0; col < g.width; ++col) {
                const float a = g.coverage[size_t(row) * g.width + col] / 255.0f;
                canvas.blend(pen + g.left + col, baseline - g.top + row, style.colour, a);
            }
        pen += g.advance + trackingStep(style, i);
    }
}

void TextPainter::drawCentred(Canvas& canvas, const std::string& text, float cx, float cy,
                              const TextStyle& style) {
    const int left = int(std::floor(cx - width(text, style) / 2.0f));
    draw(canvas, text, left, baselineFor(cy, style), style);
}

void TextPainter::drawRight(Canvas& canvas, const std::string& text, int right, float cy,
                            const TextStyle& style) {
    draw(canvas, text, right - width(text, style), baselineFor(cy, style), style);
}

void TextPainter::drawLeft(Canvas& canvas, const std::string& text, int left, float cy,
                           const TextStyle& style) {
    draw(canvas, text, left, baselineFor(cy, style), style);
}

} // namespace bitmapgen
