#include "gui/platform/x11/x11pointer.h"

#include "gui/platform/x11/x11errortrap.h"

#include <atomic>

namespace quorvane::x11 {

namespace {
// A click belongs to the window that got it and to the drag loop on that window's thread; an
// editor on another thread polls its own state.
struct Replay {
    bool active = false;
    uint32_t start = 0;
    uint32_t length = 0;
    uint32_t bits = 0;
    platform::Point root;
};
thread_local Replay replay;

// Byte p is the logical button that physical button p + 1 produces; identity until read. One
// word, so that editors on several threads read and write the three together.
constexpr uint32_t kIdentityMapping = 1u | 2u << 8 | 3u << 16;
std::atomic<uint32_t> mapping{kIdentityMapping};

unsigned logicalOf(int32_t physical) {
    return (mapping.load(std::memory_order_relaxed) >> (8 * physical)) & 0xFFu;
}
} // namespace

bool readPointerMapping(Display* display) {
    unsigned char map[32] = {};
    int count = 0;
    {
        ErrorTrap trap(display);
        count = XGetPointerMapping(display, map, int(sizeof map));
        if (trap.failed()) count = 0;
    }
    uint32_t read = 0;
    for (int p = 0; p < 3; p++)
        read |= uint32_t(p < count ? map[p] : unsigned(p + 1)) << (8 * p);
    mapping.store(read, std::memory_order_relaxed);
    return (read & 0xFFu) == 3 && (read >> 16) == 1;
}

int32_t physicalButtonIndex(unsigned logicalButton) {
    for (int32_t p = 0; p < 3; p++) {
        if (logicalOf(p) == logicalButton && logicalButton != 0) return p;
    }
    return -1;
}

uint32_t physicalButtonBit(int32_t index) {
    static constexpr uint32_t kPhysicalBit[3] = {platform::kButtonLeft, platform::kButtonMiddle,
                                                 platform::kButtonRight};
    return index >= 0 && index < 3 ? kPhysicalBit[index] : 0;
}

uint32_t buttonBits(unsigned stateMask) {
    static const unsigned kLogicalMask[6] = {0,           Button1Mask, Button2Mask,
                                             Button3Mask, Button4Mask, Button5Mask};
    uint32_t bits = 0;
    // buttons: a physical button is down when the logical button it makes is down
    for (int p = 0; p < 3; p++) {
        unsigned logical = logicalOf(p);
        if (logical >= 1 && logical <= 5 && (stateMask & kLogicalMask[logical]))
            bits |= physicalButtonBit(p);
    }
    // modifiers
    if (stateMask & ShiftMask) bits |= platform::kModifierShift;
    if (stateMask & ControlMask) bits |= platform::kModifierControl;
    if (stateMask & Mod1Mask) bits |= platform::kModifierAlt;
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
