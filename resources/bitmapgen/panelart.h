#pragma once
// The panel background: face, screws, meter window with its scale, and every label.

#include "canvas.h"

namespace bitmapgen {

// 900 x 202 picture; the areas the controls cover are left in the colours the controls' own
// pictures continue, and the delay display's area is plain face colour.
Canvas drawPanel();

// The meter window's outline (left, top, right, bottom).
struct Box {
    float x0, y0, x1, y1;
};
Box meterWindow();

} // namespace bitmapgen
