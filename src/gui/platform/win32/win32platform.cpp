// Windows back end, first stage: bitmap resources, input state and time. Windows and drawing
// surfaces are not made yet, so an editor opens without a window.

#include "gui/platform/platform.h"
#include "gui/platform/win32/win32module.h"

#include <windows.h>

#include <utility>

namespace quorvane::platform {

namespace {

// A bitmap resource of the module, loaded by LoadBitmapA.
class ResourceImage : public Image {
public:
    ResourceImage(HBITMAP bitmap, int32_t width, int32_t height)
        : bitmap_(bitmap), width_(width), height_(height) {}
    ~ResourceImage() override { DeleteObject(bitmap_); }
    ResourceImage(const ResourceImage&) = delete;
    ResourceImage& operator=(const ResourceImage&) = delete;
    int32_t width() const override { return width_; }
    int32_t height() const override { return height_; }

private:
    HBITMAP bitmap_;
    int32_t width_;
    int32_t height_;
};

} // namespace

std::unique_ptr<Window> createChildWindow(void*, int32_t, int32_t, WindowEvents*) {
    return nullptr;
}

std::unique_ptr<Offscreen> createOffscreen(const Window*, int32_t, int32_t) {
    return nullptr;
}

std::unique_ptr<Image> loadBitmap(int32_t id) {
    HBITMAP bitmap =
        LoadBitmapA(win32::moduleInstance(), MAKEINTRESOURCEA(static_cast<WORD>(id & 0xFFFF)));
    if (!bitmap) return nullptr;
    BITMAP info;
    if (GetObjectA(bitmap, sizeof(info), &info) != sizeof(info)) {
        DeleteObject(bitmap);
        return nullptr;
    }
    return std::make_unique<ResourceImage>(bitmap, info.bmWidth, info.bmHeight);
}

uint32_t physicalButtons() {
    const std::pair<int, uint32_t> keys[] = {
        {VK_LBUTTON, 1}, {VK_MBUTTON, 2},  {VK_RBUTTON, 4},
        {VK_SHIFT, 8},   {VK_CONTROL, 16}, {VK_MENU, 32},
    };
    uint32_t buttons = 0;
    for (auto [key, bit] : keys)
        if (GetAsyncKeyState(key) < 0) buttons |= bit;
    return buttons;
}

bool buttonsSwapped() {
    return GetSystemMetrics(SM_SWAPBUTTON) != 0;
}

Point pointerScreenPosition() {
    POINT p{};
    GetCursorPos(&p);
    return {static_cast<int32_t>(p.x), static_cast<int32_t>(p.y)};
}

uint32_t tickCount() {
    return GetTickCount();
}

void sleepMilliseconds(uint32_t ms) {
    Sleep(ms);
}

bool runOnePendingRepaint() {
    return false;
}

} // namespace quorvane::platform
