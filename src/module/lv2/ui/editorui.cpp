#include "module/lv2/ui/editorui.h"

#include "gui/aeffguieditor.h"
#include "gui/cframe.h"
#include "gui/platform/x11/x11connection.h"
#include "gui/platform/x11/x11window.h"
#include "module/lv2/lv2ports.h"
#include "module/vst2/vstmain.h"
#include "shell/audioeffect.h"

#include <cstring>
#include <lv2/atom/atom.h>
#include <lv2/options/options.h>
#include <lv2/parameters/parameters.h>
#include <lv2/urid/urid.h>
#include <new>

namespace quorvane::lv2 {

namespace {

// The UI whose effect is being built on this thread: the effect asks for the sample rate before
// the UI can put itself into the record.
thread_local EditorUi* constructing = nullptr;

const void* featureData(const LV2_Feature* const* features, const char* uri) {
    if (!features) return nullptr;
    for (const LV2_Feature* const* f = features; *f; ++f) {
        if ((*f)->URI && std::strcmp((*f)->URI, uri) == 0) return (*f)->data;
    }
    return nullptr;
}

// The sample rate among the host's options (a float from 1 Hz to 10 MHz), or 0.
float sampleRateOption(const LV2_Feature* const* features) {
    const auto* map = static_cast<const LV2_URID_Map*>(featureData(features, LV2_URID__map));
    const auto* options =
        static_cast<const LV2_Options_Option*>(featureData(features, LV2_OPTIONS__options));
    if (!map || !map->map || !options) return 0.0f;
    const LV2_URID rate = map->map(map->handle, LV2_PARAMETERS__sampleRate);
    const LV2_URID floatType = map->map(map->handle, LV2_ATOM__Float);
    for (const LV2_Options_Option* o = options; o->key != 0 || o->value; ++o) {
        if (o->key != rate || o->type != floatType || o->size != sizeof(float) || !o->value)
            continue;
        const float value = *static_cast<const float*>(o->value);
        // NaN fails both
        return value >= 1.0f && value <= 1.0e7f ? value : 0.0f;
    }
    return 0.0f;
}

// A host that embeds nothing gets the panel in a window of its own on the screen.
void* rootWindow() {
    // opened and closed like every other connection of the plug-in, one at a time in the process
    Display* display = x11::openConnection();
    if (!display) return nullptr;
    const ::Window root = DefaultRootWindow(display);
    x11::closeConnection(display);
    return reinterpret_cast<void*>(uintptr_t(root));
}

x11::X11Window* x11WindowOf(AEffect* effect) {
    if (!effect) return nullptr;
    auto* object = static_cast<AudioEffect*>(effect->object);
    auto* editor = static_cast<AEffGUIEditor*>(object->getEditorPointer());
    if (!editor || !editor->getFrame()) return nullptr;
    return dynamic_cast<x11::X11Window*>(editor->getFrame()->getWindow());
}

} // namespace

EditorUi::EditorUi(LV2UI_Write_Function write, LV2UI_Controller controller)
    : write_(write), controller_(controller) {}

EditorUi::~EditorUi() = default;

EditorUi::Call::~Call() {
    if (--ui_.depth_ == 0 && ui_.closing_) delete &ui_;
}

EditorUi* EditorUi::create(LV2UI_Write_Function write, LV2UI_Controller controller,
                           LV2UI_Widget* widget, const LV2_Feature* const* features) noexcept {
    void* parent = const_cast<void*>(featureData(features, LV2_UI__parent));
    if (!parent) parent = rootWindow();
    if (!parent || !widget) return nullptr;
    EditorUi* ui = new (std::nothrow) EditorUi(write, controller);
    if (!ui) return nullptr;
    // held until the UI is complete: a failure, or a host ending the UI from inside resize,
    // ends it when this call returns
    Call call(*ui);
    ui->readFeatures(features);
    // build: the effect asks this UI for the version and the sample rate
    constructing = ui;
    ui->effect_ = createEffectInstance(&EditorUi::hostCallback);
    constructing = nullptr;
    if (!ui->effect_) {
        ui->destroy();
        return nullptr;
    }
    ui->effect_->user = ui;
    // open: the editor's window inside the host's, at its fixed size
    ERect* rect = nullptr;
    ui->effect_->dispatcher(ui->effect_, effEditGetRect, 0, 0, &rect, 0.0f);
    if (ui->effect_->dispatcher(ui->effect_, effEditOpen, 0, 0, parent, 0.0f) == 0 || !rect ||
        ui->editorWindow() == 0) {
        ui->destroy();
        return nullptr;
    }
    *widget = reinterpret_cast<LV2UI_Widget>(ui->editorWindow());
    if (ui->resize_ && ui->resize_->ui_resize)
        ui->resize_->ui_resize(ui->resize_->handle, rect->right - rect->left,
                               rect->bottom - rect->top);
    return ui->closing_ ? nullptr : ui;
}

void EditorUi::readFeatures(const LV2_Feature* const* features) {
    resize_ = static_cast<const LV2UI_Resize*>(featureData(features, LV2_UI__resize));
    touch_ = static_cast<const LV2UI_Touch*>(featureData(features, LV2_UI__touch));
    sampleRate_ = sampleRateOption(features);
}

void EditorUi::destroy() noexcept {
    if (closing_) return;
    closing_ = true;
    // the shell keeps the effect alive until a call still running inside it has returned
    if (effect_) {
        // requests the effect still sends on its way out reach no UI
        effect_->user = nullptr;
        effect_->dispatcher(effect_, effEditClose, 0, 0, nullptr, 0.0f);
        effect_->dispatcher(effect_, effClose, 0, 0, nullptr, 0.0f);
        effect_ = nullptr;
    }
    if (depth_ == 0) delete this;
}

void EditorUi::portEvent(uint32_t port, uint32_t size, uint32_t protocol,
                         const void* buffer) noexcept {
    if (closing_ || !effect_ || protocol != 0 || size != sizeof(float) || !buffer) return;
    float value = 0.0f;
    std::memcpy(&value, buffer, sizeof(float));
    int32_t index = -1;
    if (port >= kFirstParameterPort && port < kLatencyPort)
        index = int32_t(port - kFirstParameterPort);
    else if (port >= kFirstReadingPort && port < kPortCount)
        index = kFirstReading + int32_t(port - kFirstReadingPort);
    if (index < 0) return;
    // shown at the next idle, like automation of the VST 2 editor
    Call call(*this);
    effect_->setParameter(effect_, index, value);
}

int EditorUi::idle() noexcept {
    if (closing_ || !effect_) return 1;
    Call call(*this);
    effect_->dispatcher(effect_, effEditIdle, 0, 0, nullptr, 0.0f);
    return !closing_ && windowAlive() ? 0 : 1;
}

uintptr_t EditorUi::editorWindow() const {
    x11::X11Window* window = x11WindowOf(effect_);
    return window ? uintptr_t(window->id()) : 0;
}

bool EditorUi::windowAlive() const {
    x11::X11Window* window = x11WindowOf(effect_);
    return window && window->alive();
}

intptr_t VSTCALLBACK EditorUi::hostCallback(AEffect* effect, int32_t opcode, int32_t index,
                                            intptr_t, void*, float opt) {
    EditorUi* ui = effect && effect->user ? static_cast<EditorUi*>(effect->user) : constructing;
    if (!ui) return 0;
    try {
        return ui->answer(opcode, index, opt);
    } catch (...) {
        return 0;
    }
}

intptr_t EditorUi::answer(int32_t opcode, int32_t index, float opt) {
    switch (opcode) {
    case audioMasterVersion:
        return 2400;
    case audioMasterGetSampleRate:
        return intptr_t(sampleRate_);
    default:
        break;
    }
    // edits of a closed UI go nowhere; the host has forgotten it
    const bool parameter = index >= 0 && index < kNumParams;
    if (closing_ || !parameter) return 0;
    const uint32_t port = parameterPort(index);
    Call call(*this);
    switch (opcode) {
    case audioMasterAutomate:
        if (write_) write_(controller_, port, sizeof(float), 0, &opt);
        return 0;
    case audioMasterBeginEdit:
    case audioMasterEndEdit:
        if (!touch_ || !touch_->touch) return 0;
        touch_->touch(touch_->handle, port, opcode == audioMasterBeginEdit);
        return 1;
    default:
        return 0;
    }
}

} // namespace quorvane::lv2
