// A host that closes the editor, or the whole effect, from inside audioMasterIdle while a control
// tracks the mouse: the tracking loop leaves without touching freed memory; after an editor close
// the effect ends the gesture once the loop has left, after an effect close the host hears
// nothing more.

#include "editortest.h"

#include "effect/parameterindex.h"

namespace editortest {
namespace {

using Point = quorvane::platform::Point;

// What the host does inside its idle.
enum class HostAction { kCloseEditor, kReopenEditor, kCloseEffect };

struct Case {
    const char* control;
    Point at;
    int32_t tag;
    HostAction action;
    bool outsideHostCalls = false;
};

class Reentry : public EditorTest {
protected:
    // Presses at `at` through the window's event queue, as a window system delivers a click,
    // and lets the editor's idle run the drag; the held button moves on three more places.
    void dragThroughIdle(Point at, bool outsideHostCalls = false) {
        std::vector<headless::InputStep> steps{{headless::kLeft, at}, {headless::kLeft, at}};
        for (int32_t dy : {-8, -16, -24})
            steps.push_back({headless::kLeft, {at.x, at.y + dy}});
        steps.push_back({0, {at.x, at.y - 24}});
        headless::queueInput(steps);
        // long after the last full pass of the idle pump: the drag's first pass idles the host
        headless::setTicks(headless::ticks() + 1000);
        headless::postPress(*headless::lastWindow(), at);
        // a window system that delivers clicks from the host's own message loop calls no
        // dispatcher entry around them
        if (outsideHostCalls)
            headless::lastWindow()->dispatchPendingEvents();
        else
            idle();
        // a loop that left early leaves steps behind
        while (headless::queuedInput() > 0)
            quorvane::platform::physicalButtons();
        headless::setButtons(0);
    }
};

TEST_F(Reentry, AHostClosingFromItsIdleDuringADragHearsTheGesturesEndOnlyWhileTheEffectLives) {
    const Case cases[] = {
        {"slider", {830, 138}, kDelay, HostAction::kCloseEditor},
        {"slider", {830, 138}, kDelay, HostAction::kReopenEditor},
        {"slider", {830, 138}, kDelay, HostAction::kCloseEffect},
        {"switch", {98, 62}, kMode, HostAction::kCloseEditor},
        {"switch", {98, 62}, kMode, HostAction::kReopenEditor},
        {"switch", {98, 62}, kMode, HostAction::kCloseEffect},
        {"slider", {830, 138}, kDelay, HostAction::kCloseEditor, true},
        {"slider", {830, 138}, kDelay, HostAction::kCloseEffect, true},
        {"switch", {98, 62}, kMode, HostAction::kCloseEffect, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.control) + " action " + std::to_string(int(c.action)) +
                     (c.outsideHostCalls ? " outside host calls" : ""));
        if (!effect) effect = createEffectInstance(recordingHost);
        openEditor();
        hostRequests().clear();

        // the host's first idle during the drag closes
        size_t closedAt = 0;
        onHostIdle() = [&](AEffect* e) {
            if (closedAt) return;
            closedAt = hostRequests().size();
            if (c.action == HostAction::kCloseEffect) {
                e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
                effect = nullptr;
                return;
            }
            e->dispatcher(e, effEditClose, 0, 0, nullptr, 0.0f);
            if (c.action == HostAction::kReopenEditor)
                e->dispatcher(e, effEditOpen, 0, 0, &parentWindow, 0.0f);
        };
        dragThroughIdle(c.at, c.outsideHostCalls);
        onHostIdle() = nullptr;

        // begin edit, the first change, the idle that closed; then the end of the gesture while
        // the effect lives, and nothing else
        ASSERT_EQ(closedAt, 3u);
        const bool effectLives = c.action != HostAction::kCloseEffect;
        ASSERT_EQ(hostRequests().size(), effectLives ? 4u : 3u);
        EXPECT_EQ(hostRequests()[0].opcode, audioMasterBeginEdit);
        EXPECT_EQ(hostRequests()[0].index, c.tag);
        EXPECT_EQ(hostRequests()[1].opcode, audioMasterAutomate);
        EXPECT_EQ(hostRequests()[2].opcode, audioMasterIdle);
        if (effectLives) {
            EXPECT_EQ(hostRequests()[3].opcode, audioMasterEndEdit);
            EXPECT_EQ(hostRequests()[3].index, c.tag);
        }

        // the closed frame and its window are gone once the host's idle request returned
        const size_t windows = c.action == HostAction::kReopenEditor ? 1 : 0;
        EXPECT_EQ(headless::windows().size(), windows);
        if (c.action == HostAction::kCloseEditor) {
            EXPECT_FALSE(editor()->isOpened());
            EXPECT_EQ(frame(), nullptr);
        }
        if (c.action != HostAction::kCloseEffect) {
            // and the editor works as before: a drag in a fresh frame is reported whole
            if (c.action == HostAction::kCloseEditor) openEditor();
            headless::lastWindow()->paint({0, 0, 900, 202});
            hostRequests().clear();
            dragThroughIdle(c.at);
            std::vector<int32_t> edits;
            for (const HostRequest& r : hostRequests())
                if (r.opcode != audioMasterIdle) edits.push_back(r.opcode);
            ASSERT_GE(edits.size(), 3u);
            EXPECT_EQ(edits.front(), audioMasterBeginEdit);
            EXPECT_EQ(edits.back(), audioMasterEndEdit);
            dispatch(effEditClose);
        }
    }
}

} // namespace
} // namespace editortest
