// The LV2 plug-in under hosts that do what the interface allows, or a little less than it asks:
// odd sample rates, ports left unconnected or connected to null, empty blocks, an instance
// ended without ever running, features that are incomplete, and a state that is missing keys
// or holds values of other types.

#include "lv2host.h"

#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

using namespace lv2test;

namespace {

const LilvPlugin* plugin() {
    return Host::get().plugin();
}

std::string uriOf(const char* fragment) {
    return std::string(kUri) + "#" + fragment;
}

// An instance driven straight through its descriptor, with nothing connected at first.
struct Raw {
    LilvInstance* instance;
    const LV2_Descriptor* descriptor;
    LV2_Handle handle;

    explicit Raw(double rate, const LV2_Feature* const* features = Host::get().features())
        : instance(lilv_plugin_instantiate(plugin(), rate, features)),
          descriptor(instance ? lilv_instance_get_descriptor(instance) : nullptr),
          handle(instance ? lilv_instance_get_handle(instance) : nullptr) {}
    ~Raw() {
        if (instance) lilv_instance_free(instance);
    }
    Raw(const Raw&) = delete;
    Raw& operator=(const Raw&) = delete;

    void connect(uint32_t port, float* data) { descriptor->connect_port(handle, port, data); }
    void run(uint32_t frames) { descriptor->run(handle, frames); }
};

constexpr float kUntouched = -123.0f;

} // namespace

// Rates a host may pass: anything from 1 Hz to 1 GHz gives an instance whose key comes out
// delayed by the frame length of the rate the effect is built for (the rate in whole hertz, as
// a VST 2 host gives it); anything else gives none.
TEST(Lv2HostileHost, OddSampleRates) {
    struct Case {
        double rate;
        int latency; // 0: no instance
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        {1.0, 1024},      {7.5, 1024},
        {27999.9, 1024},  {44100.5, 2048},
        {60000.5, 2048},  {60001.0, 4096},
        {1.0e9, 4096},    {0.999, 0},
        {1.0e9 + 1.0, 0}, {nan, 0},
        {inf, 0},         {-inf, 0},
        {-1.0, 0},        {std::numeric_limits<double>::denorm_min(), 0},
    };
    constexpr uint32_t kFrames = 10000;
    std::vector<float> key, signal;
    makeInput(kFrames, key, signal);
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.rate << " Hz");
        Raw raw(c.rate);
        if (c.latency == 0) {
            EXPECT_EQ(raw.instance, nullptr);
            continue;
        }
        ASSERT_NE(raw.instance, nullptr);
        std::vector<float> keyOut(kFrames, kUntouched), out(kFrames, kUntouched);
        float controls[16] = {};
        for (uint32_t p = 4; p < 16; ++p)
            raw.connect(p, &controls[p]);
        lilv_instance_activate(raw.instance);
        for (uint32_t done = 0; done < kFrames; done += 2500) {
            raw.connect(0, key.data() + done);
            raw.connect(1, signal.data() + done);
            raw.connect(2, keyOut.data() + done);
            raw.connect(3, out.data() + done);
            raw.run(2500);
        }
        EXPECT_EQ(controls[12], float(c.latency));
        const uint32_t n = uint32_t(c.latency);
        // the key passes through the frames' overlap-add: equal within its rounding
        for (uint32_t i = 0; i < kFrames; ++i)
            ASSERT_NEAR(keyOut[i], i < n ? 0.0f : key[i - n], 1e-5f) << i;
        for (uint32_t i = 0; i < kFrames; ++i)
            ASSERT_TRUE(std::isfinite(out[i])) << i;
        lilv_instance_deactivate(raw.instance);
    }
}

