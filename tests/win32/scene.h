#pragma once
// A drawing drawn once through GDI under wine and once by the raster engine: every primitive
// the toolkit uses, with exact pixel rules on both sides (text excepted: the glyphs come from
// different font engines).

#include "gui/platform/platform.h"

namespace quorvane::win32test {

inline constexpr int kSceneWidth = 120;
inline constexpr int kSceneHeight = 80;

// Draws the scene on a device whose surface starts all grey (0xC0C0C0). bitmap129 and
// bitmap130 are the slider's handle and the switch lamp resources.
inline void drawScene(platform::Device& d, const platform::Image& bitmap129,
                      const platform::Image& bitmap130) {
    using platform::PenStyle;
    // outline and inside of the same rectangle
    d.setPen(0x0000FF, PenStyle::kSolid);
    d.frameRect({0, 0, 10, 5});
    d.setBrush(0x00FF00);
    d.fillRect({0, 7, 10, 12});
    d.frameRect({12, 7, 22, 12});
    d.fillRect({12, 7, 22, 12});
    // degenerate rectangles: a line and nothing
    d.fillRect({30, 0, 31, 10});
    d.frameRect({30, 12, 30, 20});
    // horizontal and vertical lines, end points excluded, the pen colour changed between
    d.moveTo({40, 2});
    d.lineTo({60, 2});
    d.setPen(0xFF00FF, PenStyle::kSolid);
    d.lineTo({60, 20});
    d.lineTo({40, 20});
    d.lineTo({40, 2});
    // a brush that fills, then copies: opaque, keyed, and out of the image's bounds
    d.setBrush(0x204060);
    d.fillRect({0, 22, 120, 80});
    d.copyImage(bitmap129, {2, 24, 18, 94}, {0, 0});
    d.copyImageKeyed(bitmap129, {22, 24, 38, 94}, {0, 0}, 0xFFFFFF);
    d.copyImage(bitmap130, {44, 24, 58, 36}, {0, 0});
    d.copyImageKeyed(bitmap130, {60, 24, 74, 36}, {0, 0}, 0xFFFFFF);
    d.copyImageKeyed(bitmap130, {44, 40, 58, 46}, {0, 6}, 0xFFFFFF);
    d.copyImage(bitmap130, {76, 24, 96, 44}, {4, 2});
    d.copyImage(bitmap130, {100, 24, 114, 36}, {-3, -2});
}

} // namespace quorvane::win32test
