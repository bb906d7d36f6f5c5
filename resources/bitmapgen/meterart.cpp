#include "meterart.h"

#include "panelstyle.h"

namespace bitmapgen {

namespace {

// LED body rows and corner radius inside the 27-pixel strip.
constexpr float kLedTop = 4, kLedBottom = 23, kLedRadius = 1.6f;

void drawLitLed(Canvas& c, float x0, float x1, Rgb base) {
    // body: bright top fading to the full colour, a soft hot core, a glassy top edge
    const Rgb top = mix(base, rgb8(255, 250, 235), 0.22f);
    const Rgb bottom = scale(base, 0.82f);
    c.fillRoundRectGradient(x0, kLedTop, x1, kLedBottom, kLedRadius, top, bottom);
    c.fillRoundRect(x0 + 2, kLedTop + 4, x1 - 2, kLedBottom - 4, 2,
                    mix(base, rgb8(255, 250, 235), 0.12f), 0.5f);
    c.fillRect(int(x0) + 1, int(kLedTop) + 1, int(x1) - 1, int(kLedTop) + 2, rgb8(255, 252, 240),
               0.45f);
}

void drawDarkLed(Canvas& c, float x0, float x1, Rgb base) {
    // body: the colour barely there, slightly lighter at the top like unlit glass
    const Rgb dark = mix(kWindow, base, 0.16f);
    c.fillRoundRectGradient(x0, kLedTop, x1, kLedBottom, kLedRadius,
                            mix(dark, rgb8(120, 120, 120), 0.1f), scale(dark, 0.9f));
    c.fillRect(int(x0) + 1, int(kLedTop) + 1, int(x1) - 1, int(kLedTop) + 2, rgb8(150, 150, 150),
               0.08f);
}

} // namespace

int segmentStart(int j) {
    return int(15.1 * j);
}

float segmentCentre(int j) {
    return (segmentStart(j) + segmentStart(j + 1)) / 2.0f;
}

Rgb segmentColour(int j) {
    return j < 28 ? kGreen : j < 34 ? kAmber : kRed;
}

Canvas drawMeterStrip(bool lit) {
    Canvas c(kMeterWidth, kMeterHeight, kWindow);
    for (int j = 0; j < kSegments; ++j) {
        const float x0 = float(segmentStart(j) + 1), x1 = float(segmentStart(j + 1) - 1);
        if (lit)
            drawLitLed(c, x0, x1, segmentColour(j));
        else
            drawDarkLed(c, x0, x1, segmentColour(j));
    }
    return c;
}

} // namespace bitmapgen
