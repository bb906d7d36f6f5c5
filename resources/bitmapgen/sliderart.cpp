#include "sliderart.h"

#include "panelstyle.h"

namespace bitmapgen {

namespace {

constexpr float kHandleRadius = 2.5f;

} // namespace

Canvas drawSliderTrack() {
    Canvas c(kTrackWidth, kTrackHeight, kFace);
    // groove: recess rim, dark slot with a shaded left wall
    const float x0 = 6, x1 = 10, y0 = 3, y1 = kTrackHeight - 3;
    c.fillRoundRect(x0 - 1, y0 - 1, x1 + 1, y1 + 1, 2.5f, kShadow, 0.55f);
    c.fillRoundRect(x0 - 1, y0, x1 + 1, y1 + 1, 2.5f, kHighlight);
    c.fillRoundRect(x0, y0, x1, y1, 2, rgb8(36, 38, 42));
    c.fillRect(int(x0) + 1, int(y0) + 1, int(x1) - 1, int(y1) - 1, rgb8(18, 18, 20));
    return c;
}

bool handleCornerPixel(int x, int y) {
    const float d =
        roundRectDistance(x + 0.5f, y + 0.5f, 0, 0, kHandleWidth, kHandleHeight, kHandleRadius);
    return d > 0;
}

Canvas drawSliderHandle() {
    Canvas c(kHandleWidth, kHandleHeight, kFace);
    // cap: dark outline, brushed body lit from above, a bevel, the grip line in the middle
    const float w = kHandleWidth, h = kHandleHeight;
    c.fillRoundRect(0, 0, w, h, kHandleRadius, rgb8(70, 71, 76));
    c.fillRoundRectGradient(1, 1, w - 1, h - 1, kHandleRadius - 1, rgb8(246, 245, 242),
                            rgb8(178, 177, 174));
    c.fillRect(2, 1, kHandleWidth - 2, 2, rgb8(253, 253, 252), 0.8f);
    c.fillRect(1, kHandleHeight / 2 - 1, kHandleWidth - 1, kHandleHeight / 2, rgb8(34, 34, 38));
    c.fillRect(1, kHandleHeight / 2, kHandleWidth - 1, kHandleHeight / 2 + 1, rgb8(250, 250, 248),
               0.7f);
    for (int y = 0; y < kHandleHeight; ++y)
        for (int x = 0; x < kHandleWidth; ++x)
            if (handleCornerPixel(x, y)) c.set(x, y, rgb8(255, 255, 255));
    return c;
}

} // namespace bitmapgen
