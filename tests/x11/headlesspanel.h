#pragma once
// The editor's panel as the headless back end paints it for a fresh effect whose parameters are
// set, in this order, to the given values: the picture the window tests compare a screen with.

#include "gui/aeffguieditor.h"
#include "gui/platform/headless/headless.h"
#include "gui/platform/headless/headlesswindow.h"
#include "module/adelayedit.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace quorvane {

inline raster::PixelBuffer
headlessPanelOf(audioMasterCallback host,
                const std::vector<std::pair<int32_t, float>>& parameters) {
    headless::reset();
    ADelayEdit effect(host);
    for (const auto& [index, value] : parameters)
        effect.setParameter(index, value);
    static int parent = 0;
    auto* editor = static_cast<AEffGUIEditor*>(effect.getEditorPointer());
    ERect* rect = nullptr;
    editor->getRect(&rect);
    editor->open(&parent);
    editor->idle();
    headless::lastWindow()->paint({0, 0, rect->right, rect->bottom});
    editor->idle();
    raster::PixelBuffer pixels = headless::lastWindow()->pixels();
    editor->close();
    return pixels;
}

} // namespace quorvane
