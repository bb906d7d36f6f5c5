// The LV2 plug-in as a host built on lilv finds it: the description, latency, presets and
// state, and output streams that are the VST 2 module's bit for bit.

#include "lv2host.h"
#include "testhost.h"

#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/presets/presets.h>
#include <lv2/state/state.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>

using namespace lv2test;

namespace {

struct PortExpectation {
    const char* symbol;
    bool audio;
    bool input;
};

// The parameter and meter symbols are made from the parameter names.
const PortExpectation kPorts[Lv2Instance::kPorts] = {
    {"key_in", true, true},
    {"in", true, true},
    {"key_out", true, false},
    {"out", true, false},
    {"delay", false, true},
    {"rms_level", false, true},
    {"peak_level", false, true},
    {"hold_level", false, true},
    {"volume", false, true},
    {"mode", false, true},
    {"resp", false, true},
    {"rms_mode", false, true},
    {"latency", false, false},
    {"rms_level_out", false, false},
    {"peak_level_out", false, false},
    {"hold_level_out", false, false},
};

std::string str(const LilvNode* node) {
    return node ? lilv_node_as_string(node) : "(none)";
}

// The text of a node the caller owns, which is freed.
std::string take(LilvNode* node) {
    const std::string text = str(node);
    lilv_node_free(node);
    return text;
}

// The texts of nodes the caller owns, which are freed.
std::set<std::string> takeAll(LilvNodes* nodes) {
    std::set<std::string> out;
    LILV_FOREACH(nodes, i, nodes)
    out.insert(lilv_node_as_string(lilv_nodes_get(nodes, i)));
    lilv_nodes_free(nodes);
    return out;
}

const LilvPlugin* plugin() {
    return Host::get().plugin();
}

float propertyFloat(const std::map<uint32_t, std::vector<uint8_t>>& props, const char* uri) {
    auto it = props.find(Host::get().urid(uri));
    if (it == props.end() || it->second.size() != 8) return -99.0f;
    uint32_t type;
    float value;
    std::memcpy(&type, it->second.data(), 4);
    std::memcpy(&value, it->second.data() + 4, 4);
    return type == Host::get().urid(LV2_ATOM__Float) ? value : -98.0f;
}

int32_t propertyInt(const std::map<uint32_t, std::vector<uint8_t>>& props, const char* uri) {
    auto it = props.find(Host::get().urid(uri));
    if (it == props.end() || it->second.size() != 8) return -99;
    uint32_t type;
    int32_t value;
    std::memcpy(&type, it->second.data(), 4);
    std::memcpy(&value, it->second.data() + 4, 4);
    return type == Host::get().urid(LV2_ATOM__Int) ? value : -98;
}

std::string uriOf(const char* fragment) {
    return std::string(kUri) + "#" + fragment;
}

} // namespace

