#include "gui/cdrawcontext.h"

#include <atomic>

namespace VSTGUI {

namespace platform = quorvane::platform;

namespace {

struct FontEntry {
    int32_t size;
    const char* face;
};
constexpr FontEntry kFontTable[kNumFonts] = {{12, "Arial"}, {18, "Arial"}, {14, "Arial"},
                                             {12, "Arial"}, {11, "Arial"}, {10, "Arial"},
                                             {9, "Arial"},  {13, "Symbol"}};
constexpr int32_t kSwissVariablePitch = 34;
constexpr int32_t kDecorativeDefaultPitch = 80;

// Process-wide: every editor thread reads it, the first frame window writes it.
std::atomic<bool> swappedButtons = false;

platform::Point toPoint(const CPoint& p) {
    return {p.h, p.v};
}
platform::Rect toRect(const CRect& r) {
    return {r.left, r.top, r.right, r.bottom};
}

} // namespace

CDrawContext::CDrawContext(CFrame* frame, platform::Device* device, platform::Window* window)
    : window(window), frame(frame) {
    if (window) {
        const platform::Point origin = window->screenOrigin();
        windowOrigin = CPoint(origin.x, origin.y);
    }
    attachDevice(device);
}

// The device restores its own surface state; pens, brushes and fonts live in the device.
CDrawContext::~CDrawContext() = default;

void CDrawContext::attachDevice(platform::Device* newDevice) {
    device = newDevice;
    if (!device) return;
    setFrameColor(frameColor);
    setLineStyle(lineStyle);
    setFillColor(fillColor);
    device->setTextColour(fontColor.platformValue());
}

void CDrawContext::moveTo(const CPoint& point) {
    if (device) device->moveTo(toPoint(point));
}

void CDrawContext::lineTo(const CPoint& point) {
    if (device) device->lineTo(toPoint(point));
}

void CDrawContext::drawRect(const CRect& rect) {
    if (device) device->frameRect(toRect(rect));
}

void CDrawContext::fillRect(const CRect& rect) {
    if (device) device->fillRect(toRect(rect));
}

void CDrawContext::drawString(const char* text, const CRect& rect, bool opaque, int32_t alignment) {
    if (!text || !device) return;
    platform::Rect box = toRect(rect);
    platform::TextAlign align = platform::TextAlign::kLeft;
    if (alignment == kCenterText)
        align = platform::TextAlign::kCenter;
    else if (alignment == kRightText)
        align = platform::TextAlign::kRight;
    else
        box.left += 1;
    device->drawText(text, box, align, opaque);
}

void CDrawContext::setLineStyle(int32_t style) {
    lineStyle = style;
    if (device)
        device->setPen(frameColor.platformValue(), lineStyle == kLineOnOffDash
                                                       ? platform::PenStyle::kDotted
                                                       : platform::PenStyle::kSolid);
}

void CDrawContext::setFrameColor(const CColor& color) {
    frameColor = color;
    setLineStyle(lineStyle);
}

void CDrawContext::setFillColor(const CColor& color) {
    fillColor = color;
    if (!device) return;
    device->setTextBackground(color.platformValue());
    device->setBrush(color.platformValue()); // on failure the previous brush stays
}

void CDrawContext::setFontColor(const CColor& color) {
    fontColor = color;
    if (device) device->setTextColour(color.platformValue());
}

void CDrawContext::setFont(int32_t id, int32_t face) {
    // table: unknown ids mean the bold system font
    if (id < 0 || id >= kNumFonts) id = 0;
    fontId = id;
    fontSize = kFontTable[id].size;

    // description: id 0 is always bold, the symbol font is decorative
    platform::FontSpec request;
    request.face = kFontTable[id].face;
    request.height = fontSize;
    request.weight = (face & kBoldFace) || id == kFontBold12 ? 700 : 400;
    request.italic = (face & kItalicFace) != 0;
    request.underline = (face & kUnderlineFace) != 0;
    request.pitchAndFamily = id == kFontSymbol13 ? kDecorativeDefaultPitch : kSwissVariablePitch;
    if (device) device->setFont(request);
}

void CDrawContext::getMouseLocation(CPoint& point) const {
    const platform::Point p = platform::pointerScreenPosition();
    point = CPoint(p.x - windowOrigin.h, p.y - windowOrigin.v);
}

int32_t getMouseButtons() {
    const uint32_t physical = platform::physicalButtons();
    const bool swapped = swappedButtons.load();
    int32_t buttons = 0;
    if (physical & platform::kButtonLeft) buttons |= swapped ? kRButton : kLButton;
    if (physical & platform::kButtonMiddle) buttons |= kMButton;
    if (physical & platform::kButtonRight) buttons |= swapped ? kLButton : kRButton;
    if (physical & platform::kModifierShift) buttons |= kShift;
    if (physical & platform::kModifierControl) buttons |= kControl;
    if (physical & platform::kModifierAlt) buttons |= kAlt;
    return buttons;
}

void setMouseButtonsSwapped(bool swapped) {
    swappedButtons.store(swapped);
}
bool getMouseButtonsSwapped() {
    return swappedButtons.load();
}

} // namespace VSTGUI
