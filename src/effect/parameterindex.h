#pragma once
// The effect's parameter indices. The editor's control tags are these indices.

#include <cstdint>

enum ParameterIndex : int32_t {
    kDelay = 0,
    kRmsLevel = 1, // meter readings: channel + level / 2
    kPeakLevel = 2,
    kHoldLevel = 3,
    kVolume = 4,
    kMode = 5,
    kResp = 6,
    kRmsMode = 7,
};

constexpr int32_t kNumParams = 8;