TEST(Lv2Description, PluginPortsAndFeaturesAsTheEffectsTables) {
    ASSERT_NE(plugin(), nullptr) << "no " << kUri << " on LV2_PATH";
    Host& h = Host::get();
    EXPECT_EQ(take(lilv_plugin_get_name(plugin())), "Quorvane");
    EXPECT_EQ(take(lilv_plugin_get_author_name(plugin())), "Haldermoor");
    ASSERT_EQ(lilv_plugin_get_num_ports(plugin()), Lv2Instance::kPorts);
    EXPECT_EQ(lilv_plugin_get_latency_port_index(plugin()), 12u);
    EXPECT_TRUE(takeAll(lilv_plugin_get_required_features(plugin())).empty());
    EXPECT_TRUE(
        takeAll(lilv_plugin_get_optional_features(plugin())).count(LV2_CORE__hardRTCapable));
    EXPECT_TRUE(lilv_plugin_has_extension_data(plugin(), h.node(LV2_STATE__interface)));

    // Names, ranges and defaults of the parameter ports are what the VST 2 module answers.
    TestHost vstHost;
    ::Instance vst(vstHost);
    ASSERT_NE(vst.get(), nullptr);
    float mins[Lv2Instance::kPorts], maxs[Lv2Instance::kPorts], defaults[Lv2Instance::kPorts];
    lilv_plugin_get_port_ranges_float(plugin(), mins, maxs, defaults);
    for (uint32_t p = 0; p < Lv2Instance::kPorts; ++p) {
        SCOPED_TRACE("port " + std::to_string(p));
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin(), p);
        ASSERT_NE(port, nullptr);
        EXPECT_EQ(str(lilv_port_get_symbol(plugin(), port)), kPorts[p].symbol);
        EXPECT_EQ(lilv_port_is_a(plugin(), port, h.node(LV2_CORE__AudioPort)), kPorts[p].audio);
        EXPECT_EQ(lilv_port_is_a(plugin(), port, h.node(LV2_CORE__ControlPort)), !kPorts[p].audio);
        EXPECT_EQ(lilv_port_is_a(plugin(), port, h.node(LV2_CORE__InputPort)), kPorts[p].input);
        EXPECT_EQ(lilv_port_is_a(plugin(), port, h.node(LV2_CORE__OutputPort)), !kPorts[p].input);
        EXPECT_EQ(lilv_port_has_property(plugin(), port, h.node(LV2_CORE__reportsLatency)),
                  p == 12);
        if (p >= 4 && p < 12) {
            const int32_t index = int32_t(p - 4);
            EXPECT_EQ(take(lilv_port_get_name(plugin(), port)),
                      textOf(vst.get(), effGetParamName, index));
            EXPECT_EQ(mins[p], 0.0f);
            EXPECT_EQ(maxs[p], 1.0f);
            EXPECT_EQ(defaults[p], vst->getParameter(vst.get(), index));
        }
    }
}

TEST(Lv2Description, ExportsOnlyTheDescriptor) {
    const LilvNode* library = lilv_plugin_get_library_uri(plugin());
    ASSERT_NE(library, nullptr);
    char* path = lilv_file_uri_parse(lilv_node_as_uri(library), nullptr);
    const std::string command = std::string("nm -D --defined-only ") + path;
    lilv_free(path);
    std::set<std::string> symbols;
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char line[512];
    while (std::fgets(line, sizeof(line), pipe)) {
        char address[64], type[8], name[400];
        if (std::sscanf(line, "%63s %7s %399s", address, type, name) == 3) symbols.insert(name);
    }
    EXPECT_EQ(pclose(pipe), 0);
    EXPECT_EQ(symbols, std::set<std::string>{"lv2_descriptor"});
}

// The latency port gives the frame length the VST 2 module reports at the same rate, from the
// first block on, at the rates around the frame lengths' edges.
TEST(Lv2Latency, FrameLengthOfTheVstModuleAtEveryRate) {
    struct Case {
        int32_t rate;
        float latency;
    };
    for (Case c : {Case{8000, 1024}, Case{22050, 1024}, Case{27999, 1024}, Case{28000, 2048},
                   Case{44100, 2048}, Case{48000, 2048}, Case{60000, 2048}, Case{60001, 4096},
                   Case{96000, 4096}, Case{192000, 4096}}) {
        SCOPED_TRACE(c.rate);
        Lv2Instance instance(c.rate);
        ASSERT_TRUE(instance.valid());
        instance.runControls(1);
        EXPECT_EQ(instance.control[12], c.latency);
        EXPECT_EQ(int32_t(instance.control[12]), vstLatency(c.rate));
        // the meter readings are parameters 1 to 3, which read 1 after activation
        EXPECT_EQ(instance.control[13], 1.0f);
        EXPECT_EQ(instance.control[14], 1.0f);
        EXPECT_EQ(instance.control[15], 1.0f);
    }
    // a rate that is no rate gives no instance
    for (double rate : {0.0, -44100.0, 1.0e300})
        EXPECT_EQ(lilv_plugin_instantiate(plugin(), rate, Host::get().features()), nullptr) << rate;
}

