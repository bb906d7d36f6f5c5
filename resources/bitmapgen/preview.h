#pragma once
// Pictures for looking at the artwork: the panel composed as the editor shows it.

#include "quantizer.h"

#include <map>

namespace bitmapgen {

// What the resources decode to, by resource id.
using ResourceSet = std::map<int, Pixels>;

Pixels expand(const IndexedImage& image);

// The background with every control drawn over it at a sample setting: slider at half travel,
// lamps in different positions, meter bars partly lit with peak and hold markers.
Pixels composePanel(const ResourceSet& r);

// The part (x, y, w, h) of a picture.
Pixels crop(const Pixels& p, int x, int y, int w, int h);

// The slider drawn at the bottom, the middle and the top of its travel, side by side.
Pixels composeSliderPositions(const ResourceSet& r);

} // namespace bitmapgen
