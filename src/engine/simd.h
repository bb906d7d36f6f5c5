#pragma once
// Instruction-set paths of the engine. Every path does the same float operations in the same
// order as the scalar code, so all of them give the same output bits; the vector paths only do
// several of them at once. Objects take their path when they are configured (Fft::init, the
// DuckingProcessor constructor), by default the widest one this processor has.

#include <cstdint>
#include <vector>

namespace quorvane::simd {

enum class Path : int { kScalar = 0, kSse2 = 1, kAvx2 = 2, kAvx512 = 3 };

// Name of a path: "scalar", "sse2", "avx2", "avx512".
const char* pathName(Path path);

// The paths this build has and this processor can run, narrowest first; kScalar always.
std::vector<Path> availablePaths();

// The widest available path.
Path bestPath();

} // namespace quorvane::simd
