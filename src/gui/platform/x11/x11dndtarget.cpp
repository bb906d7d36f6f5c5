#include "gui/platform/x11/x11dndtarget.h"

#include "gui/platform/x11/urilist.h"
#include "gui/platform/x11/x11pointer.h"

#include <climits>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>
#include <X11/Xatom.h>

namespace quorvane::x11 {

DndTarget::DndTarget(Display* display, ::Window window, platform::WindowEvents* events)
    : display_(display), window_(window), events_(events) {
    aware_ = XInternAtom(display_, "XdndAware", False);
    enter_ = XInternAtom(display_, "XdndEnter", False);
    position_ = XInternAtom(display_, "XdndPosition", False);
    status_ = XInternAtom(display_, "XdndStatus", False);
    leave_ = XInternAtom(display_, "XdndLeave", False);
    drop_ = XInternAtom(display_, "XdndDrop", False);
    finished_ = XInternAtom(display_, "XdndFinished", False);
    selection_ = XInternAtom(display_, "XdndSelection", False);
    typeList_ = XInternAtom(display_, "XdndTypeList", False);
    actionCopy_ = XInternAtom(display_, "XdndActionCopy", False);
    actionMove_ = XInternAtom(display_, "XdndActionMove", False);
    uriList_ = XInternAtom(display_, "text/uri-list", False);
    textPlain_ = XInternAtom(display_, "text/plain", False);
    textUtf8_ = XInternAtom(display_, "text/plain;charset=utf-8", False);
    property_ = XInternAtom(display_, "QUORVANE_DROP", False);
}

void DndTarget::announce(bool enabled) {
    enabled_ = enabled;
    if (enabled) {
        Atom version = kVersion;
        XChangeProperty(display_, window_, aware_, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(&version), 1);
    } else {
        XDeleteProperty(display_, window_, aware_);
        reset();
    }
}

bool DndTarget::handle(const XEvent& event) {
    if (event.type == SelectionNotify && event.xselection.requestor == window_) {
        onSelection(event.xselection);
        return true;
    }
    if (event.type != ClientMessage || event.xclient.window != window_) return false;
    const XClientMessageEvent& message = event.xclient;
    if (!enabled_) return false;
    if (message.message_type == enter_)
        onEnter(message);
    else if (message.message_type == position_)
        onPosition(message);
    else if (message.message_type == leave_)
        reset();
    else if (message.message_type == drop_)
        onDrop(message);
    else
        return false;
    return true;
}

void DndTarget::reset() {
    source_ = 0;
    sourceVersion_ = 0;
    type_ = None;
    action_ = None;
    dropping_ = false;
}

void DndTarget::onEnter(const XClientMessageEvent& message) {
    reset();
    source_ = ::Window(message.data.l[0]);
    sourceVersion_ = (message.data.l[1] >> 24) & 0xFF;
    // types: up to three in the message, more in the source's type list
    if (message.data.l[1] & 1) {
        readTypeList(source_);
    } else {
        Atom types[3] = {Atom(message.data.l[2]), Atom(message.data.l[3]), Atom(message.data.l[4])};
        chooseType(types, 3);
    }
}

void DndTarget::readTypeList(::Window source) {
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display_, source, typeList_, 0, 1024, False, XA_ATOM, &actualType,
                           &format, &count, &after, &data) == Success &&
        data && format == 32)
        chooseType(reinterpret_cast<const Atom*>(data), count);
    if (data) XFree(data);
}

void DndTarget::chooseType(const Atom* types, unsigned long count) {
    // files win over text; a source that offers neither is refused
    const Atom preference[] = {uriList_, textPlain_, textUtf8_};
    for (Atom wanted : preference) {
        for (unsigned long i = 0; i < count; i++) {
            if (types[i] != None && types[i] == wanted) {
                type_ = wanted;
                return;
            }
        }
    }
    type_ = None;
}

