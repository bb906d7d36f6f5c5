#include "gui/platform/win32/win32picture.h"

#include "gui/platform/win32/win32module.h"

#include <new>

namespace quorvane::win32 {

std::unique_ptr<Win32Picture> Win32Picture::adopt(HBITMAP bitmap) {
    if (!bitmap) return nullptr;
    // size: the bitmap's own description, in logical units of the screen
    BITMAP description{};
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc || !GetObjectA(bitmap, sizeof(description), &description)) {
        if (dc) DeleteDC(dc);
        DeleteObject(bitmap);
        return nullptr;
    }
    POINT size{description.bmWidth, description.bmHeight};
    DPtoLP(dc, &size, 1);
    std::unique_ptr<Win32Picture> picture(new (std::nothrow)
                                              Win32Picture(bitmap, dc, size.x, size.y));
    if (!picture) {
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
    return picture;
}

Win32Picture::Win32Picture(HBITMAP bitmap, HDC dc, int32_t width, int32_t height)
    : bitmap_(bitmap), dc_(dc), previous_(SelectObject(dc, bitmap)), width_(width),
      height_(height) {}

Win32Picture::~Win32Picture() {
    SelectObject(dc_, previous_);
    DeleteDC(dc_);
    DeleteObject(bitmap_);
}

std::unique_ptr<Win32Offscreen> Win32Offscreen::create(HWND reference, int32_t width,
                                                       int32_t height) {
    if (width <= 0 || height <= 0) return nullptr;
    HDC windowDC = GetDC(reference);
    if (!windowDC) return nullptr;
    HBITMAP bitmap = CreateCompatibleBitmap(windowDC, width, height);
    ReleaseDC(reference, windowDC);
    std::unique_ptr<Win32Picture> picture = Win32Picture::adopt(bitmap);
    if (!picture) return nullptr;
    return std::unique_ptr<Win32Offscreen>(new (std::nothrow) Win32Offscreen(std::move(picture)));
}

Win32Offscreen::Win32Offscreen(std::unique_ptr<Win32Picture> picture)
    : picture_(std::move(picture)), device_(std::make_unique<Win32Device>(picture_->sourceDC())) {}

std::unique_ptr<Win32Picture> loadResourceBitmap(int32_t id) {
    HBITMAP bitmap = LoadBitmapA(moduleInstance(), MAKEINTRESOURCEA(id & 0xFFFF));
    return Win32Picture::adopt(bitmap);
}

} // namespace quorvane::win32
