#pragma once
// A view: a rectangle of the editor window that can draw itself and react to input.

#include "gui/cdrawcontext.h"
#include "shell/aeffect.h"

#include <cstdint>

namespace VSTGUI {

class CFrame;

// Reference counted: created with one reference, destroyed by the forget that takes the
// count to 0. Editor thread only. Never throws.
class CView {
public:
    explicit CView(const CRect& size);
    virtual ~CView();

    // Draws nothing; the view is clean afterwards.
    virtual void draw(CDrawContext* context);
    // Redraws the whole view, not only updateRect.
    virtual void drawRect(CDrawContext* context, const CRect& updateRect);
    // True when updateRect overlaps the view, edges inclusive.
    virtual bool checkUpdate(const CRect& updateRect);
    virtual void mouse(CDrawContext* context, CPoint& where);
    // Draws the view if it is dirty, then marks it clean.
    virtual void update(CDrawContext* context);
    // Reserved slot; answers 0 and nothing calls it.
    virtual int32_t reserved(void* first, void* second);
    // -1: the key was not handled.
    virtual int32_t onKeyDown(VstKeyCode& keyCode);
    virtual int32_t onKeyUp(VstKeyCode& keyCode);
    // items/count/type describe dropped data; true when the view took it.
    virtual bool onDrop(void** items, int32_t count, int32_t type, CPoint& where);
    virtual bool onWheel(CDrawContext* context, const CPoint& where, float distance);
    virtual void looseFocus(CDrawContext* context);
    virtual void takeFocus(CDrawContext* context);
    virtual bool isDirty();
    virtual void setDirty(bool flag = true);
    virtual void setMouseEnabled(bool flag = true);
    virtual bool getMouseEnabled();
    // Stored and answered only; hit testing uses the size.
    virtual void setMouseableArea(const CRect& rect);
    virtual CRect& getMouseableArea(CRect& rect);
    // True when where lies inside the size, edges inclusive; buttons is ignored.
    virtual bool hitTest(const CPoint& where, int32_t buttons = -1);
    virtual void setTransparency(bool flag);
    virtual bool getTransparency();
    // Moves the view and marks it dirty; the mouseable area stays.
    virtual void setViewSize(const CRect& rect);
    virtual CRect& getViewSize(CRect& rect);
    virtual void setParentView(CView* view);
    virtual void setParent(CFrame* frame);
    // The editor of the parent frame, or null without a frame.
    virtual void* getEditor();
    virtual bool removed(CView* parent);
    virtual bool attached(CView* parent);
    // Drops one reference; the view deletes itself when the count reaches 0.
    virtual void forget();
    virtual void remember();
    virtual int32_t getNbReference();

    CFrame* getParent() const { return parentFrame; }

protected:
    int32_t nbReference = 1;
    CRect size;
    CRect mouseableArea;
    CFrame* parentFrame = nullptr;
    bool dirty = false;
    bool mouseEnabled = true;
    bool transparencyEnabled = false;
};

} // namespace VSTGUI
