#pragma once
// The effect's panel as an LV2 UI: the UI is a small host of an effect of its own, whose editor
// it opens in the host's X11 window. Edits on the panel become port writes and touch
// gestures; values the host sends to the ports reach the panel as parameter changes.

#include "shell/aeffect.h"

#include <cstdint>
#include <lv2/core/lv2.h>
#include <lv2/ui/ui.h>

namespace quorvane::lv2 {

// One UI instance. The host calls it on one thread (its UI thread), which owns the window, and
// may call back into it from inside write_function, touch or resize: a port event there reaches
// the panel as any other, and a cleanup there ends the UI when the outermost call returns.
// Never throws.
class EditorUi {
public:
    // Builds the effect and opens its editor in the host's parent window (ui:parent), or as a
    // window of its own on the screen without one; widget receives the editor window's id.
    // Null when the editor cannot open.
    static EditorUi* create(LV2UI_Write_Function write, LV2UI_Controller controller,
                            LV2UI_Widget* widget, const LV2_Feature* const* features) noexcept;
    // Closes the editor and ends the effect; the UI is gone once the outermost call returns.
    void destroy() noexcept;
    // A control port's new value (float protocol): parameters and meter readings.
    void portEvent(uint32_t port, uint32_t size, uint32_t protocol, const void* buffer) noexcept;
    // Handles the window's events and redraws what changed. Answers 1 once the window is gone
    // (its parent was destroyed), else 0.
    int idle() noexcept;

    EditorUi(const EditorUi&) = delete;
    EditorUi& operator=(const EditorUi&) = delete;

private:
    EditorUi(LV2UI_Write_Function write, LV2UI_Controller controller);
    ~EditorUi();

    // The effect's requests: version, sample rate, automation and edit gestures.
    static intptr_t VSTCALLBACK hostCallback(AEffect* effect, int32_t opcode, int32_t index,
                                             intptr_t value, void* ptr, float opt);
    intptr_t answer(int32_t opcode, int32_t index, float opt);
    // Reads the sample rate, resize and touch features.
    void readFeatures(const LV2_Feature* const* features);
    // The editor's own X11 window, or 0.
    uintptr_t editorWindow() const;
    bool windowAlive() const;

    // Brackets every call that enters the effect, so that a cleanup from inside one of them is
    // finished by the outermost.
    class Call {
    public:
        explicit Call(EditorUi& ui) : ui_(ui) { ++ui_.depth_; }
        ~Call();
        Call(const Call&) = delete;
        Call& operator=(const Call&) = delete;

    private:
        EditorUi& ui_;
    };

    LV2UI_Write_Function write_;
    LV2UI_Controller controller_;
    const LV2UI_Resize* resize_ = nullptr;
    const LV2UI_Touch* touch_ = nullptr;
    float sampleRate_ = 0.0f;
    AEffect* effect_ = nullptr;
    int depth_ = 0;
    bool closing_ = false;
};

} // namespace quorvane::lv2
