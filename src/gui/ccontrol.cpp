#include "gui/ccontrol.h"

#include "gui/aeffguieditor.h"
#include "gui/cbitmap.h"
#include "gui/cframe.h"
#include "shell/audioeffectx.h"

#include <cstdint>

namespace VSTGUI {

CControl::CControl(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* background)
    : CView(size), listener(listener), tag(tag), background(background), backOffset{0, 0} {
    if (background) background->remember();
}

CControl::~CControl() {
    if (background) background->forget();
}

bool CControl::isDirty() {
    // A NaN on either side counts as a change: != is true for it.
    return value != oldValue || dirty;
}

void CControl::setDirty(bool flag) {
    dirty = flag;
    if (flag)
        oldValue = (value == -1.0f) ? 0.0f : -1.0f;
    else
        oldValue = value;
}

void CControl::doIdleStuff() {
    if (!parentFrame) return;
    if (auto* editor = static_cast<AEffGUIEditor*>(parentFrame->getEditor())) editor->doIdleStuff();
}

bool CControl::trackingIdle() {
    doIdleStuff();
    return !parentFrame || !parentFrame->isReleasedByEditor();
}

void CControl::setValue(float v) {
    value = v;
}
float CControl::getValue() {
    return value;
}
void CControl::setMin(float v) {
    vmin = v;
}
float CControl::getMin() {
    return vmin;
}
void CControl::setMax(float v) {
    vmax = v;
}
float CControl::getMax() {
    return vmax;
}
void CControl::setOldValue(float v) {
    oldValue = v;
}
float CControl::getOldValue() {
    return oldValue;
}
void CControl::setDefaultValue(float v) {
    defaultValue = v;
}
float CControl::getDefaultValue() {
    return defaultValue;
}
void CControl::setTag(int32_t newTag) {
    tag = newTag;
}

void CControl::setBackground(CBitmap* bitmap) {
    // Take the new reference first so that setting the same bitmap again cannot free it.
    if (bitmap) bitmap->remember();
    if (background) background->forget();
    background = bitmap;
}

CBitmap* CControl::getBackground() {
    return background;
}

void CControl::setBackOffset(const CPoint& point) {
    backOffset = point;
}

void CControl::copyBackOffset() {
    backOffset = CPoint{size.left, size.top};
}

void CControl::setWheelInc(float v) {
    wheelInc = v;
}
float CControl::getWheelInc() {
    return wheelInc;
}

void CControl::bounceValue() {
    if (value > vmax)
        value = vmax;
    else if (value < vmin)
        value = vmin;
}

void CControl::notifyChange(CDrawContext* context) {
    if (isDirty() && listener) listener->valueChanged(context, this);
}

void CControl::applyDefaultValue(CDrawContext* context) {
    value = getDefaultValue();
    notifyChange(context);
}

// The effect behind the frame's editor, or null when the control is not in an open editor.
static AudioEffectX* effectOf(CControl& control) {
    auto* editor = static_cast<AEffGUIEditor*>(control.getEditor());
    return editor ? static_cast<AudioEffectX*>(editor->getEffect()) : nullptr;
}

void CControl::beginEdit() {
    if (auto* effect = effectOf(*this)) effect->beginEdit(tag);
}

void CControl::endEdit() {
    if (auto* effect = effectOf(*this)) effect->endEdit(tag);
}

} // namespace VSTGUI
