#pragma once
// Pictures in GDI bitmaps: the module's bitmap resources and offscreen surfaces. Each keeps its
// bitmap selected into a memory device context of its own for its whole life, so that copies
// out of it (and drawing into an offscreen) need no set-up.

#include "gui/platform/platform.h"
#include "gui/platform/win32/win32device.h"

#include <memory>

namespace quorvane::win32 {

// A bitmap in a memory device context; owns both. Editor thread only.
class Win32Picture : public platform::Image, public Win32Source {
public:
    // Takes bitmap; null when it is null or no memory device context can be made.
    static std::unique_ptr<Win32Picture> adopt(HBITMAP bitmap);
    ~Win32Picture() override;
    Win32Picture(const Win32Picture&) = delete;
    Win32Picture& operator=(const Win32Picture&) = delete;

    int32_t width() const override { return width_; }
    int32_t height() const override { return height_; }
    HDC sourceDC() const override { return dc_; }
    HBITMAP bitmap() const { return bitmap_; }

private:
    Win32Picture(HBITMAP bitmap, HDC dc, int32_t width, int32_t height);

    HBITMAP bitmap_;
    HDC dc_;
    HGDIOBJ previous_;
    int32_t width_;
    int32_t height_;
};

// A compatible bitmap to draw into and copy from.
class Win32Offscreen : public platform::Offscreen, public Win32Source {
public:
    // A width x height bitmap in the pixel format of reference (the screen when null).
    static std::unique_ptr<Win32Offscreen> create(HWND reference, int32_t width, int32_t height);

    int32_t width() const override { return picture_->width(); }
    int32_t height() const override { return picture_->height(); }
    HDC sourceDC() const override { return picture_->sourceDC(); }
    platform::Device& device() override { return *device_; }

private:
    explicit Win32Offscreen(std::unique_ptr<Win32Picture> picture);

    // the device goes first: it restores the memory context's objects
    std::unique_ptr<Win32Picture> picture_;
    std::unique_ptr<Win32Device> device_;
};

// The module's bitmap resource id (low 16 bits), or null.
std::unique_ptr<Win32Picture> loadResourceBitmap(int32_t id);

} // namespace quorvane::win32
