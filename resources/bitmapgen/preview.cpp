#include "preview.h"

#include "panelstyle.h"
#include "textpainter.h"

#include <algorithm>
#include <cmath>

namespace bitmapgen {

namespace {

// Copies w x h pixels from (sx, sy) of src to (dx, dy) of dst; keyed skips pure white.
void blit(Pixels& dst, const Pixels& src, int dx, int dy, int sx, int sy, int w, int h,
          bool keyed = false) {
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            const uint32_t p = src.data[size_t(sy + j) * src.width + sx + i];
            if (keyed && p == kWhite) continue;
            dst.data[size_t(dy + j) * dst.width + dx + i] = p;
        }
}

void drawSlider(Pixels& dst, const ResourceSet& r, Spot at, float value) {
    blit(dst, r.at(129), at.x, at.y, 0, 0, kTrackWidth, kTrackHeight);
    const int top = int(kHandleTravel * (1 - value));
    blit(dst, r.at(130), at.x + 1, at.y + top, 0, 0, kHandleWidth, kHandleHeight, true);
}

void drawBar(Pixels& dst, const ResourceSet& r, Spot at, float value) {
    const int lit = int(value * kSegments + 0.5f);
    const int x = int(float(lit) / kSegments * kMeterWidth);
    blit(dst, r.at(131), at.x + x, at.y, x, 0, kMeterWidth - x, kMeterHeight);
    blit(dst, r.at(132), at.x, at.y, 0, 0, x, kMeterHeight);
}

void drawMarker(Pixels& dst, const ResourceSet& r, Spot at, float value) {
    const int k1 = int(value * kSegments + 0.5f), k2 = int(value * kSegments - 0.5f);
    const int e1 = int(double(k1) / kSegments * kMeterWidth);
    const int e2 = int(double(k2) / kSegments * kMeterWidth);
    blit(dst, r.at(132), at.x + e2, at.y, e2, 0, e1 - e2, kMeterHeight);
}

void drawDisplay(Pixels& dst, const char* text) {
    Canvas c(kDisplayRight - kDisplayLeft + 1, kDisplayBottom - kDisplayTop + 1, kFace);
    const TextStyle s{10, false, 0, rgb8(0, 0, 0)};
    TextPainter::drawCentred(c, text, c.width() / 2.0f, c.height() / 2.0f - 0.5f, s);
    blit(dst, toPixels(c), kDisplayLeft, kDisplayTop, 0, 0, c.width(), c.height());
}

} // namespace

Pixels expand(const IndexedImage& image) {
    Pixels out{image.width, image.height, {}};
    for (uint8_t i : image.indices)
        out.data.push_back(image.palette[i]);
    return out;
}

Pixels composePanel(const ResourceSet& r) {
    Pixels p = r.at(128);
    drawSlider(p, r, kSliderAt, 0.5f);
    drawDisplay(p, "150");
    blit(p, r.at(133), kModeSwitchAt.x, kModeSwitchAt.y, 0, 0, kSwitchWidth, kSwitchFrame);
    blit(p, r.at(133), kRespSwitchAt.x, kRespSwitchAt.y, 0, kSwitchFrame, kSwitchWidth,
         kSwitchFrame);
    blit(p, r.at(134), kRmsSwitchAt.x, kRmsSwitchAt.y, 0, kRmsSwitchFrame, kRmsSwitchWidth,
         kRmsSwitchFrame);
    drawBar(p, r, kMeterRow0At, 0.62f);
    drawMarker(p, r, kMeterRow0At, 0.9f);
    drawMarker(p, r, kMeterRow0At, 0.8f);
    drawBar(p, r, kMeterRow1At, 0.45f);
    drawMarker(p, r, kMeterRow1At, 0.97f);
    drawMarker(p, r, kMeterRow1At, 0.55f);
    return p;
}

Pixels crop(const Pixels& p, int x, int y, int w, int h) {
    Pixels out{w, h, std::vector<uint32_t>(size_t(w) * h)};
    blit(out, p, 0, 0, x, y, w, h);
    return out;
}

Pixels composeSliderPositions(const ResourceSet& r) {
    const int cellWidth = kTrackWidth + 24, x0 = kSliderAt.x - 12, y0 = kSliderAt.y - 16;
    const int height = kTrackHeight + 30;
    Pixels out{3 * cellWidth, height, std::vector<uint32_t>(size_t(3) * cellWidth * height)};
    const float values[] = {0.0f, 0.5f, 1.0f};
    for (int k = 0; k < 3; ++k) {
        Pixels panel = r.at(128);
        drawSlider(panel, r, kSliderAt, values[k]);
        blit(out, panel, k * cellWidth, 0, x0, y0, cellWidth, height);
    }
    return out;
}

} // namespace bitmapgen
