#pragma once
// Drawing on a GDI device context: pens, brushes and fonts are built when set and selected into
// the context; the objects that were selected before come back when the device goes.

#include "gui/platform/platform.h"

#include <windows.h>

namespace quorvane::win32 {

// A picture a device can copy from: a bitmap selected into a memory device context.
class Win32Source {
public:
    virtual ~Win32Source() = default;
    virtual HDC sourceDC() const = 0;
};

// Draws on dc, which must outlive it. With owner set, the device got dc from GetDC(owner) and
// releases it when destroyed. Editor thread only; never throws.
class Win32Device : public platform::Device {
public:
    explicit Win32Device(HDC dc, HWND owner = nullptr);
    ~Win32Device() override;
    Win32Device(const Win32Device&) = delete;
    Win32Device& operator=(const Win32Device&) = delete;

    void setPen(platform::Colour colour, platform::PenStyle style) override;
    bool setBrush(platform::Colour colour) override;
    void setTextColour(platform::Colour colour) override;
    void setTextBackground(platform::Colour colour) override;
    void setFont(const platform::FontSpec& font) override;

    void moveTo(platform::Point p) override;
    void lineTo(platform::Point p) override;
    void frameRect(const platform::Rect& r) override;
    void fillRect(const platform::Rect& r) override;
    void drawText(const char* text, const platform::Rect& r, platform::TextAlign align,
                  bool opaque) override;
    // Both copies clip the source to the image first, so pixels outside it are skipped.
    void copyImage(const platform::Image& image, const platform::Rect& dst,
                   platform::Point src) override;
    // TransparentBlt when msimg32 provides it, the mask method otherwise; same pixels.
    void copyImageKeyed(const platform::Image& image, const platform::Rect& dst,
                        platform::Point src, platform::Colour key) override;

    HDC dc() const { return dc_; }

protected:
    // Restores the context's objects, frees this device's own and gives a context got from the
    // owner back; later drawing does nothing.
    void release();

private:
    void replace(HGDIOBJ& mine, HGDIOBJ made);

    HDC dc_;
    HWND owner_;
    HGDIOBJ pen_ = nullptr;
    HGDIOBJ brush_ = nullptr;
    HGDIOBJ font_ = nullptr;
    HGDIOBJ oldPen_ = nullptr;
    HGDIOBJ oldBrush_ = nullptr;
    HGDIOBJ oldFont_ = nullptr;
};

// The keyed copy without msimg32: copies the w x h area at (sx, sy) of source to (x, y) of
// destination, leaving the destination where the source has the key colour; the same pixels as
// TransparentBlt.
void maskedCopy(HDC destination, int x, int y, int w, int h, HDC source, int sx, int sy,
                COLORREF key);

} // namespace quorvane::win32
