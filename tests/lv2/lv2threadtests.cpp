// The state may be saved on another thread while the audio thread runs the instance and moves
// its parameter ports; the ThreadSanitizer build runs this too.

#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

std::mutex gIdsMutex;
std::map<std::string, LV2_URID> gIds;

LV2_URID mapUri(LV2_URID_Map_Handle, const char* uri) {
    std::lock_guard<std::mutex> lock(gIdsMutex);
    return gIds.emplace(uri, LV2_URID(gIds.size() + 1)).first->second;
}

struct Saved {
    LV2_URID floatType;
    std::vector<float> values;
};

LV2_State_Status store(LV2_State_Handle handle, uint32_t, const void* value, size_t size,
                       uint32_t type, uint32_t) {
    auto* saved = static_cast<Saved*>(handle);
    if (type == saved->floatType && size == sizeof(float)) {
        float v;
        std::memcpy(&v, value, sizeof(v));
        saved->values.push_back(v);
    }
    return LV2_STATE_SUCCESS;
}

} // namespace

TEST(Lv2Threads, StateSavedWhileTheAudioThreadRuns) {
    void* library = dlopen(QUORVANE_LV2_MODULE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto entry =
        reinterpret_cast<const LV2_Descriptor* (*)(uint32_t)>(dlsym(library, "lv2_descriptor"));
    ASSERT_NE(entry, nullptr);
    const LV2_Descriptor* descriptor = entry(0);
    ASSERT_NE(descriptor, nullptr);
    EXPECT_EQ(entry(1), nullptr);

    LV2_URID_Map map{nullptr, mapUri};
    LV2_Feature mapFeature{LV2_URID__map, &map};
    const LV2_Feature* features[] = {&mapFeature, nullptr};
    LV2_Handle instance = descriptor->instantiate(descriptor, 48000.0, "", features);
    ASSERT_NE(instance, nullptr);
    auto* state =
        static_cast<const LV2_State_Interface*>(descriptor->extension_data(LV2_STATE__interface));
    ASSERT_NE(state, nullptr);

    constexpr uint32_t kBlock = 256;
    std::vector<float> key(kBlock, 0.25f), signal(kBlock, 0.5f), keyOut(kBlock), out(kBlock);
    float controls[12] = {};
    descriptor->connect_port(instance, 0, key.data());
    descriptor->connect_port(instance, 1, signal.data());
    descriptor->connect_port(instance, 2, keyOut.data());
    descriptor->connect_port(instance, 3, out.data());
    for (uint32_t p = 0; p < 12; ++p)
        descriptor->connect_port(instance, 4 + p, &controls[p]);
    descriptor->activate(instance);

    // the audio thread sets every parameter port to k / 1024 before its k-th block
    constexpr int kBlocks = 2000;
    std::atomic<bool> running = true;
    std::thread audio([&] {
        for (int k = 1; k <= kBlocks; ++k) {
            for (int p = 0; p < 8; ++p)
                controls[p] = float(k) / 1024.0f;
            descriptor->run(instance, kBlock);
        }
        running = false;
    });
    int saves = 0;
    bool valuesSeen = true;
    while (running || saves == 0) {
        Saved saved{map.map(map.handle, LV2_ATOM__Float), {}};
        EXPECT_EQ(state->save(instance, store, &saved, LV2_STATE_IS_POD, features),
                  LV2_STATE_SUCCESS);
        EXPECT_EQ(saved.values.size(), 8u);
        // every value saved is one the audio thread set, or one the effect started with
        for (float v : saved.values) {
            const float steps = v * 1024.0f;
            valuesSeen = valuesSeen &&
                         (v == 0.0f || v == 1.0f ||
                          (steps == float(int(steps)) && steps >= 1.0f && steps <= float(kBlocks)));
        }
        ++saves;
    }
    audio.join();
    EXPECT_TRUE(valuesSeen);
    EXPECT_GT(saves, 0);
    // after the last block the readings are the meter parameters' last values
    EXPECT_EQ(controls[9], float(kBlocks) / 1024.0f);

    descriptor->deactivate(instance);
    descriptor->cleanup(instance);
    dlclose(library);
}
