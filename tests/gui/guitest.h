#pragma once
// Test support: a recording host, a small effect and editor, and a fixture that opens the
// editor's frame in a headless window.

#include "gui/aeffguieditor.h"
#include "gui/cbitmap.h"
#include "gui/ccontrol.h"
#include "gui/cframe.h"
#include "gui/platform/headless/headless.h"
#include "gui/platform/headless/headlesswindow.h"
#include "shell/audioeffectx.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace headless = quorvane::headless;
namespace platform = quorvane::platform;
namespace raster = quorvane::raster;
using namespace VSTGUI;

// One request the effect sent to the host.
struct HostCall {
    int32_t opcode;
    int32_t index;
    float opt;
    bool operator==(const HostCall&) const = default;
};

// Records every request; onIdle runs inside audioMasterIdle (a host idling the editor back).
struct RecordingHost {
    std::vector<HostCall> calls;
    std::function<void()> onIdle;

    static RecordingHost*& current() {
        static RecordingHost* host = nullptr;
        return host;
    }
    static intptr_t VSTCALLBACK callback(AEffect*, int32_t opcode, int32_t index, intptr_t, void*,
                                         float opt) {
        RecordingHost* host = current();
        if (!host) return 0;
        host->calls.push_back({opcode, index, opt});
        if (opcode == audioMasterIdle && host->onIdle) host->onIdle();
        return opcode == audioMasterVersion ? 2300 : 0;
    }
    // The requests with this opcode.
    std::vector<HostCall> only(int32_t opcode) const {
        std::vector<HostCall> out;
        for (const HostCall& call : calls)
            if (call.opcode == opcode) out.push_back(call);
        return out;
    }
};

// Stores parameters and tells the editor, as the real effect does.
class TestEffect : public AudioEffectX {
public:
    TestEffect() : AudioEffectX(&RecordingHost::callback, 1, 8) {}
    void process(float**, float**, int32_t) override {}
    void setParameter(int32_t index, float value) override;
    float getParameter(int32_t index) override { return params[index & 7]; }
    float params[8] = {};
};

// Opens a 900 x 202 frame; as listener it passes every change on with setParameterAutomated.
class TestEditor : public AEffGUIEditor, public CControlListener {
public:
    explicit TestEditor(AudioEffect* effect) : AEffGUIEditor(effect) {
        rect = ERect{0, 0, 202, 900};
    }
    int32_t open(void* parent) override {
        AEffGUIEditor::open(parent);
        frame = new CFrame(CRect(0, 0, 900, 202), parent, this);
        return 1;
    }
    void close() override {
        if (frame) frame->forget();
        frame = nullptr;
    }
    void update() override { updates++; }
    void valueChanged(CDrawContext*, CControl* control) override {
        changes.push_back(control->getValue());
        effect->setParameterAutomated(control->getTag(), control->getValue());
    }
    std::vector<float> changes;
    int updates = 0;
};

inline void TestEffect::setParameter(int32_t index, float value) {
    params[index & 7] = value;
    if (editor) static_cast<TestEditor*>(editor)->setParameter(index, value);
}

// Colours used by the tests' bitmaps.
inline constexpr uint32_t kTrack = raster::rgb(0, 0, 200);
inline constexpr uint32_t kHandle = raster::rgb(200, 0, 0);
inline constexpr uint32_t kOn = raster::rgb(0, 220, 0);
inline constexpr uint32_t kOff = raster::rgb(40, 40, 40);
inline constexpr uint32_t kWhite = raster::rgb(255, 255, 255);

// A fresh headless platform, an effect with its editor, and the editor opened in a window whose
// screen origin is (100, 50). The frame has been painted once (first-draw flag cleared).
class GuiTest : public ::testing::Test {
protected:
    static constexpr int32_t kOriginX = 100;
    static constexpr int32_t kOriginY = 50;

    void SetUp() override {
        headless::reset();
        RecordingHost::current() = &host;
        effect = std::make_unique<TestEffect>();
        editor = new TestEditor(effect.get()); // owned by the effect
        editor->open(&parentWindow);
        frame = editor->getFrame();
        window = headless::lastWindow();
        ASSERT_NE(window, nullptr);
        window->setScreenOrigin({kOriginX, kOriginY});
        window->paint({0, 0, 900, 202});
        window->pixels().fill(0);
    }
    void TearDown() override {
        editor->close();
        effect.reset();
        RecordingHost::current() = nullptr;
    }

    // Screen position of a window point.
    static platform::Point screen(int32_t x, int32_t y) { return {kOriginX + x, kOriginY + y}; }
    uint32_t pixel(int32_t x, int32_t y) const { return window->pixels().at(x, y); }
    // Rows y0 .. y1 - 1 of column x that have colour c, as [first, last + 1); {0, 0} for none.
    std::pair<int32_t, int32_t> rowsOf(int32_t x, int32_t y0, int32_t y1, uint32_t c) const {
        int32_t first = -1, last = -1;
        for (int32_t y = y0; y < y1; y++) {
            if (pixel(x, y) != c) continue;
            if (first < 0) first = y;
            last = y;
        }
        return first < 0 ? std::pair{0, 0} : std::pair{first, last + 1};
    }
    // Clicks at window point (x, y) holding `buttons`: the first two button polls (the frame's
    // dispatch and the control's own) see the click; each later poll takes the next step, and
    // every step must have been used when the click returns.
    void click(int32_t x, int32_t y, uint32_t buttons, std::vector<headless::InputStep> steps) {
        std::vector<headless::InputStep> all{{buttons, screen(x, y)}, {buttons, screen(x, y)}};
        all.insert(all.end(), steps.begin(), steps.end());
        headless::queueInput(all);
        window->press({x, y}, 0);
        EXPECT_EQ(headless::queuedInput(), 0u) << "the control polled fewer times than scripted";
    }
    // A bitmap of w x h pixels of colour c, registered as resource id.
    static CBitmap* bitmap(int32_t id, int32_t w, int32_t h, uint32_t c) {
        headless::registerBitmap(id, raster::PixelBuffer(w, h, c));
        return new CBitmap(id);
    }

    RecordingHost host;
    int parentWindow = 0;
    std::unique_ptr<TestEffect> effect;
    TestEditor* editor = nullptr;
    CFrame* frame = nullptr;
    headless::HeadlessWindow* window = nullptr;
};