// Same input, same block pattern: the same output bits as the VST 2 module, also with the
// outputs written over the inputs and with blocks longer than the engine stages at once.
TEST(Lv2Stream, BitIdenticalToTheVstModule) {
    std::vector<float> key, signal;
    makeInput(30000, key, signal);
    const std::vector<std::vector<uint32_t>> patterns = {
        {512}, {1, 7, 64, 333, 1000}, {4096, 3, 2048}, {30000}};
    for (int32_t rate : {22050, 44100, 48000, 96000}) {
        const Stream reference = vstStream(rate, {512}, key, signal);
        ASSERT_EQ(reference.size(), 2 * key.size());
        // the stream is not trivial: the key passes delayed, the signal is ducked under it
        const size_t n = size_t(vstLatency(rate));
        EXPECT_NEAR(reference[n + 100], key[100], 1e-5f);
        EXPECT_NE(reference[key.size() + n + 100], signal[100]);
        for (size_t p = 0; p < patterns.size(); ++p) {
            for (bool inPlace : {false, true}) {
                SCOPED_TRACE(::testing::Message()
                             << rate << " Hz, pattern " << p << (inPlace ? ", in place" : ""));
                const Stream vst = vstStream(rate, patterns[p], key, signal);
                const Stream lv2 = lv2Stream(rate, patterns[p], key, signal, inPlace);
                ASSERT_EQ(lv2.size(), reference.size());
                EXPECT_EQ(std::memcmp(vst.data(), reference.data(), vst.size() * 4), 0);
                size_t first = 0;
                while (first < lv2.size() && std::memcmp(&lv2[first], &vst[first], 4) == 0)
                    ++first;
                EXPECT_EQ(first, lv2.size()) << "first differing sample " << first;
            }
        }
    }
}

// The sixteen programs as presets: their names and values as the VST 2 module's bank, and
// applying one selects its program.
TEST(Lv2Presets, TheSixteenProgramsWithTheirNamesAndValues) {
    Host& h = Host::get();
    TestHost vstHost;
    ::Instance vst(vstHost);
    ASSERT_NE(vst.get(), nullptr);
    LilvNodes* presets = lilv_plugin_get_related(plugin(), h.node(LV2_PRESETS__Preset));
    ASSERT_EQ(lilv_nodes_size(presets), 16u);
    for (int32_t program = 0; program < 16; ++program) {
        SCOPED_TRACE(program);
        const std::string uri = uriOf(("program" + std::to_string(program + 1)).c_str());
        LilvNode* node = lilv_new_uri(h.world(), uri.c_str());
        EXPECT_TRUE(lilv_nodes_contains(presets, node));
        lilv_world_load_resource(h.world(), node);
        LilvState* state = lilv_state_new_from_world(h.world(), h.map(), node);
        lilv_node_free(node);
        ASSERT_NE(state, nullptr);

        dispatch(vst.get(), effSetProgram, 0, program);
        EXPECT_EQ(lilv_state_get_label(state), textOf(vst.get(), effGetProgramName));

        Lv2Instance instance(44100);
        ASSERT_TRUE(instance.valid());
        struct Target {
            Lv2Instance* instance;
            int count;
        } target{&instance, 0};
        auto setValue = [](const char* symbol, void* data, const void* value, uint32_t size,
                           uint32_t) {
            auto* t = static_cast<Target*>(data);
            for (uint32_t p = 4; p < 12; ++p)
                if (std::strcmp(symbol, kPorts[p].symbol) == 0 && size == 4) {
                    std::memcpy(&t->instance->control[p], value, 4);
                    ++t->count;
                }
        };
        lilv_state_restore(state, instance.get(), setValue, &target, 0, h.features());
        EXPECT_EQ(target.count, 8);
        instance.runControls(16);
        const auto saved = instance.save();
        EXPECT_EQ(propertyInt(saved, uriOf("program").c_str()), program);
        for (int32_t index = 0; index < 8; ++index) {
            const float value = vst->getParameter(vst.get(), index);
            EXPECT_EQ(instance.control[4 + index], value) << kPorts[4 + index].symbol;
            EXPECT_EQ(propertyFloat(saved, uriOf(kPorts[4 + index].symbol).c_str()), value);
        }
        lilv_state_free(state);
    }
    lilv_nodes_free(presets);
}

