#include "gui/platform/x11/x11pointer.h"

#include "gui/platform/x11/x11errortrap.h"

namespace quorvane::x11 {

namespace {
struct Replay {
    bool active = false;
    uint32_t start = 0;
    uint32_t length = 0;
    uint32_t bits = 0;
    platform::Point root;
} replay;

// logicalOf[p] is the logical button that physical button p + 1 produces; identity until read.
unsigned logicalOf[3] = {1, 2, 3};
} // namespace

bool readPointerMapping(Display* display) {
    unsigned char map[32] = {};
    int count = 0;
    {
        ErrorTrap trap(display);
        count = XGetPointerMapping(display, map, int(sizeof map));
        if (trap.failed()) count = 0;
    }
    for (int p = 0; p < 3; p++)
        logicalOf[p] = p < count ? map[p] : unsigned(p + 1);
    return logicalOf[0] == 3 && logicalOf[2] == 1;
}

int32_t physicalButtonIndex(unsigned logicalButton) {
    for (int32_t p = 0; p < 3; p++) {
        if (logicalOf[p] == logicalButton && logicalButton != 0) return p;
    }
    return -1;
}

uint32_t buttonBits(unsigned stateMask) {
    static const unsigned kLogicalMask[6] = {0,           Button1Mask, Button2Mask,
                                             Button3Mask, Button4Mask, Button5Mask};
    static const uint32_t kPhysicalBit[3] = {1, 2, 4};
    uint32_t bits = 0;
    // buttons: a physical button is down when the logical button it makes is down
    for (int p = 0; p < 3; p++) {
        unsigned logical = logicalOf[p];
        if (logical >= 1 && logical <= 5 && (stateMask & kLogicalMask[logical]))
            bits |= kPhysicalBit[p];
    }
    // modifiers
    if (stateMask & ShiftMask) bits |= 8;
    if (stateMask & ControlMask) bits |= 16;
    if (stateMask & Mod1Mask) bits |= 32;
    return bits;
}

bool queryPointer(Display* display, platform::Point& position, unsigned& stateMask) {
    ErrorTrap trap(display);
    ::Window root = 0;
    ::Window child = 0;
    int rootX = 0;
    int rootY = 0;
    int winX = 0;
    int winY = 0;
    unsigned mask = 0;
    XQueryPointer(display, DefaultRootWindow(display), &root, &child, &rootX, &rootY, &winX, &winY,
                  &mask);
    if (trap.failed()) return false;
    position = {rootX, rootY};
    stateMask = mask;
    return true;
}

void replayClick(uint32_t bits, platform::Point root, uint32_t milliseconds) {
    replay = Replay{true, platform::tickCount(), milliseconds, bits, root};
}

void endReplay() {
    replay.active = false;
}

bool replayedState(uint32_t& bits, platform::Point& root) {
    if (!replay.active) return false;
    // unsigned difference: right across the wrap of the tick count
    if (platform::tickCount() - replay.start >= replay.length) {
        replay.active = false;
        return false;
    }
    bits = replay.bits;
    root = replay.root;
    return true;
}

} // namespace quorvane::x11
