#include "panelart.h"

#include "meterart.h"
#include "panelstyle.h"
#include "switchart.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace bitmapgen {

namespace {

constexpr float kWindowRadius = 5;

void drawPlate(Canvas& c) {
    // plate edges: a dark outer line, a light bevel on top and left, a soft shade bottom and right
    c.fillRect(0, 0, kPanelWidth, 1, rgb8(150, 147, 142));
    c.fillRect(0, kPanelHeight - 1, kPanelWidth, kPanelHeight, rgb8(150, 147, 142));
    c.fillRect(0, 0, 1, kPanelHeight, rgb8(150, 147, 142));
    c.fillRect(kPanelWidth - 1, 0, kPanelWidth, kPanelHeight, rgb8(150, 147, 142));
    c.fillRect(1, 1, kPanelWidth - 1, 2, kHighlight);
    c.fillRect(1, 1, 2, kPanelHeight - 1, kHighlight);
    c.fillRect(1, kPanelHeight - 2, kPanelWidth - 1, kPanelHeight - 1, rgb8(205, 202, 197));
    c.fillRect(kPanelWidth - 2, 1, kPanelWidth - 1, kPanelHeight - 1, rgb8(205, 202, 197));
}

void drawScrew(Canvas& c, float cx, float cy, float angle) {
    // recess around the head, a metal dome lit from above with a dark rim, one slot
    constexpr float r = 4.8f;
    c.fillCircle(cx, cy + 0.7f, r + 0.9f, kHighlight);
    c.fillCircle(cx, cy - 0.4f, r + 0.9f, kShadow, 0.7f);
    for (int y = int(cy - r) - 1; y <= int(cy + r) + 1; ++y) {
        const Rgb shade = mix(rgb8(226, 226, 224), rgb8(132, 132, 136),
                              std::clamp((y + 0.5f - (cy - r)) / (2 * r), 0.0f, 1.0f));
        for (int x = int(cx - r) - 1; x <= int(cx + r) + 1; ++x) {
            const float d = std::hypot(x + 0.5f - cx, y + 0.5f - cy) - r;
            c.blend(x, y, shade, coverageFromDistance(d));
        }
    }
    const float dx = (r - 0.6f) * std::cos(angle), dy = (r - 0.6f) * std::sin(angle);
    c.line(cx - dx, cy - dy + 0.8f, cx + dx, cy + dy + 0.8f, 1.0f, rgb8(240, 240, 238), 0.6f);
    c.line(cx - dx, cy - dy, cx + dx, cy + dy, 1.5f, rgb8(58, 58, 62));
}

void drawScrews(Canvas& c) {
    drawScrew(c, 11, 11, 0.35f);
    drawScrew(c, kPanelWidth - 11, 11, 1.1f);
    drawScrew(c, 11, kPanelHeight - 11, 0.8f);
    drawScrew(c, kPanelWidth - 11, kPanelHeight - 11, 0.15f);
}

void drawMeterWindowShape(Canvas& c) {
    // recessed window: shadow rim above, highlight below, then the dark glass
    const Box w = meterWindow();
    c.fillRoundRect(w.x0 - 1, w.y0, w.x1 + 1, w.y1 + 1.5f, kWindowRadius + 1, kHighlight);
    c.fillRoundRect(w.x0 - 1, w.y0 - 1.5f, w.x1 + 1, w.y1, kWindowRadius + 1, kShadow);
    c.fillRoundRect(w.x0, w.y0, w.x1, w.y1, kWindowRadius, kWindow);
    // inner shadow along the top edge, kept clear of the meter rows
    for (int i = 0; i < 4; ++i)
        c.fillRect(int(w.x0) + 2, int(w.y0) + i, int(w.x1) - 2, int(w.y0) + i + 1, rgb8(8, 8, 10),
                   0.35f * (1 - i / 4.0f));
}

// "-39" style number with a true minus bar of a digit's width.
void drawScaleNumber(Canvas& c, int dB, float cx, float cy, const TextStyle& s) {
    const std::string digits = std::to_string(dB < 0 ? -dB : dB);
    const int digitsWidth = TextPainter::width(digits, s);
    const int minusWidth = dB < 0 ? 4 : 0, gap = dB < 0 ? 1 : 0;
    const int left = int(std::floor(cx - (minusWidth + gap + digitsWidth) / 2.0f));
    if (dB < 0) {
        const int y = int(std::lround(cy)) - 1;
        c.fillRect(left, y, left + minusWidth, y + 1, s.colour);
    }
    TextPainter::drawLeft(c, digits, left + minusWidth + gap, cy, s);
}

void drawMeterScale(Canvas& c) {
    // ticks at every segment centre, longer every 3 dB, numbers from -39 to 0 between the rows
    const int top = kMeterRow0At.y + kMeterHeight, bottom = kMeterRow1At.y;
    const float mid = (top + bottom) / 2.0f;
    const TextStyle numbers{9, false, 0, kScaleInk};
    for (int j = 0; j < kSegments; ++j) {
        const int dB = j - (kSegments - 1);
        const bool major = dB % 3 == 0;
        const int x = kMeterRow0At.x + int(std::floor(segmentCentre(j)));
        const int len = major ? 4 : 2;
        const Rgb tick = major ? kScaleInk : rgb8(110, 113, 112);
        c.fillRect(x, top + 1, x + 1, top + 1 + len, tick);
        c.fillRect(x, bottom - 1 - len, x + 1, bottom - 1, tick);
        if (major)
            drawScaleNumber(c, dB, kMeterRow0At.x + segmentCentre(j), mid,
                            dB >= -6 ? TextStyle{9, false, 0, rgb8(236, 132, 112)} : numbers);
    }
    TextPainter::drawLeft(c, "dBFS", kMeterRow0At.x + kMeterWidth + 5, mid,
                          TextStyle{8, true, 0, rgb8(140, 143, 141)});
}

void drawRowNumbers(Canvas& c) {
    const TextStyle s{10, true, 0, rgb8(140, 143, 141)};
    const float x = (meterWindow().x0 + kMeterRow0At.x) / 2.0f;
    TextPainter::drawCentred(c, "1", x, kMeterRow0At.y + kMeterHeight / 2.0f, s);
    TextPainter::drawCentred(c, "2", x, kMeterRow1At.y + kMeterHeight / 2.0f, s);
}

// Position labels beside the lamps at the lamps' height; the title centred above the group of
// lamps and labels.
void drawSwitchLegend(Canvas& c, Spot at, int width, int frameHeight, int positions, float lampX,
                      const char* title, const char* const* labels, bool labelsLeft) {
    const float bezelLeft = at.x + lampX - 8, bezelRight = at.x + lampX + 8;
    const int labelLeft = std::max(int(bezelRight) + 6, at.x + width + 1);
    const int labelRight = std::min(int(bezelLeft) - 6, at.x - 3);
    int widest = 0;
    for (int k = 0; k < positions; ++k) {
        const float cy = at.y + lampCentreY(frameHeight, positions, k) - 0.5f;
        widest = std::max(widest, TextPainter::width(labels[k], labelStyle()));
        if (labelsLeft)
            TextPainter::drawRight(c, labels[k], labelRight, cy, labelStyle());
        else
            TextPainter::drawLeft(c, labels[k], labelLeft, cy, labelStyle());
    }
    const float groupCentre = labelsLeft ? (labelRight - widest + bezelRight) / 2.0f
                                         : (bezelLeft + labelLeft + widest) / 2.0f;
    TextPainter::drawCentred(c, title, groupCentre, at.y - 9.5f, titleStyle());
}

void drawSwitchLegends(Canvas& c) {
    static const char* const mode[] = {"L|R", "M|S", "MONO"};
    static const char* const resp[] = {"OFF", "1s", "3s"};
    static const char* const rms[] = {"SINE", "SQUARE"};
    drawSwitchLegend(c, kModeSwitchAt, kSwitchWidth, kSwitchFrame, kSwitchPositions, kSwitchLampX,
                     "MODE", mode, true);
    drawSwitchLegend(c, kRespSwitchAt, kSwitchWidth, kSwitchFrame, kSwitchPositions, kSwitchLampX,
                     "PK HOLD", resp, true);
    drawSwitchLegend(c, kRmsSwitchAt, kRmsSwitchWidth, kRmsSwitchFrame, kRmsSwitchPositions,
                     kRmsSwitchLampX, "RMS=PK", rms, false);
}

void drawSliderLegend(Canvas& c) {
    // scale ticks at the handle centre for every tenth of the travel, numbers at 0, 150, 300
    const int trackCentre = kSliderAt.x + kTrackWidth / 2;
    const TextStyle small{8, false, 0, kInkSoft};
    for (int i = 0; i <= 10; ++i) {
        const int top = int(kHandleTravel * (1 - i / 10.0));
        const int y = kSliderAt.y + top + kHandleHeight / 2;
        const int len = i % 5 == 0 ? 4 : 2;
        c.fillRect(kSliderAt.x - 2 - len, y, kSliderAt.x - 2, y + 1, kInkSoft);
        c.fillRect(kSliderAt.x + kTrackWidth + 2, y, kSliderAt.x + kTrackWidth + 2 + len, y + 1,
                   kInkSoft);
        if (i % 5 == 0)
            TextPainter::drawLeft(c, std::to_string(i * 30), kSliderAt.x + kTrackWidth + 8,
                                  y + 0.5f, small);
    }
    TextPainter::drawCentred(c, "DELAY", trackCentre, kSliderAt.y + kTrackHeight + 9.5f,
                             titleStyle());
    TextPainter::drawLeft(c, "ms", kDisplayRight + 3, (kDisplayTop + kDisplayBottom + 1) / 2.0f,
                          small);
}

void drawBrand(Canvas& c) {
    const Box w = meterWindow();
    TextPainter::drawLeft(c, "QUORVANE", int(w.x0) + 1, 36, TextStyle{16, true, 3, kInk});
    TextPainter::drawRight(c, "SPECTRAL SIDE-CHAIN DUCKER", int(w.x1) - 1, 37,
                           TextStyle{9, false, 1.5f, kInkSoft});
    c.fillRect(int(w.x0) + 1, 46, int(w.x1) - 1, 47, kShadow, 0.5f);
    c.fillRect(int(w.x0) + 1, 47, int(w.x1) - 1, 48, kHighlight);
}

void drawMeterLegend(Canvas& c) {
    const Box w = meterWindow();
    const TextStyle s{8, false, 1, kInkSoft};
    TextPainter::drawLeft(c, "RMS BAR  \xB7  PEAK AND HOLD SEGMENTS", int(w.x0) + 1, w.y1 + 12, s);
    TextPainter::drawRight(c, "1 dB PER SEGMENT", int(w.x1) - 1, w.y1 + 12, s);
}

} // namespace

Box meterWindow() {
    return {115, 55, 786, 152};
}

Canvas drawPanel() {
    Canvas c(kPanelWidth, kPanelHeight, kFace);
    drawPlate(c);
    drawScrews(c);
    drawBrand(c);
    drawMeterWindowShape(c);
    drawMeterScale(c);
    drawMeterLegend(c);
    drawRowNumbers(c);
    drawSwitchLegends(c);
    drawSliderLegend(c);
    return c;
}

} // namespace bitmapgen
