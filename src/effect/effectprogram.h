#pragma once
// One program of the bank: the eight parameter values and a name.

#include <cstdint>

constexpr int32_t kNumParams = 8;
constexpr int32_t kNumPrograms = 16;

struct EffectProgram {
    float values[kNumParams] = {};
    char name[24] = "Init";
};
