// Entry of the LV2 UI library: one descriptor, the X11 panel of the plug-in.

#include "module/lv2/lv2ports.h"
#include "module/lv2/ui/editorui.h"

#include <cstring>

namespace {

using quorvane::lv2::EditorUi;

LV2UI_Handle instantiate(const LV2UI_Descriptor*, const char* pluginUri, const char*,
                         LV2UI_Write_Function write, LV2UI_Controller controller,
                         LV2UI_Widget* widget, const LV2_Feature* const* features) noexcept {
    if (!pluginUri || std::strcmp(pluginUri, quorvane::lv2::kPluginUri) != 0) return nullptr;
    return EditorUi::create(write, controller, widget, features);
}

void cleanup(LV2UI_Handle ui) noexcept {
    if (ui) static_cast<EditorUi*>(ui)->destroy();
}

void portEvent(LV2UI_Handle ui, uint32_t port, uint32_t size, uint32_t protocol,
               const void* buffer) noexcept {
    if (ui) static_cast<EditorUi*>(ui)->portEvent(port, size, protocol, buffer);
}

int idle(LV2UI_Handle ui) noexcept {
    return ui ? static_cast<EditorUi*>(ui)->idle() : 1;
}

const LV2UI_Idle_Interface idleInterface = {idle};

const void* extensionData(const char* uri) noexcept {
    if (uri && std::strcmp(uri, LV2_UI__idleInterface) == 0) return &idleInterface;
    return nullptr;
}

const LV2UI_Descriptor descriptor = {quorvane::lv2::kUiUri, instantiate, cleanup, portEvent,
                                     extensionData};

} // namespace

extern "C" __attribute__((visibility("default"))) const LV2UI_Descriptor*
lv2ui_descriptor(uint32_t index) noexcept {
    return index == 0 ? &descriptor : nullptr;
}
