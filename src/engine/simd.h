#pragma once
// Instruction-set paths of the engine. Every path does the same float operations in the same
// order as the scalar code, so all of them give the same output bits; the vector paths only do
// several of them at once. The default is the widest path the processor has. Objects pick their
// path when they are configured (Fft::init, the DuckingProcessor constructor), never while audio
// runs, so a change of the selection affects only objects configured after it.

#include <cstdint>
#include <vector>

namespace quorvane::simd {

enum class Path : int { kScalar = 0, kSse2 = 1, kAvx2 = 2, kAvx512 = 3 };

// Name of a path: "scalar", "sse2", "avx2", "avx512".
const char* pathName(Path path);

// The paths this build has and this processor can run, narrowest first; kScalar always.
std::vector<Path> availablePaths();

// Selects the path for objects configured from now on; false (and no change) when the path is
// not available. For tests and benchmarks.
bool forcePath(Path path);

// The selected path.
Path activePath();

} // namespace quorvane::simd