// Lifecycles the interface allows: each script runs on a fresh 48 kHz instance, which is then
// ended (cleanup) without a deactivate, and must touch no memory it was not given.
TEST(Lv2HostileHost, PortsAndBlocksAsHostsMayGiveThem) {
    struct Case {
        const char* what;
        std::function<void(Raw&)> script;
    };
    const Case cases[] = {
        {"cleanup right after instantiate", [](Raw&) {}},
        {"cleanup after activate and deactivate, twice",
         [](Raw& r) {
             for (int i = 0; i < 2; ++i) {
                 lilv_instance_activate(r.instance);
                 lilv_instance_deactivate(r.instance);
             }
         }},
        {"run without any port connected",
         [](Raw& r) {
             lilv_instance_activate(r.instance);
             for (uint32_t frames : {0u, 1u, 512u, 9000u})
                 r.run(frames);
         }},
        {"every port connected to null after a buffer",
         [](Raw& r) {
             std::vector<float> buffers(16 * 600, kUntouched);
             for (uint32_t p = 0; p < 16; ++p)
                 r.connect(p, &buffers[p * 600]);
             for (uint32_t p = 0; p < 16; ++p)
                 r.connect(p, nullptr);
             lilv_instance_activate(r.instance);
             r.run(600);
             r.run(0);
             for (float value : buffers)
                 ASSERT_EQ(value, kUntouched);
         }},
        {"ports past the last are ignored",
         [](Raw& r) {
             float beyond[4] = {kUntouched, kUntouched, kUntouched, kUntouched};
             r.connect(16, &beyond[0]);
             r.connect(1000, &beyond[1]);
             r.connect(UINT32_MAX, &beyond[2]);
             lilv_instance_activate(r.instance);
             r.run(64);
             for (float value : beyond)
                 EXPECT_EQ(value, kUntouched);
         }},
        {"an empty block writes the control outputs and no audio",
         [](Raw& r) {
             std::vector<float> audio(4 * 8, kUntouched);
             float controls[16] = {};
             for (uint32_t p = 0; p < 4; ++p)
                 r.connect(p, &audio[p * 8]);
             // the outputs only: an input would set its parameter
             for (uint32_t p = 12; p < 16; ++p)
                 r.connect(p, &controls[p]);
             r.run(0);
             for (float value : audio)
                 EXPECT_EQ(value, kUntouched);
             EXPECT_EQ(controls[12], 2048.0f);
             for (uint32_t p = 13; p < 16; ++p)
                 EXPECT_EQ(controls[p], 1.0f) << p;
         }},
        {"the signal ports unconnected while the key runs",
         [](Raw& r) {
             std::vector<float> key(3000, 0.5f), keyOut(3000, kUntouched);
             r.connect(0, key.data());
             r.connect(2, keyOut.data());
             lilv_instance_activate(r.instance);
             r.run(3000);
             EXPECT_NEAR(keyOut[2047], 0.0f, 1e-5f);
             EXPECT_NEAR(keyOut[2048], 0.5f, 1e-5f);
             EXPECT_NEAR(keyOut[2999], 0.5f, 1e-5f);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Raw raw(48000);
        ASSERT_NE(raw.instance, nullptr);
        c.script(raw);
    }
}

// Features a careless host may offer: no list at all, entries without a URI or without data,
// and a map that cannot map. Each still gives a working instance; extension data asked for
// with no URI is none.
TEST(Lv2HostileHost, IncompleteFeatures) {
    LV2_URID_Map noMap{nullptr, nullptr};
    LV2_Feature unnamed{nullptr, nullptr};
    LV2_Feature mapWithoutData{LV2_URID__map, nullptr};
    LV2_Feature mapWithoutFunction{LV2_URID__map, &noMap};
    LV2_Feature optionsWithoutData{LV2_OPTIONS__options, nullptr};
    const LV2_Feature* unnamedFirst[] = {&unnamed, Host::get().features()[0], nullptr};
    const LV2_Feature* noData[] = {&mapWithoutData, &optionsWithoutData, nullptr};
    const LV2_Feature* noFunction[] = {&mapWithoutFunction, nullptr};
    struct Case {
        const char* what;
        const LV2_Feature* const* features;
        bool state; // the state can be saved
    };
    const Case cases[] = {
        {"no list", nullptr, false},
        {"an entry without a URI", unnamedFirst, true},
        {"entries without data", noData, false},
        {"a map without a function", noFunction, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Raw raw(44100, c.features);
        ASSERT_NE(raw.instance, nullptr);
        float latency = 0.0f;
        raw.connect(12, &latency);
        lilv_instance_activate(raw.instance);
        raw.run(16);
        EXPECT_EQ(latency, 2048.0f);
        EXPECT_EQ(raw.descriptor->extension_data(nullptr), nullptr);
        const auto* state = static_cast<const LV2_State_Interface*>(
            raw.descriptor->extension_data(LV2_STATE__interface));
        ASSERT_NE(state, nullptr);
        int stored = 0;
        auto store = [](LV2_State_Handle handle, uint32_t, const void*, size_t, uint32_t,
                        uint32_t) {
            ++*static_cast<int*>(handle);
            return LV2_STATE_SUCCESS;
        };
        const LV2_State_Status status = state->save(raw.handle, store, &stored, 0, nullptr);
        EXPECT_EQ(status, c.state ? LV2_STATE_SUCCESS : LV2_STATE_ERR_NO_FEATURE);
        EXPECT_EQ(stored, c.state ? 9 : 0);
    }
}

// A restored state takes only well-formed values: a key that is missing, of another type or
// size, or a program number out of range leaves what the instance had; the others are taken.
TEST(Lv2HostileHost, StateRestoreTakesOnlyWellFormedValues) {
    Host& h = Host::get();
    struct Value {
        std::string key;
        uint32_t type;
        std::vector<uint8_t> bytes;
    };
    auto float32 = [&](const char* symbol, float v) {
        std::vector<uint8_t> bytes(4);
        std::memcpy(bytes.data(), &v, 4);
        return Value{uriOf(symbol), h.urid(LV2_ATOM__Float), bytes};
    };
    auto int32 = [&](const char* symbol, int32_t v) {
        std::vector<uint8_t> bytes(4);
        std::memcpy(bytes.data(), &v, 4);
        return Value{uriOf(symbol), h.urid(LV2_ATOM__Int), bytes};
    };
    auto float64 = [&](const char* symbol, double v) {
        std::vector<uint8_t> bytes(8);
        std::memcpy(bytes.data(), &v, 8);
        return Value{uriOf(symbol), h.urid(LV2_ATOM__Double), bytes};
    };
    auto sized = [&](const char* symbol, uint32_t type, size_t size) {
        return Value{uriOf(symbol), type, std::vector<uint8_t>(size, 0x3f)};
    };
    struct Case {
        const char* what;
        std::vector<Value> values;
        int32_t program; // what the instance then saves
        float volume;
        float delay;
    };
    const uint32_t floatType = h.urid(LV2_ATOM__Float);
    const uint32_t intType = h.urid(LV2_ATOM__Int);
    // the instance before the restore: program 2, volume 0.75, delay 0.5 (the programs start at 0)
    const Case cases[] = {
        {"nothing", {}, 2, 0.75f, 0.5f},
        {"only the volume", {float32("volume", 0.25f)}, 2, 0.25f, 0.5f},
        {"a program out of range",
         {int32("program", 16), float32("delay", 0.125f)},
         2,
         0.75f,
         0.125f},
        {"a negative program", {int32("program", -1)}, 2, 0.75f, 0.5f},
        {"a program as a float", {float32("program", 4.0f)}, 2, 0.75f, 0.5f},
        {"a program of eight bytes", {sized("program", intType, 8)}, 2, 0.75f, 0.5f},
        {"values as integers and doubles",
         {int32("volume", 1), float64("delay", 0.25)},
         2,
         0.75f,
         0.5f},
        {"a value of two bytes", {sized("volume", floatType, 2)}, 2, 0.75f, 0.5f},
        {"a value of no bytes", {sized("volume", floatType, 0)}, 2, 0.75f, 0.5f},
        {"a value under an unknown key",
         {Value{"urn:elsewhere#volume", floatType, {0, 0, 0, 0}}},
         2,
         0.75f,
         0.5f},
        // the program's own values come first, the saved values over them
        {"a program and a value", {int32("program", 9), float32("volume", 0.5f)}, 9, 0.5f, 0.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Raw raw(48000);
        ASSERT_NE(raw.instance, nullptr);
        auto* state = static_cast<const LV2_State_Interface*>(
            raw.descriptor->extension_data(LV2_STATE__interface));
        ASSERT_NE(state, nullptr);
        // set up: program 2 chosen through the state, then two of its values
        struct Source {
            Host* host;
            const std::vector<Value>* values;
        };
        auto retrieve = [](LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type,
                           uint32_t* flags) -> const void* {
            auto* source = static_cast<Source*>(handle);
            for (const Value& v : *source->values) {
                if (source->host->urid(v.key.c_str()) != key) continue;
                *size = v.bytes.size();
                *type = v.type;
                *flags = LV2_STATE_IS_POD;
                return v.bytes.empty() ? nullptr : v.bytes.data();
            }
            return nullptr;
        };
        const std::vector<Value> before = {int32("program", 2), float32("volume", 0.75f),
                                           float32("delay", 0.5f)};
        Source setUp{&h, &before};
        ASSERT_EQ(state->restore(raw.handle, retrieve, &setUp, 0, nullptr), LV2_STATE_SUCCESS);
        Source source{&h, &c.values};
        EXPECT_EQ(state->restore(raw.handle, retrieve, &source, 0, nullptr), LV2_STATE_SUCCESS);

        std::map<uint32_t, std::vector<uint8_t>> saved;
        auto store = [](LV2_State_Handle handle, uint32_t key, const void* value, size_t size,
                        uint32_t type, uint32_t) {
            std::vector<uint8_t> bytes(sizeof(type) + size);
            std::memcpy(bytes.data(), &type, sizeof(type));
            std::memcpy(bytes.data() + sizeof(type), value, size);
            (*static_cast<std::map<uint32_t, std::vector<uint8_t>>*>(handle))[key] = bytes;
            return LV2_STATE_SUCCESS;
        };
        ASSERT_EQ(state->save(raw.handle, store, &saved, 0, nullptr), LV2_STATE_SUCCESS);
        auto read = [&](const char* symbol, auto value) {
            const std::vector<uint8_t>& bytes = saved[h.urid(uriOf(symbol).c_str())];
            EXPECT_EQ(bytes.size(), 8u) << symbol;
            if (bytes.size() == 8) std::memcpy(&value, bytes.data() + 4, 4);
            return value;
        };
        EXPECT_EQ(read("program", int32_t(-99)), c.program);
        EXPECT_EQ(read("volume", -99.0f), c.volume);
        EXPECT_EQ(read("delay", -99.0f), c.delay);
    }
}
