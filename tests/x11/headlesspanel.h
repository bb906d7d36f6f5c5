#pragma once
// The editor's panel as the headless back end paints it for a fresh effect whose parameters are
// set, in this order, to the given values: the picture the window tests compare a screen with,
// and the comparison.

#include "gui/aeffguieditor.h"
#include "gui/platform/headless/headless.h"
#include "gui/platform/headless/headlesswindow.h"
#include "module/adelayedit.h"

#include <algorithm>
#include <cstdint>
#include <string>
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

// A host that answers only the version and the sample rate.
inline intptr_t VSTCALLBACK plainHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    if (opcode == audioMasterVersion) return 2400;
    return opcode == audioMasterGetSampleRate ? 44100 : 0;
}

inline raster::PixelBuffer
headlessPanelOf(const std::vector<std::pair<int32_t, float>>& parameters) {
    return headlessPanelOf(plainHost, parameters);
}

// Empty when a equals b outside skip, otherwise the box around the pixels that differ.
inline std::string mismatch(const raster::PixelBuffer& a, const raster::PixelBuffer& b,
                            platform::Rect skip = {}) {
    if (a.width() != b.width() || a.height() != b.height()) return "sizes differ";
    int left = a.width(), top = a.height(), right = -1, bottom = -1, count = 0;
    for (int y = 0; y < a.height(); y++) {
        for (int x = 0; x < a.width(); x++) {
            bool skipped = x >= skip.left && x < skip.right && y >= skip.top && y < skip.bottom;
            if (skipped || a.at(x, y) == b.at(x, y)) continue;
            count++;
            left = std::min(left, x);
            top = std::min(top, y);
            right = std::max(right, x);
            bottom = std::max(bottom, y);
        }
    }
    if (right < 0) return "";
    return std::to_string(count) + " pixels differ in " + std::to_string(left) + "," +
           std::to_string(top) + " .. " + std::to_string(right) + "," + std::to_string(bottom);
}

} // namespace quorvane
