#pragma once
// Where the panel's controls sit and the colour of its face. The editor places its controls by
// these, and the bitmap generator draws the panel's art around the same places.

#include <cstdint>

namespace panel {

struct Spot {
    int32_t x;
    int32_t y;
};

struct Colour {
    uint8_t red;
    uint8_t green;
    uint8_t blue;
};

// The face of the panel, also the delay display's back and frame colour.
inline constexpr Colour kFace{232, 229, 224};

// The slider's left edge follows from the widths of the background and of the track bitmap.
constexpr int32_t sliderLeft(int32_t backgroundWidth, int32_t trackWidth) {
    return backgroundWidth - 111 + trackWidth + 18;
}
inline constexpr int32_t kSliderTop = 105;

// The delay display spans from 5 pixels left of the slider's left edge to 22 right of it.
constexpr int32_t displayLeft(int32_t sliderLeftEdge) {
    return sliderLeftEdge - 5;
}
constexpr int32_t displayRight(int32_t sliderLeftEdge) {
    return sliderLeftEdge + 22;
}
inline constexpr int32_t kDisplayTop = 92;
inline constexpr int32_t kDisplayBottom = 104;

// Top-left corners of the lamp switches and of the two meter rows.
inline constexpr Spot kModeSwitchAt{83, 40};
inline constexpr Spot kRespSwitchAt{83, 122};
inline constexpr Spot kRmsModeSwitchAt{793, 40};
inline constexpr Spot kMeterRowAt[2] = {{151, 65}, {151, 115}};

} // namespace panel
