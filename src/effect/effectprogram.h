#pragma once
// One program of the bank: the eight parameter values and a name.

#include "effect/parameterindex.h"

#include <atomic>
#include <cstdint>

constexpr int32_t kNumPrograms = 16;

// The values of the current program are the effect's parameter storage; they are atomics
// because automation may set them on any thread while others read them.
struct EffectProgram {
    std::atomic<float> values[kNumParams] = {};
    char name[24] = "Init";
};
