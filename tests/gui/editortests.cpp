// The editor base: host-facing answers, the idle pump's pacing and its guard against re-entry.

#include "guitest.h"

TEST(EditorBase, AnswersTheHostBeforeAndWithoutAFrame) {
    headless::reset();
    RecordingHost host;
    RecordingHost::current() = &host;
    {
        TestEffect effect;
        auto* editor = new TestEditor(&effect);
        EXPECT_EQ(effect.getEditor(), editor);
        EXPECT_TRUE(effect.getAeffect()->flags & effFlagsHasEditor);

        ERect* rect = nullptr;
        EXPECT_EQ(editor->getRect(&rect), 1);
        ASSERT_NE(rect, nullptr);
        EXPECT_EQ(rect->bottom, 202);
        EXPECT_EQ(rect->right, 900);

        VstKeyCode key{0, VKEY_UP, 0};
        EXPECT_EQ(editor->onKeyDown(key), -1);
        EXPECT_EQ(editor->onKeyUp(key), -1);
        EXPECT_FALSE(editor->onWheel(1.0f));
        EXPECT_EQ(editor->setKnobMode(2), 1);
        EXPECT_EQ(AEffGUIEditor::getKnobMode(), 2);
        editor->draw(nullptr);
        editor->idle();
        EXPECT_EQ(editor->updates, 0);
        editor->setParameter(3, 0.5f);
        editor->idle();
        EXPECT_EQ(editor->updates, 1);
        editor->idle();
        EXPECT_EQ(editor->updates, 1);
    }
    AEffEditor plain(nullptr);
    ERect dummy{};
    ERect* rect = &dummy;
    EXPECT_EQ(plain.getRect(&rect), 0);
    EXPECT_EQ(rect, nullptr);
    RecordingHost::current() = nullptr;
}

namespace {

class Pump : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        headless::setTicks(1000);
        editor->doIdleStuff(); // a full pass at 1000: the next one is due 50 ms before 1100
        host.calls.clear();
        updates = editor->updates;
    }
    int updates = 0; // updates the editor had run before the test
    size_t idleRequests() const { return host.only(audioMasterIdle).size(); }
};

} // namespace

TEST_F(Pump, FullPassIdlesTheHostAndPushesTheNextOneAhead) {
    headless::setTicks(2000);
    uint32_t sleeps = headless::sleepCalls();
    editor->doIdleStuff();
    EXPECT_EQ(idleRequests(), 1u);
    EXPECT_EQ(headless::sleepCalls(), sleeps);
}

TEST_F(Pump, CallTenMillisecondsLaterOnlySleeps) {
    headless::setTicks(1010);
    editor->doIdleStuff();
    EXPECT_EQ(idleRequests(), 0u);
    EXPECT_EQ(headless::sleepCalls(), 1u);
    EXPECT_EQ(headless::sleptMilliseconds(), 4u);
    EXPECT_EQ(headless::ticks(), 1014u);
}

TEST_F(Pump, CallFortyFiveMillisecondsLaterOnlySleeps) {
    headless::setTicks(1045);
    editor->doIdleStuff();
    EXPECT_EQ(idleRequests(), 0u);
    EXPECT_EQ(headless::sleepCalls(), 1u);
}

TEST_F(Pump, CallFortySixMillisecondsLaterDoesTheFullWork) {
    headless::setTicks(1046);
    editor->doIdleStuff();
    EXPECT_EQ(idleRequests(), 1u);
    EXPECT_EQ(headless::sleepCalls(), 1u);
    // the next full pass is due 100 ms after 1050, less the 50 ms margin
    headless::setTicks(1095);
    editor->doIdleStuff();
    EXPECT_EQ(idleRequests(), 1u);
    headless::setTicks(1096);
    editor->doIdleStuff();
    EXPECT_EQ(idleRequests(), 2u);
}

TEST_F(Pump, FullPassRunsThePendingUpdateAndOneRepaintOfAnyWindow) {
    // another window of the process (the editor's own frame delivers its events itself)
    CFrame* other = new CFrame(CRect(0, 0, 20, 20), &parentWindow, nullptr);
    headless::postRepaint(*headless::lastWindow(), {0, 0, 10, 10});
    headless::postRepaint(*headless::lastWindow(), {0, 0, 10, 10});
    headless::setTicks(1200);
    editor->postUpdate();
    editor->doIdleStuff();
    EXPECT_EQ(editor->updates, updates + 1);
    EXPECT_EQ(headless::repaintsRun(), 1u);
    EXPECT_EQ(headless::pendingRepaints(), 1u);
    other->forget();
}

TEST_F(Pump, HostIdlingTheEditorBackFromItsIdleIsIgnored) {
    int nested = 0;
    host.onIdle = [&] {
        nested++;
        editor->postUpdate();
        editor->idle(); // as effEditIdle would, from inside audioMasterIdle
    };
    headless::setTicks(1200);
    editor->doIdleStuff();
    EXPECT_EQ(nested, 1);
    EXPECT_EQ(editor->updates, updates);
    host.onIdle = nullptr;
    editor->idle(); // outside the pump the posted update runs
    EXPECT_EQ(editor->updates, updates + 1);
}
