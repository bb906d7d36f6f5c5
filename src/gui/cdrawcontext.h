#pragma once
// Drawing context: one platform drawing device with the current pen, brush, font and colours.
// Short-lived: made for one paint, click or idle pass and destroyed afterwards.

#include "gui/platform/platform.h"
#include "gui/vstguitypes.h"

#include <cstdint>

namespace VSTGUI {

class CFrame;

// Editor thread only. Does not own the device or the window. Never throws.
class CDrawContext {
public:
    // device and window may be null; without a device every drawing call does nothing.
    CDrawContext(CFrame* frame, quorvane::platform::Device* device,
                 quorvane::platform::Window* window);
    virtual ~CDrawContext();
    CDrawContext(const CDrawContext&) = delete;
    CDrawContext& operator=(const CDrawContext&) = delete;

    // Line from the current position to point, point excluded; point becomes current.
    void moveTo(const CPoint& point);
    void lineTo(const CPoint& point);
    // Outline in the frame colour, all four edges inclusive.
    void drawRect(const CRect& rect);
    // Pixels strictly inside drawRect's outline, in the fill colour.
    void fillRect(const CRect& rect);
    // One line, vertically centred; alignment kLeftText moves the left edge 1 pixel right.
    // opaque fills the text's box with the fill colour first. Null text draws nothing.
    void drawString(const char* text, const CRect& rect, bool opaque = false,
                    int32_t alignment = kCenterText);

    // kLineSolid or kLineOnOffDash (dotted); rebuilds the pen.
    void setLineStyle(int32_t style);
    int32_t getLineStyle() const { return lineStyle; }
    int32_t getLineWidth() const { return lineWidth; }
    // Pen colour; rebuilds the pen.
    void setFrameColor(const CColor& color);
    CColor getFrameColor() const { return frameColor; }
    // Brush and text background colour; rebuilds the brush (kept if that fails).
    void setFillColor(const CColor& color);
    CColor getFillColor() const { return fillColor; }
    void setFontColor(const CColor& color);
    CColor getFontColor() const { return fontColor; }
    // Font id 0..7 of the font table (others mean 0) with kBoldFace/kItalicFace/kUnderlineFace.
    void setFont(int32_t fontId, int32_t face = 0);
    int32_t getFont() const { return fontId; }
    int32_t getFontSize() const { return fontSize; }

    // Pointer position relative to the window (screen position minus the window origin).
    void getMouseLocation(CPoint& point) const;
    // Screen position of the window taken at construction; (0, 0) without a window.
    CPoint getWindowOrigin() const { return windowOrigin; }

    CFrame* getFrame() const { return frame; }
    quorvane::platform::Device* getDevice() const { return device; }
    quorvane::platform::Window* getWindow() const { return window; }

protected:
    // Makes device the context's device and selects the current pen, brush and text colour.
    void attachDevice(quorvane::platform::Device* newDevice);

    CPoint windowOrigin;
    quorvane::platform::Device* device = nullptr;
    quorvane::platform::Window* window = nullptr;
    CFrame* frame = nullptr;
    int32_t fontSize = 0;
    int32_t fontId = -1;
    CColor fontColor = kWhiteColor;
    int32_t lineWidth = 1;
    CColor frameColor = kWhiteColor;
    CColor fillColor = kBlackColor;
    int32_t lineStyle = kLineSolid;
};

// Current physical mouse-button and modifier state as kLButton | ... | kAlt, with the left and
// right buttons exchanged when the user has swapped them (see setMouseButtonsSwapped).
int32_t getMouseButtons();
// The process-wide swapped-buttons flag getMouseButtons applies. The frame stores
// quorvane::platform::buttonsSwapped() here when it registers its first window.
void setMouseButtonsSwapped(bool swapped);
bool getMouseButtonsSwapped();

} // namespace VSTGUI
