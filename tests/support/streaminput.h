#pragma once
// The input of the cross-build and cross-format stream comparisons. Key: noise bursts with
// pauses; signal: two saw waves and a little noise. Floats are built from integers by exact
// scaling, so every build makes the same bits.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace streaminput {

inline void makeInput(size_t length, std::vector<float>& key, std::vector<float>& signal) {
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return int32_t(seed >> 8) - (1 << 23); // -2^23 .. 2^23 - 1
    };
    key.resize(length);
    signal.resize(length);
    uint32_t phaseA = 0, phaseB = 0;
    for (size_t i = 0; i < length; ++i) {
        const bool burst = (i / 3000) % 2 == 0;
        key[i] = burst ? float(next()) * 0x1p-24f : 0.0f;
        phaseA += 0x01000000u; // period 256 samples
        phaseB += 0x00A3D70Au; // period about 400 samples
        const int32_t saw = int32_t(phaseA >> 8) - (1 << 23) + (int32_t(phaseB >> 8) - (1 << 23));
        signal[i] = float(saw) * 0x1p-26f + float(next()) * 0x1p-30f;
    }
}

} // namespace streaminput
