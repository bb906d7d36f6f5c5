#pragma once
// A test host built on lilv: finds the installed bundle through LV2_PATH, maps URIs, and runs
// instances on buffers of its own; and the same input through the VST 2 module for comparison.

#include "../support/streaminput.h"

#include <lilv/lilv.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace lv2test {

inline constexpr char kUri[] = "urn:quorvane:lv2:quorvane";

// The world with every bundle on LV2_PATH loaded, once per test program.
class Host {
public:
    static Host& get();
    LilvWorld* world() const { return world_; }
    const LilvPlugin* plugin() const { return plugin_; }
    LV2_URID_Map* map() { return &map_; }
    LV2_URID_Unmap* unmap() { return &unmap_; }
    // urid:map and urid:unmap, null-terminated.
    const LV2_Feature* const* features() const { return features_; }
    LilvNode* node(const char* uri); // owned by the host
    uint32_t urid(const char* uri) { return map_.map(map_.handle, uri); }

private:
    Host();
    ~Host();
    LilvWorld* world_;
    const LilvPlugin* plugin_ = nullptr;
    std::map<std::string, uint32_t> ids_;
    std::vector<std::string> names_;
    std::map<std::string, LilvNode*> nodes_;
    LV2_URID_Map map_;
    LV2_URID_Unmap unmap_;
    LV2_Feature mapFeature_;
    LV2_Feature unmapFeature_;
    const LV2_Feature* features_[3];
};

// One instance with its port buffers; control inputs start at their defaults.
class Lv2Instance {
public:
    static constexpr uint32_t kPorts = 16;
    explicit Lv2Instance(double rate);
    ~Lv2Instance();
    bool valid() const { return instance_ != nullptr; }
    LilvInstance* get() const { return instance_; }
    float control[kPorts] = {};
    // Runs one block of audio; null outputs run the key and signal through the input buffers.
    void run(const float* key, const float* signal, float* keyOut, float* out, uint32_t n);
    void runControls(uint32_t n); // a block of silence
    // The plug-in's own state save and restore, with a store that keeps every property.
    std::map<uint32_t, std::vector<uint8_t>> save(uint32_t* status = nullptr);

private:
    LilvInstance* instance_;
    std::vector<float> silence_, scratch0_, scratch1_;
};

// Both outputs of one stream: [0, length) key out, [length, 2 length) the ducked signal.
using Stream = std::vector<float>;

// The test input: noise bursts as key, two saws and a little noise as signal, exact floats.
using streaminput::makeInput;
// The stream of an LV2 instance at the rate, in blocks of the pattern (repeated); in place when
// asked (outputs written over the input buffers).
Stream lv2Stream(double rate, const std::vector<uint32_t>& pattern, const std::vector<float>& key,
                 const std::vector<float>& signal, bool inPlace = false);
// The same through the VST 2 module's processReplacing.
Stream vstStream(int32_t rate, const std::vector<uint32_t>& pattern, const std::vector<float>& key,
                 const std::vector<float>& signal);
// The VST 2 module's initial delay at the rate.
int32_t vstLatency(int32_t rate);

} // namespace lv2test
