#pragma once
// Test bitmaps of the panel's sizes, each told apart by its colour, registered with the headless
// back end in place of the artwork.

#include "gui/platform/headless/headless.h"
#include "gui/platform/raster/pixelbuffer.h"

namespace editortest {

using quorvane::raster::PixelBuffer;
using quorvane::raster::rgb;
namespace headless = quorvane::headless;

// Colours of the test bitmaps.
inline constexpr uint32_t kPanel = rgb(10, 20, 30);
inline constexpr uint32_t kTrack = rgb(40, 0, 0);
inline constexpr uint32_t kHandle = rgb(0, 200, 0);
inline constexpr uint32_t kMeterOff = rgb(0, 0, 90);
// The lit strip differs in every column, so a wrong source point shows.
inline constexpr uint32_t meterOn(int x, int y) {
    return rgb(100 + y, x & 0xFF, 128 + (x >> 8));
}
// Frame k of the three-lamp and of the two-lamp switch images.
inline constexpr uint32_t lamp(int k) {
    return rgb(1, 2, 100 + 40 * k);
}
inline constexpr uint32_t rmsLamp(int k) {
    return rgb(3, 4, 200 + 20 * k);
}

struct PanelSizes {
    int panelW = 900, panelH = 202;
    int trackW = 16, trackH = 70;
    int handleW = 14, handleH = 12;
    int meterW = 604, meterH = 27;
    int modeW = 31, modeH = 135;
    int rmsModeW = 27, rmsModeH = 56;
};

inline PixelBuffer framesOf(int w, int h, int frames, uint32_t (*colour)(int)) {
    PixelBuffer b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.set(x, y, colour(y / (h / frames)));
    return b;
}

inline void registerPanelBitmaps(const PanelSizes& s = {}) {
    headless::registerBitmap(128, PixelBuffer(s.panelW, s.panelH, kPanel));
    headless::registerBitmap(129, PixelBuffer(s.trackW, s.trackH, kTrack));
    headless::registerBitmap(130, PixelBuffer(s.handleW, s.handleH, kHandle));
    headless::registerBitmap(131, PixelBuffer(s.meterW, s.meterH, kMeterOff));
    PixelBuffer on(s.meterW, s.meterH);
    for (int y = 0; y < s.meterH; ++y)
        for (int x = 0; x < s.meterW; ++x)
            on.set(x, y, meterOn(x, y));
    headless::registerBitmap(132, on);
    headless::registerBitmap(133, framesOf(s.modeW, s.modeH, 3, lamp));
    headless::registerBitmap(134, framesOf(s.rmsModeW, s.rmsModeH, 2, rmsLamp));
}

} // namespace editortest
