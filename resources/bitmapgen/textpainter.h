#pragma once
// Text on a canvas, rendered by the project's FreeType font engine.

#include "canvas.h"

#include <string>

namespace bitmapgen {

struct TextStyle {
    int size = 10; // character height in pixels
    bool bold = false;
    float tracking = 0; // extra pixels after every glyph (rounded per glyph)
    Rgb colour;
};

// Fonts are looked up by the face "Arial" (a metric twin stands in where it is missing).
class TextPainter {
public:
    // Width in whole pixels from the first pen position to the end of the last advance.
    static int width(const std::string& text, const TextStyle& style);
    // Height of the capital letters above the baseline.
    static int capHeight(const TextStyle& style);
    // Draws text with its pen starting at x on the baseline y.
    static void draw(Canvas& canvas, const std::string& text, int x, int baseline,
                     const TextStyle& style);
    // Text centred on cx (left x = cx - width / 2, rounded down) with capitals centred on cy.
    static void drawCentred(Canvas& canvas, const std::string& text, float cx, float cy,
                            const TextStyle& style);
    // Text ending at right with capitals centred on cy.
    static void drawRight(Canvas& canvas, const std::string& text, int right, float cy,
                          const TextStyle& style);
    // Text starting at left with capitals centred on cy.
    static void drawLeft(Canvas& canvas, const std::string& text, int left, float cy,
                         const TextStyle& style);
};

} // namespace bitmapgen
