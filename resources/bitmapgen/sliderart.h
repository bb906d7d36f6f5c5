#pragma once
// The delay slider: its track and its handle.

#include "canvas.h"

namespace bitmapgen {

// 16 x 70 face-coloured strip with a dark vertical groove.
Canvas drawSliderTrack();
// 14 x 12 grey cap with a grip line; its four corners are pure white (drawn transparent).
Canvas drawSliderHandle();
// true for the pixels of the handle that are transparent.
bool handleCornerPixel(int x, int y);

} // namespace bitmapgen
