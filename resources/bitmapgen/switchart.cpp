#include "switchart.h"

#include "panelstyle.h"

#include <cmath>

namespace bitmapgen {

namespace {

constexpr float kBezelHalfWidth = 8, kLampRadius = 4.5f;

void drawBezel(Canvas& c, float cx, float top, float bottom) {
    // recess: shadow above, highlight below, then the dark bezel with a faint inner rim
    const float x0 = cx - kBezelHalfWidth, x1 = cx + kBezelHalfWidth;
    c.fillRoundRect(x0 - 0.5f, top + 0.5f, x1 + 0.5f, bottom + 0.5f, kBezelHalfWidth + 0.5f,
                    kHighlight);
    c.fillRoundRect(x0 - 0.5f, top - 0.5f, x1 + 0.5f, bottom - 0.5f, kBezelHalfWidth + 0.5f,
                    kShadow);
    c.fillRoundRectGradient(x0, top, x1, bottom, kBezelHalfWidth, rgb8(24, 25, 28),
                            rgb8(44, 46, 50));
    c.strokeRoundRect(x0, top, x1, bottom, kBezelHalfWidth, 1, rgb8(8, 8, 10), 0.6f);
}

void drawLamp(Canvas& c, float cx, float cy, bool lit) {
    if (lit) {
        // glow around, then the hot dome and its specular spot
        c.glow(cx, cy, 8.5f, kLamp, 0.55f);
        c.fillCircle(cx, cy, kLampRadius, rgb8(232, 120, 20));
        c.fillCircle(cx, cy - 0.3f, kLampRadius - 1.2f, kLamp);
        c.fillCircle(cx - 0.2f, cy - 0.6f, 1.8f, rgb8(255, 226, 150));
        c.fillCircle(cx - 1.4f, cy - 1.8f, 1.0f, rgb8(255, 248, 230), 0.9f);
    } else {
        c.fillCircle(cx, cy, kLampRadius + 0.6f, rgb8(10, 10, 12), 0.8f);
        c.fillCircle(cx, cy, kLampRadius, rgb8(70, 46, 26));
        c.fillCircle(cx, cy + 0.6f, kLampRadius - 1.2f, rgb8(88, 58, 32));
        c.fillCircle(cx - 1.4f, cy - 1.8f, 1.1f, rgb8(190, 170, 150), 0.55f);
    }
}

} // namespace

float lampCentreY(int frameHeight, int positions, int k) {
    const int zone = frameHeight / positions;
    return float(k * zone) + zone / 2.0f;
}

Canvas drawLampSwitch(int width, int frameHeight, int positions, float lampX) {
    Canvas c(width, frameHeight * positions, kFace);
    for (int frame = 0; frame < positions; ++frame) {
        const float top = float(frame * frameHeight);
        drawBezel(c, lampX, top + 0.5f, top + frameHeight - 1.0f);
        for (int k = 0; k < positions; ++k)
            drawLamp(c, lampX, top + lampCentreY(frameHeight, positions, k), k == frame);
    }
    return c;
}

} // namespace bitmapgen
