#pragma once
// The window's drop target on the XDND protocol: file lists (text/uri-list) and text
// (text/plain) from other applications, handed to the window's owner as items.

#include "gui/platform/platform.h"

#include <X11/Xlib.h>

namespace quorvane::x11 {

// Drop types handed to onDrop.
inline constexpr int32_t kDropFiles = 0;
inline constexpr int32_t kDropText = 1;

// One per window; the window's connection and owner must outlive it. Answers every position
// with copy while Ctrl is held and move otherwise; a file list is preferred to text when a
// source offers both. Runs inside the window's event handling; never throws.
class DndTarget {
public:
    DndTarget(Display* display, ::Window window, platform::WindowEvents* events);

    // Sets (true) or removes (false) the window's XdndAware property.
    void announce(bool enabled);
    // Handles a drag message or the answer to a drop's data request; false for other events.
    bool handle(const XEvent& event);

    // The protocol version this target speaks.
    static constexpr long kVersion = 5;

private:
    void onEnter(const XClientMessageEvent& message);
    void onPosition(const XClientMessageEvent& message);
    void onDrop(const XClientMessageEvent& message);
    void onSelection(const XSelectionEvent& selection);
    void chooseType(const Atom* types, unsigned long count);
    void readTypeList(::Window source);
    // Hands the data to the owner; false (nothing handed on) when it holds no usable item.
    bool deliver(const unsigned char* data, unsigned long size);
    void sendStatus();
    void sendFinished(bool accepted);
    void send(::Window to, Atom type, long l1, long l2, long l3, long l4);
    void reset();

    Display* display_;
    ::Window window_;
    platform::WindowEvents* events_;
    bool enabled_ = false;
    // the current drag
    ::Window source_ = 0;
    long sourceVersion_ = 0;
    Atom type_ = None;
    Atom action_ = None;
    platform::Point rootPosition_;
    bool dropping_ = false;
    // atoms
    Atom aware_, enter_, position_, status_, leave_, drop_, finished_, selection_, typeList_;
    Atom actionCopy_, actionMove_, uriList_, textPlain_, textUtf8_, property_;
};

} // namespace quorvane::x11
