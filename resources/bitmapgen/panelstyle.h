#pragma once
// Colours, type and control positions shared by every picture of the panel.

#include "canvas.h"
#include "textpainter.h"

#include "editor/panellayout.h"

namespace bitmapgen {

// Panel face and the dark meter window behind both meter rows.
inline const Rgb kFace = rgb8(panel::kFace.red, panel::kFace.green, panel::kFace.blue);
inline const Rgb kWindow = rgb8(30, 32, 36);
inline const Rgb kInk = rgb8(46, 48, 52);          // titles
inline const Rgb kInkSoft = rgb8(78, 80, 85);      // position labels
inline const Rgb kScaleInk = rgb8(176, 179, 176);  // scale text on the meter window
inline const Rgb kShadow = rgb8(120, 117, 112);    // recess shadow on the face
inline const Rgb kHighlight = rgb8(250, 249, 246); // recess highlight on the face

// Meter segment colours when lit.
inline const Rgb kGreen = rgb8(70, 222, 104);
inline const Rgb kAmber = rgb8(255, 184, 40);
inline const Rgb kRed = rgb8(255, 70, 52);

// Lamp colour when lit.
inline const Rgb kLamp = rgb8(255, 164, 44);

inline TextStyle titleStyle() {
    return {10, true, 1.0f, kInk};
}
inline TextStyle labelStyle() {
    return {10, false, 0, kInkSoft};
}

// Picture sizes.
inline constexpr int kPanelWidth = 900, kPanelHeight = 202;
inline constexpr int kMeterWidth = 604, kMeterHeight = 27, kSegments = 40;
inline constexpr int kTrackWidth = 16, kTrackHeight = 70;
inline constexpr int kHandleWidth = 14, kHandleHeight = 12, kHandleTravel = 57;
inline constexpr int kSwitchWidth = 31, kSwitchFrame = 45, kSwitchPositions = 3;
inline constexpr int kRmsSwitchWidth = 27, kRmsSwitchFrame = 28, kRmsSwitchPositions = 2;
// Frame positions of the controls (left, top): the editor's own.
using Spot = panel::Spot;
inline constexpr Spot kSliderAt{panel::sliderLeft(kPanelWidth, kTrackWidth), panel::kSliderTop};
inline constexpr Spot kModeSwitchAt = panel::kModeSwitchAt;
inline constexpr Spot kRespSwitchAt = panel::kRespSwitchAt;
inline constexpr Spot kRmsSwitchAt = panel::kRmsModeSwitchAt;
inline constexpr Spot kMeterRow0At = panel::kMeterRowAt[0];
inline constexpr Spot kMeterRow1At = panel::kMeterRowAt[1];
inline constexpr int kDisplayLeft = panel::displayLeft(kSliderAt.x);
inline constexpr int kDisplayRight = panel::displayRight(kSliderAt.x);
inline constexpr int kDisplayTop = panel::kDisplayTop, kDisplayBottom = panel::kDisplayBottom;

// Lamp columns: the three-lamp switches have their labels on the left, so their lamps sit left
// of centre, as close to the labels as the two-lamp switch's lamps are to theirs.
inline constexpr float kSwitchLampX = 11.5f, kRmsSwitchLampX = 13.5f;

} // namespace bitmapgen
