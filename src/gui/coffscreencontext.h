#pragma once
// A drawing context over a memory surface of its own, for composing a picture that is then
// copied to another context in one step.

#include "gui/cdrawcontext.h"

#include <memory>

namespace VSTGUI {

// Owns its surface. Lives as long as the view that made it; editor thread only. If the surface
// cannot be made (size not positive, no memory) the context draws nothing and copies nothing.
class COffscreenContext : public CDrawContext {
public:
    // A width x height surface in the screen's pixel format (that of every window of the
    // editor), filled with background. frame is only stored and may be null.
    COffscreenContext(CFrame* frame, int32_t width, int32_t height,
                      const CColor& background = kBlackColor);
    ~COffscreenContext() override;

    // Copies the surface pixels (0 .. w-1, 0 .. h-1), w and h the size of rect, opaquely to
    // (rect.left, rect.top) onward of destination; what lies outside either surface is skipped.
    void copyFrom(CDrawContext* destination, const CRect& rect);

    int32_t getWidth() const { return width; }
    int32_t getHeight() const { return height; }
    // The surface as an image, or null if it could not be made.
    const quorvane::platform::Image* getImage() const { return surface.get(); }

protected:
    int32_t width = 0;
    int32_t height = 0;
    std::unique_ptr<quorvane::platform::Offscreen> surface;
};

} // namespace VSTGUI
