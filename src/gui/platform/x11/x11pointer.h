#pragma once
// Pointer and keyboard-modifier state of the X server, with logical buttons taken back to the
// physical ones through the server's pointer mapping.

#include "gui/platform/platform.h"

#include <cstdint>
#include <X11/Xlib.h>

namespace quorvane::x11 {

// Reads the pointer mapping of the server of display and keeps it for the queries below; true
// when the primary button is on the right (the mapping swaps buttons 1 and 3).
bool readPointerMapping(Display* display);
// The physical button (0 left, 1 middle, 2 right) that produces logical button, or -1 for
// buttons beyond the three (wheel steps and side buttons).
int32_t physicalButtonIndex(unsigned logicalButton);
// The platform's bit of physical button index (0 left, 1 middle, 2 right); 0 for any other.
uint32_t physicalButtonBit(int32_t index);
// Physical button bits (left 1, middle 2, right 4) and shift 8, control 16, alt 32 from an X
// state mask.
uint32_t buttonBits(unsigned stateMask);

// The pointer's root position and state on display; false (nothing written) when it fails.
bool queryPointer(Display* display, platform::Point& position, unsigned& stateMask);

// A click that was over before the editor got to it (the host idles the editor a few dozen
// times a second, a tap lasts a few milliseconds) is played back to the drag loops: for
// milliseconds from now, the input state reads as bits (physical buttons and modifiers) at
// root position, then the live state again. The playback is the calling thread's own: an editor
// on another thread keeps reading the live state.
void replayClick(uint32_t bits, platform::Point root, uint32_t milliseconds);
void endReplay();
// The state a click playback holds at this moment; false when none is running.
bool replayedState(uint32_t& bits, platform::Point& root);

} // namespace quorvane::x11
