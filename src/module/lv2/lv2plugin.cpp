// The LV2 plug-in: the effect behind a descriptor, its ports and its state.
//
// Threads. instantiate, activate, deactivate, cleanup and the state's restore run while the
// host is not running the instance; run runs on the audio thread and never allocates, locks or
// waits, whatever the block length (the engine stages long blocks in pieces). The state's save
// may come on another thread while run goes on: it only reads the effect's atomics.

#include "module/lv2/lv2effect.h"
#include "module/lv2/lv2ports.h"

#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>
#include <string>

namespace quorvane::lv2 {

namespace {

// The state's keys and value types, mapped when the host offers the URID map.
struct StateUrids {
    bool mapped = false;
    LV2_URID program = 0;
    LV2_URID parameters[kNumParams] = {};
    LV2_URID atomInt = 0;
    LV2_URID atomFloat = 0;
};

struct Plugin {
    std::unique_ptr<ADelay> effect;
    float* ports[kPortCount] = {};
    // The value each parameter port had at the previous run: a port moves its parameter only
    // when the host changes the port, so values restored from the state stay until it does.
    uint32_t seen[kNumParams] = {};
    // The longest block the host announced, for the engine's staging; 0 when it did not.
    int32_t maxBlock = 0;
    StateUrids urids;
};

// The feature's data, or null; entries without a URI are passed over.
const void* featureData(const LV2_Feature* const* features, const char* uri) {
    for (const LV2_Feature* const* f = features; f && *f; ++f)
        if ((*f)->URI && std::strcmp((*f)->URI, uri) == 0) return (*f)->data;
    return nullptr;
}

// The host's longest block from the options, when it gives one as an integer.
int32_t announcedMaxBlock(const LV2_Feature* const* features, LV2_URID_Map* map) {
    const void* options = featureData(features, LV2_OPTIONS__options);
    if (!options || !map) return 0;
    const LV2_URID maxKey = map->map(map->handle, LV2_BUF_SIZE__maxBlockLength);
    const LV2_URID intType = map->map(map->handle, LV2_ATOM__Int);
    int32_t found = 0;
    for (auto* o = static_cast<const LV2_Options_Option*>(options); o->key || o->value; ++o) {
        if (o->key == maxKey && o->type == intType && o->value && o->size == sizeof(int32_t))
            found = std::max(found, *static_cast<const int32_t*>(o->value));
    }
    return found;
}

LV2_Handle instantiate(const LV2_Descriptor*, double rate, const char*,
                       const LV2_Feature* const* features) {
    try {
        auto plugin = std::make_unique<Plugin>();
        plugin->effect = createEffect(rate);
        if (!plugin->effect) return nullptr;
        for (int32_t i = 0; i < kNumParams; ++i)
            plugin->seen[i] = std::bit_cast<uint32_t>(plugin->effect->getParameter(i));

        // a map without its function is no map
        auto* map =
            static_cast<LV2_URID_Map*>(const_cast<void*>(featureData(features, LV2_URID__map)));
        if (map && !map->map) map = nullptr;
        if (map) {
            StateUrids& u = plugin->urids;
            u.program = map->map(map->handle, kProgramKey);
            for (int32_t i = 0; i < kNumParams; ++i) {
                char name[64] = {};
                plugin->effect->getParameterName(i, name);
                u.parameters[i] = map->map(map->handle, parameterKey(symbolOf(name)).c_str());
            }
            u.atomInt = map->map(map->handle, LV2_ATOM__Int);
            u.atomFloat = map->map(map->handle, LV2_ATOM__Float);
            u.mapped = true;
        }
        plugin->maxBlock = announcedMaxBlock(features, map);
        return plugin.release();
    } catch (...) {
        return nullptr;
    }
}

void connectPort(LV2_Handle instance, uint32_t port, void* data) {
    auto* plugin = static_cast<Plugin*>(instance);
    if (port < kPortCount) plugin->ports[port] = static_cast<float*>(data);
}

// As a VST 2 host's resume: the engine's framing starts anew and the meter parameters read 1.
void activate(LV2_Handle instance) {
    auto* plugin = static_cast<Plugin*>(instance);
    if (plugin->maxBlock > 0) plugin->effect->setBlockSize(plugin->maxBlock);
    plugin->effect->resume();
}

void run(LV2_Handle instance, uint32_t sampleCount) {
    auto* plugin = static_cast<Plugin*>(instance);
    ADelay& effect = *plugin->effect;
    for (int32_t i = 0; i < kNumParams; ++i) {
        const float* port = plugin->ports[parameterPort(i)];
        if (!port) continue;
        const uint32_t bits = std::bit_cast<uint32_t>(*port);
        if (bits == plugin->seen[i]) continue;
        plugin->seen[i] = bits;
        effect.setParameter(i, *port);
    }

    float* inputs[2] = {plugin->ports[kKeyIn], plugin->ports[kIn]};
    float* outputs[2] = {plugin->ports[kKeyOut], plugin->ports[kOut]};
    for (uint32_t done = 0; done < sampleCount;) {
        const uint32_t n = std::min<uint32_t>(sampleCount - done, INT32_MAX);
        float* in[2] = {inputs[0] ? inputs[0] + done : nullptr,
                        inputs[1] ? inputs[1] + done : nullptr};
        float* out[2] = {outputs[0] ? outputs[0] + done : nullptr,
                         outputs[1] ? outputs[1] + done : nullptr};
        effect.processReplacing(in, out, static_cast<int32_t>(n));
        done += n;
    }

    if (float* latency = plugin->ports[kLatencyPort])
        *latency = static_cast<float>(effect.getAeffect()->initialDelay);
    for (int32_t r = 0; r < kReadingCount; ++r)
        if (float* reading = plugin->ports[kFirstReadingPort + r])
            *reading = effect.getParameter(kFirstReading + r);
}

void deactivate(LV2_Handle) {}

void cleanup(LV2_Handle instance) {
    delete static_cast<Plugin*>(instance);
}

// The state: the current program's number and the values of the eight parameters.
LV2_State_Status save(LV2_Handle instance, LV2_State_Store_Function store, LV2_State_Handle handle,
                      uint32_t, const LV2_Feature* const*) {
    auto* plugin = static_cast<Plugin*>(instance);
    const StateUrids& u = plugin->urids;
    if (!u.mapped) return LV2_STATE_ERR_NO_FEATURE;
    const uint32_t flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
    const int32_t program = plugin->effect->getProgram();
    LV2_State_Status status = store(handle, u.program, &program, sizeof(program), u.atomInt, flags);
    for (int32_t i = 0; i < kNumParams && status == LV2_STATE_SUCCESS; ++i) {
        const float value = plugin->effect->getParameter(i);
        status = store(handle, u.parameters[i], &value, sizeof(value), u.atomFloat, flags);
    }
    return status;
}

// Selects the saved program, then sets the saved values; keys that are missing or of another
// type are left as they are.
LV2_State_Status restore(LV2_Handle instance, LV2_State_Retrieve_Function retrieve,
                         LV2_State_Handle handle, uint32_t, const LV2_Feature* const*) {
    auto* plugin = static_cast<Plugin*>(instance);
    const StateUrids& u = plugin->urids;
    if (!u.mapped) return LV2_STATE_ERR_NO_FEATURE;
    size_t size = 0;
    uint32_t type = 0;
    uint32_t flags = 0;
    const void* value = retrieve(handle, u.program, &size, &type, &flags);
    if (value && type == u.atomInt && size == sizeof(int32_t)) {
        int32_t program;
        std::memcpy(&program, value, sizeof(program));
        if (program >= 0 && program < kNumPrograms) plugin->effect->setProgram(program);
    }
    for (int32_t i = 0; i < kNumParams; ++i) {
        value = retrieve(handle, u.parameters[i], &size, &type, &flags);
        if (!value || type != u.atomFloat || size != sizeof(float)) continue;
        float parameter;
        std::memcpy(&parameter, value, sizeof(parameter));
        plugin->effect->setParameter(i, parameter);
    }
    return LV2_STATE_SUCCESS;
}

const LV2_State_Interface stateInterface = {save, restore};

const void* extensionData(const char* uri) {
    return uri && std::strcmp(uri, LV2_STATE__interface) == 0 ? &stateInterface : nullptr;
}

const LV2_Descriptor descriptor = {kPluginUri, instantiate, connectPort, activate,
                                   run,        deactivate,  cleanup,     extensionData};

} // namespace

} // namespace quorvane::lv2

extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
    return index == 0 ? &quorvane::lv2::descriptor : nullptr;
}
