#pragma once
// The gestures the window tests play on the editor's panel with real input, and what the host
// must hear and the effect must hold after each. Every window system plays the same table
// through a Hand of its own (XTEST on X11, SendInput on Win32).

#include <gtest/gtest.h>

#include "shell/aeffect.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <vector>

namespace quorvane::paneltest {

// The panel's size, and where the test hosts put their window on the screen.
inline constexpr int kPanelWidth = 900;
inline constexpr int kPanelHeight = 202;
inline constexpr int kHostLeft = 30;
inline constexpr int kHostTop = 40;

struct Point {
    int x, y;
    bool operator==(const Point&) const = default;
};

// A window system's real input, in panel coordinates.
class Hand {
public:
    virtual ~Hand() = default;
    virtual void move(Point to) = 0;
    virtual void button(bool down) = 0;
    virtual void control(bool down) = 0;
    virtual void wait(int ms) = 0;
    // How long the pointer rests before a press (under wine a press that follows a move too
    // closely is seen as released).
    int settleMs = 0;
};

// What the host hears from a gesture, all for the gesture's parameter.
enum class Heard {
    kOneValue,  // begin edit, an automate with the value, end edit
    kBracket,   // begin edit, automates, end edit; the last automate is the value after
    kRising,    // the same with four or more automates, of rising values
    kNoBracket, // no begin or end edit at all
};

// The left button goes down at `down`; the pointer moves to `hold` (in steps of `step` pixels,
// 20 ms apart, or at once when step is 0), stays there holdMs with the button down, moves on to
// `up` and the button comes up there. Ctrl is held around the click when `control` is set.
struct Gesture {
    const char* name;
    Point down, hold, up;
    int step;
    int holdMs;
    bool control;
    int32_t index; // the parameter it edits
    float value;   // that parameter's value afterwards (kBracket, kRising: the last automated)
    Heard heard;
};

inline constexpr int kStepMs = 20;

// A press on the delay slider at down, moved through hold to up.
constexpr Gesture slider(const char* name, Point down, Point hold, Point up, int step, int holdMs,
                         Heard heard) {
    return {name, down, hold, up, step, holdMs, false, 0, 0.0f, heard};
}

// The handle grabbed low on the track and moved up, pausing on the way.
inline constexpr Gesture kSliderDrag =
    slider("drag up the slider", {831, 168}, {831, 140}, {831, 120}, 4, 300, Heard::kRising);
// The handle grabbed low on the track and moved high at once, then held there.
inline constexpr Gesture kSliderPress = slider("press on the slider and move it high", {831, 168},
                                               {831, 120}, {831, 120}, 0, 100, Heard::kBracket);
// Ctrl-click on the slider: back to the default, which hosts are told of without a bracket.
inline constexpr Gesture kSliderCtrlClick{
    "Ctrl-click on the slider", {831, 150}, {831, 150}, {831, 150}, 0, 100, true, 0, 0.5f,
    Heard::kNoBracket};

constexpr Gesture click(const char* name, Point at, int32_t index, float value) {
    return {name, at, at, at, 0, 100, false, index, value, Heard::kOneValue};
}

// A click on every zone of the three lamp switches, in an order where each changes the value.
inline constexpr Gesture kSwitchZones[] = {
    click("mode, middle lamp", {98, 62}, 5, 0.5f),
    click("mode, lower lamp", {98, 77}, 5, 1.0f),
    click("mode, upper lamp", {98, 47}, 5, 0.0f),
    click("response, middle lamp", {98, 144}, 6, 0.5f),
    click("response, lower lamp", {98, 159}, 6, 1.0f),
    click("response, upper lamp", {98, 129}, 6, 0.0f),
    click("level mode, lower lamp", {806, 60}, 7, 1.0f),
    click("level mode, upper lamp", {806, 47}, 7, 0.0f),
};
inline constexpr const Gesture& kModeLowerLamp = kSwitchZones[1];

// A click on the slider's track high above the handle: the handle jumps there.
inline constexpr Gesture kSliderTrackClick =
    click("click high on the slider's track", {831, 110}, 0, 1.0f);

// The same gesture over in no time, before the editor's next idle: a touchpad's tap.
constexpr Gesture quick(Gesture g) {
    g.step = 0;
    g.holdMs = 0;
    return g;
}

inline void walk(Hand& hand, Point from, Point to, int step) {
    if (from == to) return;
    const int distance = std::max(std::abs(to.x - from.x), std::abs(to.y - from.y));
    const int moves = step > 0 ? (distance + step - 1) / step : 1;
    for (int i = 1; i <= moves; i++) {
        hand.move({from.x + (to.x - from.x) * i / moves, from.y + (to.y - from.y) * i / moves});
        if (step > 0) hand.wait(kStepMs);
    }
}

// Plays g; held runs while the button is down at `hold`, after the hold.
inline void play(Hand& hand, const Gesture& g, const std::function<void()>& held = {}) {
    hand.move(g.down);
    hand.wait(hand.settleMs);
    if (g.control) hand.control(true);
    hand.button(true);
    walk(hand, g.down, g.hold, g.step);
    hand.wait(g.holdMs);
    if (held) held();
    walk(hand, g.hold, g.up, g.step);
    hand.button(false);
    if (g.control) hand.control(false);
}

// One edit the host heard: audioMasterBeginEdit, audioMasterAutomate or audioMasterEndEdit.
struct Edit {
    int32_t opcode;
    int32_t index;
    float value;
};

// The edits among a host's requests (anything with an opcode, an index and an opt).
template <class Request> std::vector<Edit> editsAmong(const std::vector<Request>& requests) {
    std::vector<Edit> edits;
    for (const Request& r : requests) {
        if (r.opcode == audioMasterBeginEdit || r.opcode == audioMasterEndEdit ||
            r.opcode == audioMasterAutomate)
            edits.push_back({r.opcode, r.index, r.opt});
    }
    return edits;
}

// Checks what the host heard of g and the parameter's value after it.
inline void expectHeard(const Gesture& g, const std::vector<Edit>& edits, float after) {
    SCOPED_TRACE(g.name);
    if (g.heard == Heard::kNoBracket) {
        for (const Edit& e : edits) {
            EXPECT_NE(e.opcode, audioMasterBeginEdit);
            EXPECT_NE(e.opcode, audioMasterEndEdit);
        }
        EXPECT_EQ(after, g.value);
        return;
    }
    ASSERT_GE(edits.size(), g.heard == Heard::kRising ? 6u : 3u);
    EXPECT_EQ(edits.front().opcode, audioMasterBeginEdit);
    EXPECT_EQ(edits.back().opcode, audioMasterEndEdit);
    for (const Edit& e : edits)
        EXPECT_EQ(e.index, g.index);
    if (g.heard == Heard::kOneValue) {
        EXPECT_EQ(edits[1].opcode, audioMasterAutomate);
        EXPECT_EQ(edits[1].value, g.value);
        EXPECT_EQ(after, g.value);
        return;
    }
    const bool rising = g.heard == Heard::kRising;
    for (size_t i = 1; i + 1 < edits.size(); i++) {
        EXPECT_EQ(edits[i].opcode, audioMasterAutomate) << i;
        if (rising && i > 1) {
            EXPECT_GE(edits[i].value, edits[i - 1].value) << i;
        }
    }
    const float last = edits[edits.size() - 2].value;
    if (rising) {
        EXPECT_GT(last, edits[1].value);
    }
    EXPECT_EQ(after, last);
}

} // namespace quorvane::paneltest
