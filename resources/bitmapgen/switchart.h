#pragma once
// Lamp switches: a dark bezel with a column of lamps, one picture per position.

#include "canvas.h"

namespace bitmapgen {

// frames pictures of width x frameHeight stacked vertically; picture k lights lamp k. The
// switch's click zones are frameHeight / positions pixels high and each lamp sits centred in
// its zone, at column lampX.
Canvas drawLampSwitch(int width, int frameHeight, int positions, float lampX);

// Centre row of lamp k within a picture.
float lampCentreY(int frameHeight, int positions, int k);

} // namespace bitmapgen