// The current program and the values go through the state interface: saved from one instance
// and restored into a fresh one, they stay even though that instance's ports were not touched,
// until the host moves a port.
TEST(Lv2State, RoundTripThroughTheStateInterface) {
    Host& h = Host::get();
    // a program chosen by a preset, then values set through the ports
    LilvNode* node = lilv_new_uri(h.world(), uriOf("program6").c_str());
    lilv_world_load_resource(h.world(), node);
    LilvState* preset = lilv_state_new_from_world(h.world(), h.map(), node);
    lilv_node_free(node);
    ASSERT_NE(preset, nullptr);
    Lv2Instance first(48000);
    lilv_state_restore(preset, first.get(), nullptr, nullptr, 0, h.features());
    lilv_state_free(preset);
    const float values[8] = {0.25f, 0.5f, 1.25f, 0.125f, 0.75f, 1.0f, 0.0f, 0.375f};
    for (int i = 0; i < 8; ++i)
        first.control[4 + i] = values[i];
    first.runControls(64);
    EXPECT_EQ(first.control[13], 0.5f);
    EXPECT_EQ(first.control[14], 1.25f);
    EXPECT_EQ(first.control[15], 0.125f);
    uint32_t status = 99;
    const auto props = first.save(&status);
    EXPECT_EQ(status, uint32_t(LV2_STATE_SUCCESS));
    EXPECT_EQ(props.size(), 9u);
    EXPECT_EQ(propertyInt(props, uriOf("program").c_str()), 5);

    LilvState* saved =
        lilv_state_new_from_instance(plugin(), first.get(), h.map(), nullptr, nullptr, nullptr,
                                     nullptr, nullptr, nullptr, 0, h.features());
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(lilv_state_get_num_properties(saved), 9u);
    Lv2Instance second(48000);
    lilv_state_restore(saved, second.get(), nullptr, nullptr, 0, h.features());
    second.runControls(64);
    EXPECT_EQ(second.control[13], 0.5f);
    EXPECT_EQ(second.control[14], 1.25f);
    EXPECT_EQ(second.control[15], 0.125f);
    EXPECT_EQ(second.save(), props);
    LilvState* again =
        lilv_state_new_from_instance(plugin(), second.get(), h.map(), nullptr, nullptr, nullptr,
                                     nullptr, nullptr, nullptr, 0, h.features());
    EXPECT_TRUE(lilv_state_equals(saved, again));
    lilv_state_free(again);
    lilv_state_free(saved);

    // a port the host moves afterwards changes its parameter
    second.control[5] = 0.0625f;
    second.runControls(1);
    EXPECT_EQ(second.control[13], 0.0625f);
    EXPECT_EQ(propertyFloat(second.save(), uriOf("rms_level").c_str()), 0.0625f);

    // without the URID map there is no state, and saving says so
    LilvInstance* bare = lilv_plugin_instantiate(plugin(), 44100, nullptr);
    ASSERT_NE(bare, nullptr);
    auto* iface = static_cast<const LV2_State_Interface*>(
        lilv_instance_get_extension_data(bare, LV2_STATE__interface));
    ASSERT_NE(iface, nullptr);
    auto store = [](LV2_State_Handle, uint32_t, const void*, size_t, uint32_t,
                    uint32_t) -> LV2_State_Status { return LV2_STATE_SUCCESS; };
    EXPECT_EQ(iface->save(lilv_instance_get_handle(bare), store, nullptr, 0, nullptr),
              LV2_STATE_ERR_NO_FEATURE);
    lilv_instance_free(bare);
}
