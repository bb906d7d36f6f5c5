#include "gui/cframe.h"

#include "gui/cbitmap.h"
#include "shell/aeffeditor.h"
#include "shell/audioeffect.h"

#include <atomic>
#include <new>

namespace VSTGUI {

namespace platform = quorvane::platform;

namespace {
// Entries the view list grows by.
constexpr int32_t kViewListStep = 20;
// Frame windows open in the process, on any editor thread; the first one reads the
// swapped-buttons setting.
std::atomic<int32_t> windowUseCount = 0;

// Keeps a view (or the frame itself) alive for the length of a call in which the host may close
// the editor: the last forget, if it comes from here, is the last thing the call does.
class Hold {
public:
    explicit Hold(CView* view) : view(view) { view->remember(); }
    ~Hold() { view->forget(); }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

private:
    CView* view;
};
} // namespace

CFrame::WindowContext::WindowContext(CFrame& frame)
    : device(frame.window ? frame.window->openDevice() : nullptr),
      context(&frame, device.get(), frame.window.get()) {}

CFrame::CFrame(const CRect& size, void* systemWindow, void* editor)
    : CView(size), editor(editor), systemWindow(systemWindow) {
    if (systemWindow) initFrame(systemWindow);
}

CFrame::~CFrame() {
    if (dropRegistered && window) window->setDropEnabled(false);
    dropRegistered = false;
    removeAll(true);
    if (background) background->forget();
    background = nullptr;
    closeWindow();
}

bool CFrame::initFrame(void* parent) {
    // register: the first frame window of the process reads the button setting
    if (windowUseCount.fetch_add(1) == 0) setMouseButtonsSwapped(platform::buttonsSwapped());
    // create the child window and let it deliver drops
    window = platform::createChildWindow(parent, size.width(), size.height(), &events);
    if (window) dropRegistered = window->setDropEnabled(true);
    return true;
}

void CFrame::closeWindow() {
    if (!window) return;
    window.reset();
    windowUseCount.fetch_sub(1);
}

bool CFrame::isReleasedByEditor() const {
    auto* owner = static_cast<AEffEditor*>(editor);
    return owner && !owner->showsFrame(this);
}

void CFrame::draw(CDrawContext* context) {
    firstDraw = false;
    if (background) {
        CRect rect{0, 0, background->getWidth(), background->getHeight()};
        background->draw(context, rect, CPoint{0, 0});
    }
    for (int32_t i = 0; i < viewCount; i++)
        views[i]->draw(context);
}

void CFrame::drawRect(CDrawContext* context, const CRect& updateRect) {
    firstDraw = false;
    if (background) background->draw(context, updateRect, CPoint{updateRect.left, updateRect.top});
    for (int32_t i = 0; i < viewCount; i++) {
        if (views[i]->checkUpdate(updateRect)) views[i]->drawRect(context, updateRect);
    }
}

void CFrame::mouse(CDrawContext* context, CPoint& where) {
    // a closed editor takes no clicks
    if (isReleasedByEditor()) return;
    // the focus view still holds the focus while it is told that it loses it
    if (focusView) {
        focusView->looseFocus(nullptr);
        focusView = nullptr;
    }
    int32_t buttons = getMouseButtons();
    for (int32_t i = viewCount - 1; i >= 0; i--) {
        CView* view = views[i];
        if (view->getMouseEnabled() && view->hitTest(where, buttons)) {
            // a tracking loop may run in there: its idle passes must not start another click,
            // and a close in the host's idle must not free the frame or the view under it
            Hold holdFrame(this);
            Hold holdView(view);
            bool outer = inMouse;
            inMouse = true;
            view->mouse(context, where);
            inMouse = outer;
            return;
        }
    }
}

void CFrame::update(CDrawContext* context) {
    if (!openFlag) return;
    if (isDirty()) {
        draw(context);
        setDirty(false);
        return;
    }
    for (int32_t i = 0; i < viewCount; i++)
        views[i]->update(context);
}

int32_t CFrame::onKeyDown(VstKeyCode& keyCode) {
    return dispatchKey(&CView::onKeyDown, keyCode);
}

int32_t CFrame::onKeyUp(VstKeyCode& keyCode) {
    return dispatchKey(&CView::onKeyUp, keyCode);
}

int32_t CFrame::dispatchKey(int32_t (CView::*handler)(VstKeyCode&), VstKeyCode& keyCode) {
    if (focusView) {
        int32_t result = (focusView->*handler)(keyCode);
        if (result != -1) return result;
    }
    for (int32_t i = viewCount - 1; i >= 0; i--) {
        int32_t result = (views[i]->*handler)(keyCode);
        if (result != -1) return result;
    }
    return -1;
}

bool CFrame::onDrop(void** items, int32_t count, int32_t type, CPoint& where) {
    if (focusView) return false;
    for (int32_t i = viewCount - 1; i >= 0; i--) {
        CView* view = views[i];
        CRect rect;
        if (!view->getMouseEnabled() || !view->getViewSize(rect).pointInside(where)) continue;
        if (view->onDrop(items, count, type, where)) return true;
    }
    return false;
}

bool CFrame::onWheel(CDrawContext* context, const CPoint& where, float distance) {
    (void)where;
    CView* target = getCurrentView();
    if (!target) return false;
    CPoint location;
    getCurrentLocation(location);
    if (context) return target->onWheel(context, location, distance);
    WindowContext own(*this);
    return target->onWheel(&own.context, location, distance);
}

void* CFrame::getEditor() {
    return editor;
}

bool CFrame::addView(CView* view) {
    if (!view) return false;
    if (viewCount == viewCapacity) {
        // grow: the old list stays in place until the larger one exists
        int32_t capacity = viewCapacity + kViewListStep;
        CView** larger = new (std::nothrow) CView*[capacity];
        if (!larger) return false;
        for (int32_t i = 0; i < viewCount; i++)
            larger[i] = views[i];
        delete[] views;
        views = larger;
        viewCapacity = capacity;
    }
    views[viewCount++] = view;
    view->setParent(this);
    view->attached(this);
    return true;
}

bool CFrame::removeView(CView* view, bool withForget) {
    for (int32_t i = 0; i < viewCount; i++) {
        if (views[i] != view) continue;
        for (int32_t j = i + 1; j < viewCount; j++)
            views[j - 1] = views[j];
        viewCount--;
        // a view that leaves the frame cannot keep the focus
        if (focusView == view) focusView = nullptr;
        view->removed(this);
        if (withForget) view->forget();
        return true;
    }
    return true;
}

bool CFrame::removeAll(bool withForget) {
    if (focusView) {
        focusView->looseFocus(nullptr);
        focusView = nullptr;
    }
    // detach the list first so that nothing reaches a view while it is being released
    CView** list = views;
    int32_t count = viewCount;
    views = nullptr;
    viewCount = 0;
    viewCapacity = 0;
    for (int32_t i = 0; i < count; i++) {
        list[i]->removed(this);
        if (withForget) list[i]->forget();
    }
    delete[] list;
    return true;
}

bool CFrame::isChild(CView* view) {
    for (int32_t i = 0; i < viewCount; i++) {
        if (views[i] == view) return true;
    }
    return false;
}

int32_t CFrame::getNbViews() {
    return viewCount;
}

CView* CFrame::getView(int32_t index) {
    if (index < 0 || index >= viewCount) return nullptr;
    return views[index];
}

void CFrame::draw(CView* view) {
    CView* target = (view && isChild(view)) ? view : this;
    WindowContext own(*this);
    if (own.device) target->draw(&own.context);
}

void CFrame::idle() {
    // the events delivered here may close the editor: the frame then goes when idle returns
    Hold hold(this);
    if (window && !inMouse) window->dispatchPendingEvents();
    if (!openFlag || firstDraw || isReleasedByEditor()) return;
    if (!isSomethingDirty()) return;
    WindowContext own(*this);
    if (own.device) update(&own.context);
}

bool CFrame::isSomethingDirty() {
    if (isDirty()) return true;
    for (int32_t i = 0; i < viewCount; i++) {
        if (views[i]->isDirty()) return true;
    }
    return false;
}

CView* CFrame::getCurrentView() {
    CPoint where;
    getCurrentLocation(where);
    for (int32_t i = viewCount - 1; i >= 0; i--) {
        CRect rect;
        if (views[i]->getViewSize(rect).pointInside(where)) return views[i];
    }
    return nullptr;
}

bool CFrame::getCurrentLocation(CPoint& where) {
    platform::Point pointer = platform::pointerScreenPosition();
    platform::Point origin = window ? window->screenOrigin() : platform::Point{};
    where = CPoint{pointer.x - origin.x, pointer.y - origin.y};
    return true;
}

void CFrame::setBackground(CBitmap* bitmap) {
    if (bitmap) bitmap->remember();
    if (background) background->forget();
    background = bitmap;
}

void CFrame::setFocusView(CView* view) {
    CView* old = focusView;
    focusView = view;
    if (old) old->looseFocus(nullptr);
}

void CFrame::Events::onPaint(platform::Device& device, const platform::Rect& rect) {
    try {
        CDrawContext context(&frame, &device, frame.window.get());
        frame.drawRect(&context, CRect{rect.left, rect.top, rect.right, rect.bottom});
    } catch (...) {
    }
}

void CFrame::Events::onButtonDown(platform::Point where, int32_t button) {
    (void)button;
    // A window system may deliver the click outside any host call (from the host's own message
    // loop): the click then counts as a call of its own, so that a host ending the instance from
    // its idle during the drag ends it when the click is over, not under the tracking loop.
    AudioEffect* effect = nullptr;
    if (auto* editor = static_cast<AEffEditor*>(frame.getEditor())) effect = editor->getEffect();
    if (effect) effect->enterEntry();
    try {
        WindowContext own(frame);
        CPoint point{where.x, where.y};
        frame.mouse(&own.context, point);
    } catch (...) {
    }
    // the frame may be gone from here on: only the local effect is touched
    if (effect && effect->leaveEntry()) delete effect;
}

void CFrame::Events::onDestroyed() {
    frame.openFlag = false;
    frame.systemWindow = nullptr;
}

bool CFrame::Events::onDrop(void** items, int32_t count, int32_t type, platform::Point where) {
    try {
        if (frame.isReleasedByEditor()) return false;
        CPoint point{where.x, where.y};
        return frame.onDrop(items, count, type, point);
    } catch (...) {
        return false;
    }
}

} // namespace VSTGUI
