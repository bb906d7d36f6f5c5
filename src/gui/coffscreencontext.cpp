#include "gui/coffscreencontext.h"

namespace VSTGUI {

namespace platform = quorvane::platform;

COffscreenContext::COffscreenContext(CFrame* frame, int32_t width, int32_t height,
                                     const CColor& background)
    : CDrawContext(frame, nullptr, nullptr), width(width), height(height) {
    // surface: a memory picture in the screen's format
    surface = platform::createOffscreen(nullptr, width, height);
    if (!surface) return;
    attachDevice(&surface->device());

    // background: the whole surface, outline included
    setFillColor(background);
    setFrameColor(background);
    fillRect(CRect(0, 0, width, height));
    drawRect(CRect(0, 0, width, height));
}

// The device belongs to the surface, so it goes with it.
COffscreenContext::~COffscreenContext() {
    device = nullptr;
    surface.reset();
}

void COffscreenContext::copyFrom(CDrawContext* destination, const CRect& rect) {
    if (!surface || !destination || !destination->getDevice()) return;
    destination->getDevice()->copyImage(*surface, {rect.left, rect.top, rect.right, rect.bottom},
                                        {0, 0});
}

} // namespace VSTGUI
