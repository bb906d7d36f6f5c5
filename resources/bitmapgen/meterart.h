#pragma once
// The meter strips: 40 segments, lit (green, amber, red) or unlit.

#include "canvas.h"

namespace bitmapgen {

// First pixel column of segment j (j = 0 .. 40): the integer part of 15.1 j.
int segmentStart(int j);
// Centre of segment j in strip pixels.
float segmentCentre(int j);
// Lit colour of segment j: 28 green, 6 amber, 6 red.
Rgb segmentColour(int j);

// 604 x 27 strip on the meter window colour; each segment leaves its first and last column dark.
Canvas drawMeterStrip(bool lit);

} // namespace bitmapgen
