#include "lv2host.h"

#include "testhost.h"

#include <lv2/state/state.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>

namespace lv2test {

namespace {

LV2_URID mapUri(LV2_URID_Map_Handle handle, const char* uri) {
    auto* ids =
        static_cast<std::pair<std::map<std::string, uint32_t>*, std::vector<std::string>*>*>(
            handle);
    auto [it, added] = ids->first->emplace(uri, static_cast<uint32_t>(ids->second->size() + 1));
    if (added) ids->second->push_back(uri);
    return it->second;
}

const char* unmapUri(LV2_URID_Unmap_Handle handle, LV2_URID urid) {
    auto* ids =
        static_cast<std::pair<std::map<std::string, uint32_t>*, std::vector<std::string>*>*>(
            handle);
    return urid >= 1 && urid <= ids->second->size() ? (*ids->second)[urid - 1].c_str() : nullptr;
}

std::pair<std::map<std::string, uint32_t>*, std::vector<std::string>*> gIds;

} // namespace

Host& Host::get() {
    static Host host;
    return host;
}

Host::Host() : world_(lilv_world_new()) {
    gIds = {&ids_, &names_};
    map_ = {&gIds, mapUri};
    unmap_ = {&gIds, unmapUri};
    mapFeature_ = {LV2_URID__map, &map_};
    unmapFeature_ = {LV2_URID__unmap, &unmap_};
    features_[0] = &mapFeature_;
    features_[1] = &unmapFeature_;
    features_[2] = nullptr;
    lilv_world_load_all(world_);
    LilvNode* uri = lilv_new_uri(world_, kUri);
    plugin_ = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world_), uri);
    lilv_node_free(uri);
}

Host::~Host() {
    for (auto& [name, n] : nodes_)
        lilv_node_free(n);
    lilv_world_free(world_);
}

LilvNode* Host::node(const char* uri) {
    LilvNode*& n = nodes_[uri];
    if (!n) n = lilv_new_uri(world_, uri);
    return n;
}

Lv2Instance::Lv2Instance(double rate)
    : instance_(Host::get().plugin()
                    ? lilv_plugin_instantiate(Host::get().plugin(), rate, Host::get().features())
                    : nullptr) {
    if (!instance_) return;
    const LilvPlugin* plugin = Host::get().plugin();
    float defaults[kPorts];
    lilv_plugin_get_port_ranges_float(plugin, nullptr, nullptr, defaults);
    for (uint32_t p = 4; p < kPorts; ++p) {
        control[p] = std::isnan(defaults[p]) ? 0.0f : defaults[p];
        lilv_instance_connect_port(instance_, p, &control[p]);
    }
    lilv_instance_activate(instance_);
}

Lv2Instance::~Lv2Instance() {
    if (!instance_) return;
    lilv_instance_deactivate(instance_);
    lilv_instance_free(instance_);
}

void Lv2Instance::run(const float* key, const float* signal, float* keyOut, float* out,
                      uint32_t n) {
    lilv_instance_connect_port(instance_, 0, const_cast<float*>(key));
    lilv_instance_connect_port(instance_, 1, const_cast<float*>(signal));
    lilv_instance_connect_port(instance_, 2, keyOut ? keyOut : const_cast<float*>(key));
    lilv_instance_connect_port(instance_, 3, out ? out : const_cast<float*>(signal));
    lilv_instance_run(instance_, n);
}

void Lv2Instance::runControls(uint32_t n) {
    silence_.assign(n, 0.0f);
    scratch0_.assign(n, 0.0f);
    scratch1_.assign(n, 0.0f);
    run(silence_.data(), silence_.data(), scratch0_.data(), scratch1_.data(), n);
}

std::map<uint32_t, std::vector<uint8_t>> Lv2Instance::save(uint32_t* status) {
    std::map<uint32_t, std::vector<uint8_t>> properties;
    auto* state = static_cast<const LV2_State_Interface*>(
        lilv_instance_get_extension_data(instance_, LV2_STATE__interface));
    if (!state) return properties;
    auto store = [](LV2_State_Handle handle, uint32_t key, const void* value, size_t size,
                    uint32_t type, uint32_t) -> LV2_State_Status {
        auto* props = static_cast<std::map<uint32_t, std::vector<uint8_t>>*>(handle);
        std::vector<uint8_t> bytes(sizeof(type) + size);
        std::memcpy(bytes.data(), &type, sizeof(type));
        std::memcpy(bytes.data() + sizeof(type), value, size);
        (*props)[key] = bytes;
        return LV2_STATE_SUCCESS;
    };
    const uint32_t result =
        state->save(lilv_instance_get_handle(instance_), store, &properties,
                    LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, Host::get().features());
    if (status) *status = result;
    return properties;
}

Stream lv2Stream(double rate, const std::vector<uint32_t>& pattern, const std::vector<float>& key,
                 const std::vector<float>& signal, bool inPlace) {
    const size_t length = key.size();
    Stream out(2 * length, 99.0f);
    Lv2Instance instance(rate);
    if (!instance.valid()) return {};
    if (inPlace) {
        std::copy(key.begin(), key.end(), out.begin());
        std::copy(signal.begin(), signal.end(), out.begin() + length);
    }
    for (size_t done = 0, b = 0; done < length; ++b) {
        const uint32_t n = uint32_t(std::min<size_t>(length - done, pattern[b % pattern.size()]));
        if (inPlace)
            instance.run(out.data() + done, out.data() + length + done, nullptr, nullptr, n);
        else
            instance.run(key.data() + done, signal.data() + done, out.data() + done,
                         out.data() + length + done, n);
        done += n;
    }
    return out;
}

Stream vstStream(int32_t rate, const std::vector<uint32_t>& pattern, const std::vector<float>& key,
                 const std::vector<float>& signal) {
    const size_t length = key.size();
    Stream out(2 * length, 99.0f);
    TestHost host;
    host.sampleRateAnswer = rate;
    ::Instance effect(host);
    if (!effect.get()) return {};
    dispatch(effect.get(), effMainsChanged, 0, 1);
    for (size_t done = 0, b = 0; done < length; ++b) {
        const size_t n = std::min<size_t>(length - done, pattern[b % pattern.size()]);
        float* inputs[2] = {const_cast<float*>(key.data() + done),
                            const_cast<float*>(signal.data() + done)};
        float* outputs[2] = {out.data() + done, out.data() + length + done};
        effect->processReplacing(effect.get(), inputs, outputs, int32_t(n));
        done += n;
    }
    return out;
}

int32_t vstLatency(int32_t rate) {
    TestHost host;
    host.sampleRateAnswer = rate;
    ::Instance effect(host);
    return effect.get() ? effect->initialDelay : -1;
}

} // namespace lv2test
