// run never allocates, for blocks of any length: the global allocation functions of this
// program count every allocation while an instance runs.

#include "allocationcount.h"

#include <lilv/lilv.h>
#include <lv2/urid/urid.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

std::map<std::string, LV2_URID> gIds;
LV2_URID mapUri(LV2_URID_Map_Handle, const char* uri) {
    return gIds.emplace(uri, LV2_URID(gIds.size() + 1)).first->second;
}

} // namespace

TEST(Lv2Allocation, RunAllocatesNothingForAnyBlockLength) {
    LilvWorld* world = lilv_world_new();
    lilv_world_load_all(world);
    LilvNode* uri = lilv_new_uri(world, "urn:quorvane:lv2:quorvane");
    const LilvPlugin* plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uri);
    ASSERT_NE(plugin, nullptr);
    LV2_URID_Map map{nullptr, mapUri};
    LV2_Feature mapFeature{LV2_URID__map, &map};
    const LV2_Feature* features[] = {&mapFeature, nullptr};

    for (double rate : {22050.0, 44100.0, 96000.0}) {
        SCOPED_TRACE(rate);
        LilvInstance* instance = lilv_plugin_instantiate(plugin, rate, features);
        ASSERT_NE(instance, nullptr);
        // longer than the engine's largest staging, and ragged
        const std::vector<uint32_t> blocks = {1, 64, 8191, 8192, 8193, 40000, 100000, 3};
        std::vector<float> key(100000), signal(100000), keyOut(100000), out(100000);
        for (size_t i = 0; i < key.size(); ++i) {
            key[i] = float(int32_t(i * 2654435761u) >> 8) * 0x1p-24f;
            signal[i] = float(int32_t(i * 40503u) >> 8) * 0x1p-24f;
        }
        float controls[12] = {0.5f, 1.0f, 1.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f};
        for (uint32_t p = 0; p < 12; ++p)
            lilv_instance_connect_port(instance, 4 + p, &controls[p]);
        lilv_instance_connect_port(instance, 0, key.data());
        lilv_instance_connect_port(instance, 1, signal.data());
        lilv_instance_connect_port(instance, 2, keyOut.data());
        lilv_instance_connect_port(instance, 3, out.data());
        lilv_instance_activate(instance);
        const allocationcount::Counter count;
        for (uint32_t n : blocks) {
            controls[0] = float(n) / 100000.0f; // a parameter change in every block
            lilv_instance_run(instance, n);
        }
        EXPECT_EQ(count.allocations(), 0u);
        // the blocks ran to the end: the latency port holds N
        EXPECT_EQ(controls[8], rate < 28000 ? 1024.0f : rate > 60000 ? 4096.0f : 2048.0f);
        lilv_instance_deactivate(instance);
        lilv_instance_free(instance);
    }
    lilv_node_free(uri);
    lilv_world_free(world);
}
