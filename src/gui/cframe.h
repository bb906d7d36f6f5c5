#pragma once
// The root of the editor's views: owns the editor window and hands drawing, clicks, keys,
// wheel turns and drops to its views.

#include "gui/cview.h"

#include <memory>

namespace VSTGUI {

class CBitmap;

// Holds one reference of every view in its list (released when they are removed with forget or
// when the frame is destroyed) and one of its background. Owns its window. Editor thread only;
// never throws. The list grows in steps of 20 entries. While it delivers window events or a
// click it holds a reference of itself (and of the clicked view), so that an editor closed
// from inside the host's idle frees them only when that call returns.
class CFrame : public CView {
public:
    // editor is the AEffGUIEditor that owns the frame; with a parent window the frame opens its
    // own window inside it at once.
    CFrame(const CRect& size, void* systemWindow, void* editor);
    // Removes and forgets every view, releases the background, destroys the window.
    ~CFrame() override;
    CFrame(const CFrame&) = delete;
    CFrame& operator=(const CFrame&) = delete;

    // Opens the frame's child window in systemWindow; true also when no window could be made.
    bool initFrame(void* systemWindow);

    // Full redraw: the background, then every view in list order.
    void draw(CDrawContext* context) override;
    // The background under updateRect, then every view touching it, each drawn whole.
    void drawRect(CDrawContext* context, const CRect& updateRect) override;
    // Clears the focus; the last added enabled view under where gets the click.
    void mouse(CDrawContext* context, CPoint& where) override;
    // Redraws the whole frame if it is dirty itself, otherwise every dirty view.
    void update(CDrawContext* context) override;
    // The focus view first, then every view from the last added; -1 when none handled it.
    int32_t onKeyDown(VstKeyCode& keyCode) override;
    int32_t onKeyUp(VstKeyCode& keyCode) override;
    // Offered to the enabled views under where, the last added first; false with a focus view.
    bool onDrop(void** items, int32_t count, int32_t type, CPoint& where) override;
    // To the view under the pointer, at the pointer's position; context may be null.
    bool onWheel(CDrawContext* context, const CPoint& where, float distance) override;
    void* getEditor() override;

    // Appends view (the frame takes over the creator's reference). false, with the list left
    // as it was, when view is null or the list cannot grow.
    virtual bool addView(CView* view);
    // Removes view (forgetting it if withForget); true also when it is not in the list.
    virtual bool removeView(CView* view, bool withForget = true);
    virtual bool removeAll(bool withForget = true);
    virtual bool isChild(CView* view);
    virtual int32_t getNbViews();
    // The view at index, or null outside 0 .. count - 1.
    virtual CView* getView(int32_t index);

    // Draws view (or the whole frame when view is null or not a child) into the window now.
    void draw(CView* view = nullptr);
    // The idle pass: delivers the window's waiting events (not while a click is being handled),
    // then redraws every dirty view straight into the window once the frame has been painted
    // and while its window is open.
    void idle();
    bool isSomethingDirty();
    // The last added view under the pointer, enabled or not; null when there is none.
    CView* getCurrentView();
    // The pointer position relative to the window; always true.
    bool getCurrentLocation(CPoint& where);
    // Takes a reference of bitmap and drops the old background.
    void setBackground(CBitmap* bitmap);
    CBitmap* getBackground() const { return background; }
    bool getOpenFlag() const { return openFlag; }
    // Stores view, then tells the previous focus view (if any) that it lost the focus.
    void setFocusView(CView* view);
    CView* getFocusView() const { return focusView; }
    // True once the editor that made the frame has let go of it (closed, or opened a new frame):
    // the frame then takes no clicks or drops and draws nothing in its idle pass.
    bool isReleasedByEditor() const;
    // The number of entries the view list has room for.
    int32_t getViewCapacity() const { return viewCapacity; }
    quorvane::platform::Window* getWindow() const { return window.get(); }

private:
    // What the window reports, passed on to the frame; never lets an exception out.
    class Events final : public quorvane::platform::WindowEvents {
    public:
        explicit Events(CFrame& frame) : frame(frame) {}
        void onPaint(quorvane::platform::Device& device,
                     const quorvane::platform::Rect& rect) override;
        void onButtonDown(quorvane::platform::Point where, int32_t button) override;
        bool onDrop(void** items, int32_t count, int32_t type,
                    quorvane::platform::Point where) override;
        // The host destroyed the parent window: the frame stops drawing.
        void onDestroyed() override;

    private:
        CFrame& frame;
    };

    // Asks the focus view, then every view from the last added, whether enabled or not; the first
    // answer other than -1, else -1. handler is onKeyDown or onKeyUp.
    int32_t dispatchKey(int32_t (CView::*handler)(VstKeyCode&), VstKeyCode& keyCode);
    // A drawing context on a device that draws straight into the window; without a window the
    // device is null and the context draws nothing.
    struct WindowContext {
        explicit WindowContext(CFrame& frame);
        std::unique_ptr<quorvane::platform::Device> device;
        CDrawContext context;
    };

    void closeWindow();

    void* editor;
    void* systemWindow;
    CBitmap* background = nullptr;
    int32_t viewCount = 0;
    int32_t viewCapacity = 0;
    CView** views = nullptr;
    CView* focusView = nullptr;
    bool firstDraw = true;
    bool openFlag = true;
    bool dropRegistered = false;
    bool inMouse = false;
    Events events{*this};
    std::unique_ptr<quorvane::platform::Window> window;
};

} // namespace VSTGUI
