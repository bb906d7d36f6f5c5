#pragma once
// The listener a control tells about every value change the user makes.

namespace VSTGUI {
class CDrawContext;
class CControl;
} // namespace VSTGUI

// Interface only: controls never own or delete their listener. Editor thread.
class CControlListener {
public:
    // context: the drawing context of the event behind the change, or null. The listener reads
    // the new value and the tag from control.
    virtual void valueChanged(VSTGUI::CDrawContext* context, VSTGUI::CControl* control) = 0;

protected:
    ~CControlListener() = default;
};
