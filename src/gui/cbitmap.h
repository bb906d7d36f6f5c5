#pragma once
// A reference-counted picture loaded from the module's bitmap resources by id.

#include "gui/cdrawcontext.h"

#include <memory>

namespace VSTGUI {

// Created with one reference (new CBitmap(id)); the forget that takes the count to 0 destroys
// it, so it must live on the heap. Editor thread only. A missing resource gives 0 x 0 and
// draws nothing.
class CBitmap {
public:
    // Loads resource (id & 0xFFFF).
    explicit CBitmap(int32_t resourceId);
    CBitmap(const CBitmap&) = delete;
    CBitmap& operator=(const CBitmap&) = delete;

    void remember() { ++nbReference; }
    // Drops one reference; at 0 the image is released and the object deleted. A count already
    // at 0 or below is left alone.
    void forget();
    int32_t getNbReference() const { return nbReference; }

    int32_t getWidth() const { return width; }
    int32_t getHeight() const { return height; }
    int32_t getResourceId() const { return resourceId; }
    CColor getTransparentColor() const { return transparentColor; }
    bool isLoaded() const { return image != nullptr; }

    // Copies image pixel (offset.h + i, offset.v + j) to (rect.left + i, rect.top + j) for
    // 0 <= i < rect width, 0 <= j < rect height; only what lies inside the image is copied.
    void draw(CDrawContext* context, const CRect& rect, const CPoint& offset = CPoint());
    // As draw, but source pixels of the transparent colour (pure white) are not drawn.
    void drawTransparent(CDrawContext* context, const CRect& rect, const CPoint& offset = CPoint());
    // drawTransparent when transparent is set, otherwise draw: the choice every control makes
    // from its transparency flag.
    void draw(CDrawContext* context, const CRect& rect, const CPoint& offset, bool transparent);

private:
    ~CBitmap();

    int32_t resourceId = 0;
    int32_t nbReference = 1;
    int32_t width = 0;
    int32_t height = 0;
    CColor transparentColor = kWhiteColor;
    std::unique_ptr<quorvane::platform::Image> image;
};

} // namespace VSTGUI
