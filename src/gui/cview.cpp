#include "gui/cview.h"

#include "gui/cframe.h"

namespace VSTGUI {

CView::CView(const CRect& size) : size(size), mouseableArea(size) {}

CView::~CView() = default;

void CView::draw(CDrawContext* context) {
    (void)context;
    setDirty(false);
}

void CView::drawRect(CDrawContext* context, const CRect& updateRect) {
    (void)updateRect;
    draw(context);
}

bool CView::checkUpdate(const CRect& updateRect) {
    return updateRect.right >= size.left && updateRect.left <= size.right &&
           updateRect.bottom >= size.top && updateRect.top <= size.bottom;
}

void CView::mouse(CDrawContext* context, CPoint& where) {
    (void)context;
    (void)where;
}

void CView::update(CDrawContext* context) {
    if (isDirty()) {
        draw(context);
        setDirty(false);
    }
}

int32_t CView::reserved(void* first, void* second) {
    (void)first;
    (void)second;
    return 0;
}

int32_t CView::onKeyDown(VstKeyCode& keyCode) {
    (void)keyCode;
    return -1;
}

int32_t CView::onKeyUp(VstKeyCode& keyCode) {
    (void)keyCode;
    return -1;
}

bool CView::onDrop(void** items, int32_t count, int32_t type, CPoint& where) {
    (void)items;
    (void)count;
    (void)type;
    (void)where;
    return false;
}

bool CView::onWheel(CDrawContext* context, const CPoint& where, float distance) {
    (void)context;
    (void)where;
    (void)distance;
    return false;
}

void CView::looseFocus(CDrawContext* context) {
    (void)context;
}

void CView::takeFocus(CDrawContext* context) {
    (void)context;
}

bool CView::isDirty() {
    return dirty;
}

void CView::setDirty(bool flag) {
    dirty = flag;
}

void CView::setMouseEnabled(bool flag) {
    mouseEnabled = flag;
}

bool CView::getMouseEnabled() {
    return mouseEnabled;
}

void CView::setMouseableArea(const CRect& rect) {
    mouseableArea = rect;
}

CRect& CView::getMouseableArea(CRect& rect) {
    rect = mouseableArea;
    return rect;
}

bool CView::hitTest(const CPoint& where, int32_t buttons) {
    (void)buttons;
    return size.pointInside(where);
}

void CView::setTransparency(bool flag) {
    transparencyEnabled = flag;
}

bool CView::getTransparency() {
    return transparencyEnabled;
}

void CView::setViewSize(const CRect& rect) {
    size = rect;
    setDirty(true);
}

CRect& CView::getViewSize(CRect& rect) {
    rect = size;
    return rect;
}

// Views keep no parent view: the frame is the only parent they use.
void CView::setParentView(CView*) {}

void CView::setParent(CFrame* frame) {
    parentFrame = frame;
}

void* CView::getEditor() {
    return parentFrame ? parentFrame->getEditor() : nullptr;
}

bool CView::removed(CView* parent) {
    (void)parent;
    return true;
}

bool CView::attached(CView* parent) {
    (void)parent;
    return true;
}

void CView::forget() {
    if (nbReference <= 0) return;
    if (--nbReference == 0) delete this;
}

void CView::remember() {
    nbReference++;
}

int32_t CView::getNbReference() {
    return nbReference;
}

} // namespace VSTGUI