void DndTarget::onPosition(const XClientMessageEvent& message) {
    if (::Window(message.data.l[0]) != source_) return;
    long packed = message.data.l[2];
    rootPosition_ = {int32_t((packed >> 16) & 0xFFFF), int32_t(packed & 0xFFFF)};
    // effect: copy with Ctrl held, move otherwise, nothing for data we cannot take
    action_ = None;
    if (type_ != None) {
        platform::Point pointer;
        unsigned mask = 0;
        bool control = queryPointer(display_, pointer, mask) && (mask & ControlMask);
        action_ = control ? actionCopy_ : actionMove_;
    }
    sendStatus();
}

void DndTarget::sendStatus() {
    // accept flag, and ask for every position (empty "quiet" rectangle)
    long flags = (type_ != None ? 1 : 0) | 2;
    send(source_, status_, flags, 0, 0, long(action_));
}

void DndTarget::onDrop(const XClientMessageEvent& message) {
    if (::Window(message.data.l[0]) != source_) return;
    if (type_ == None) {
        sendFinished(false);
        reset();
        return;
    }
    // ask the source for the data; it arrives as a SelectionNotify
    Time time = sourceVersion_ >= 1 ? Time(message.data.l[2]) : CurrentTime;
    dropping_ = true;
    XConvertSelection(display_, selection_, type_, property_, window_, time);
}

void DndTarget::onSelection(const XSelectionEvent& selection) {
    if (!dropping_ || selection.selection != selection_) return;
    bool accepted = false;
    if (selection.property != None) {
        Atom actualType = None;
        int format = 0;
        unsigned long size = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display_, window_, property_, 0, LONG_MAX / 4, True, AnyPropertyType,
                               &actualType, &format, &size, &after, &data) == Success &&
            data && format == 8)
            accepted = deliver(data, size);
        if (data) XFree(data);
    }
    sendFinished(accepted);
    reset();
}

bool DndTarget::deliver(const unsigned char* data, unsigned long size) {
    if (!events_ || size == 0) return false;
    // where: the last position the source reported, in window coordinates
    int x = 0;
    int y = 0;
    ::Window child = 0;
    XTranslateCoordinates(display_, DefaultRootWindow(display_), window_, rootPosition_.x,
                          rootPosition_.y, &x, &y, &child);
    platform::Point where{x, y};
    const char* text = reinterpret_cast<const char*>(data);
    try {
        if (type_ != uriList_) {
            // text: one item, zero-terminated, counted in the bytes the source sent
            std::string item(text, size);
            void* items[1] = {item.data()};
            events_->onDrop(items, int32_t(size), kDropText, where);
            return true;
        }
        // files: one fixed-size text per path that fits
        std::vector<std::unique_ptr<char[]>> texts;
        for (const std::string& uriPath : pathsFromUriList(text, size)) {
            std::string path = dropPath(uriPath);
            if (path.empty()) continue;
            texts.push_back(std::make_unique<char[]>(kDropPathSize));
            std::memcpy(texts.back().get(), path.c_str(), path.size() + 1);
        }
        // a list without one usable path is no drop at all
        if (texts.empty()) return false;
        std::vector<void*> items;
        for (auto& t : texts)
            items.push_back(t.get());
        events_->onDrop(items.data(), int32_t(items.size()), kDropFiles, where);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

void DndTarget::sendFinished(bool accepted) {
    long action = accepted ? long(action_ != None ? action_ : actionCopy_) : long(None);
    send(source_, finished_, accepted ? 1 : 0, action, 0, 0);
}

void DndTarget::send(::Window to, Atom type, long l1, long l2, long l3, long l4) {
    if (!to) return;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.display = display_;
    event.xclient.window = to;
    event.xclient.message_type = type;
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(window_);
    event.xclient.data.l[1] = l1;
    event.xclient.data.l[2] = l2;
    event.xclient.data.l[3] = l3;
    event.xclient.data.l[4] = l4;
    XSendEvent(display_, to, False, NoEventMask, &event);
}

} // namespace quorvane::x11
