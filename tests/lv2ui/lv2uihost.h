#pragma once
// A small LV2 host of the built UI library for the tests: a plain parent window on the test
// server, the features it offers (parent, touch, resize, the idle interface), and a record of
// what the UI asked of it.

#include "../x11/xvfb.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <dlfcn.h>
#include <functional>
#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/parameters/parameters.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>
#include <string>
#include <thread>
#include <vector>

namespace quorvane::x11test {

constexpr int kWidth = 900;
constexpr int kHeight = 202;
constexpr int kLeft = 30; // where the host's window sits on the screen
constexpr int kTop = 40;
constexpr const char* kPluginUri = "urn:quorvane:lv2:quorvane";
constexpr const char* kUiUri = "urn:quorvane:lv2:quorvane#ui";
constexpr uint32_t kDelayPort = 4;

inline std::vector<::Window> childrenOf(Display* display, ::Window window) {
    ::Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    XQueryTree(display, window, &root, &parent, &children, &count);
    std::vector<::Window> list(children, children + count);
    if (children) XFree(children);
    return list;
}

// The built UI library, loaded once.
inline const LV2UI_Descriptor* descriptorAt(uint32_t index) {
    static void* library = dlopen(QUORVANE_LV2_UI, RTLD_NOW | RTLD_LOCAL);
    if (!library) return nullptr;
    auto entry = reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(library, "lv2ui_descriptor"));
    return entry ? entry(index) : nullptr;
}

// What the UI asked of the host, in order.
struct Request {
    char kind; // 'w' write, 't' touch, 'r' resize
    uint32_t port = 0;
    uint32_t size = 0;
    uint32_t protocol = 0;
    float value = 0.0f; // written value; 1 for a touch begin, 0 for its end
    int width = 0, height = 0;
};

// The host: a plain parent window, the features it offers and what it does when written to.
class UiHost {
public:
    bool offerTouch = true;
    bool offerResize = true;
    bool offerParent = true;
    // Sends every write straight back as a port event, as some hosts do.
    bool echoWrites = false;
    // Ends the UI from inside its first write.
    bool cleanupOnWrite = false;
    // Offers its sample rate among its options, with the URID map they need.
    bool offerSampleRate = false;
    float sampleRate = 48000.0f;

    std::vector<Request> requests;
    const LV2UI_Descriptor* descriptor = descriptorAt(0);
    LV2UI_Handle ui = nullptr;
    LV2UI_Widget widget = nullptr;
    ::Window parent = 0;

    explicit UiHost(Display* server, int left = kLeft, int top = kTop) : server_(server) {
        parent = makeHostWindow(server, left, top, kWidth, kHeight);
    }
    ~UiHost() {
        end();
        XDestroyWindow(server_, parent);
        XSync(server_, False);
    }

    bool instantiate(const char* pluginUri = kPluginUri) {
        // the features live as long as the UI
        parentFeature_.data = reinterpret_cast<void*>(uintptr_t(parent));
        features_ = {&idleFeature_};
        if (offerParent) features_.push_back(&parentFeature_);
        if (offerTouch) features_.push_back(&touchFeature_);
        if (offerResize) features_.push_back(&resizeFeature_);
        if (offerSampleRate) {
            options_[0] = {LV2_OPTIONS_INSTANCE,
                           0,
                           map(this, LV2_PARAMETERS__sampleRate),
                           sizeof(float),
                           map(this, LV2_ATOM__Float),
                           &sampleRate};
            options_[1] = {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr};
            features_.push_back(&mapFeature_);
            features_.push_back(&optionsFeature_);
        }
        features_.push_back(nullptr);
        widget = nullptr;
        ui = descriptor->instantiate(descriptor, pluginUri, "/nowhere/", &UiHost::write, this,
                                     &widget, features_.data());
        return ui != nullptr;
    }
    void end() {
        if (ui) descriptor->cleanup(ui);
        ui = nullptr;
    }
    int idle() {
        auto* interface = static_cast<const LV2UI_Idle_Interface*>(
            descriptor->extension_data(LV2_UI__idleInterface));
        return interface->idle(ui);
    }
    void idleFor(std::chrono::milliseconds time) {
        const auto end = std::chrono::steady_clock::now() + time;
        while (ui && std::chrono::steady_clock::now() < end) {
            idle();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    void portEvent(uint32_t port, float value, uint32_t size = sizeof(float),
                   uint32_t protocol = 0) {
        descriptor->port_event(ui, port, size, protocol, &value);
    }
    // Runs script on a connection of its own (a user at the mouse) while the host keeps
    // idling the UI, as its event loop would; the panel's drag loops run inside those idles.
    void gesture(const std::function<void(Display*)>& script) {
        std::atomic<bool> finished{false};
        std::thread user([&] {
            Connection own;
            script(own);
            finished = true;
        });
        while (!finished.load()) {
            if (ui) idle();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        user.join();
        idleFor(std::chrono::milliseconds(120));
    }
    raster::PixelBuffer screen() const { return grab(server_, parent, kWidth, kHeight); }

private:
    static void write(LV2UI_Controller controller, uint32_t port, uint32_t size, uint32_t protocol,
                      const void* buffer) {
        auto* host = static_cast<UiHost*>(controller);
        float value = 0.0f;
        if (size == sizeof(float)) std::memcpy(&value, buffer, sizeof(float));
        host->requests.push_back({'w', port, size, protocol, value});
        if (host->echoWrites) host->descriptor->port_event(host->ui, port, size, protocol, buffer);
        if (host->cleanupOnWrite && host->ui) host->end();
    }
    static void touch(LV2UI_Feature_Handle handle, uint32_t port, bool grabbed) {
        static_cast<UiHost*>(handle)->requests.push_back({'t', port, 0, 0, grabbed ? 1.0f : 0.0f});
    }
    static LV2_URID map(LV2_URID_Map_Handle handle, const char* uri) {
        auto& uris = static_cast<UiHost*>(handle)->uris_;
        for (size_t i = 0; i < uris.size(); i++) {
            if (uris[i] == uri) return LV2_URID(i + 1);
        }
        uris.push_back(uri);
        return LV2_URID(uris.size());
    }
    static int resize(LV2UI_Feature_Handle handle, int width, int height) {
        static_cast<UiHost*>(handle)->requests.push_back({'r', 0, 0, 0, 0.0f, width, height});
        return 0;
    }

    Display* server_;
    LV2UI_Touch touch_{this, &UiHost::touch};
    LV2UI_Resize resize_{this, &UiHost::resize};
    LV2_Feature parentFeature_{LV2_UI__parent, nullptr};
    LV2_Feature touchFeature_{LV2_UI__touch, &touch_};
    LV2_Feature resizeFeature_{LV2_UI__resize, &resize_};
    LV2_Feature idleFeature_{LV2_UI__idleInterface, nullptr};
    std::vector<std::string> uris_;
    LV2_URID_Map map_{this, &UiHost::map};
    LV2_Feature mapFeature_{LV2_URID__map, &map_};
    LV2_Options_Option options_[2] = {};
    LV2_Feature optionsFeature_{LV2_OPTIONS__options, options_};
    std::vector<const LV2_Feature*> features_;
};

} // namespace quorvane::x11test
