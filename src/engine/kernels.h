#pragma once
// Vector kernels of the transform and of the frame step, one table per instruction set. Each
// kernel lives in a translation unit compiled for its own instruction set; the plain structs
// below carry the tables and buffers they work on.

#include "engine/simd.h"

#include <cstdint>

namespace quorvane::simd {

// A real-mode transform of length n (a power of two, at least kMinLength) prepared for the
// vector kernels. The complex half-length transform runs in one fused pass for the permutation
// and the first two stages, then one pass per further stage.
struct FftTables {
    uint32_t n;              // real length
    uint32_t stages;         // of the half-length complex transform: log2(n / 2)
    const uint32_t* groups;  // n/8 entries: group of four outputs fed from position r
    const float* stageTw;    // per stage s >= 3, 2^(s-1) complex twiddles, then the same negated
                             // and swapped: (-im, re); stage s starts at float 4 (2^(s-1) - 4)
    const float* realTw;     // n/2 - 1 twiddles e^(-2 pi i k / n), k = 1 .. n/2 - 1
    const float* realTwSwap; // the same as (-im, re)
};

// The buffers of one frame step of the ducking processor.
struct FrameBuffers {
    uint32_t n;
    uint32_t bins;
    uint32_t hop;
    const float* window;
    const float* coefficients;
    const float* input[2];
    float* spectrum[2];
    float* magnitude[2];
    float* keyState;
    float* work; // 2N: the vector frame step keeps two time signals at once
    // Position 0 of the accumulators once the first accShift samples, already read out, have
    // left them: the frame step moves the N + H live ones down first, then adds the frame's
    // output from position ready on.
    float* accumulator[2];
    uint32_t accShift;
    uint32_t ready;
};

struct Kernels {
    Path path;
    void (*forwardReal)(const FftTables& fft, const float* in, float* out);
    void (*inverseReal)(const FftTables& fft, float* X, float* y);
    void (*frameStep)(const FftTables& fft, const FrameBuffers& frame);
};

// Shortest real length the vector kernels take; shorter transforms run the scalar code.
constexpr uint32_t kMinLength = 64;

// The kernels of a path, or null for kScalar and for paths this build does not have.
const Kernels* kernelsFor(Path path);

const Kernels& sse2Kernels();
#if defined(__x86_64__)
const Kernels& avx2Kernels();
const Kernels& avx512Kernels();
#endif

} // namespace quorvane::simd
