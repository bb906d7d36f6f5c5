#pragma once
// Radix-2 transform for power-of-two lengths, single precision; twiddles are computed in double
// precision and stored as float. Forward transforms are unscaled (negative exponent); the
// inverse real transform carries 1/N. Complex values are two floats, real part first.

#include "engine/kernels.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace quorvane {

class Fft {
public:
    enum Mode : int { kComplex = 1, kReal = 0 };

    Fft() = default;
    // mode 1 = complex, anything else = real; n a power of two. May be called again.
    // Allocates its tables (throws std::bad_alloc); the transforms allocate nothing.
    // Real transforms of at least simd::kMinLength run on path (the scalar code when this
    // processor cannot run it); every path gives the same bits.
    void init(int mode, uint32_t n, simd::Path path = simd::bestPath());

    // Complex mode: forward transform of n complex values in place.
    void transformComplex(float* x) const;
    // Real mode: N real samples in, room for N complex values out. in and out may alias.
    // out[0 .. N/2] are the bins; out[N/2+1 .. N-1] is work area.
    void forwardReal(const float* in, float* out) const;
    // Real mode: bins 0 .. N/2 of X in, N samples out. X is used as work area and is
    // undefined afterwards. X and y must not alias.
    void inverseReal(float* X, float* y) const;

    uint32_t length() const { return n_; }
    uint32_t stageCount() const { return stages_; }

    // The vector kernels real transforms use, null on the scalar path, and their tables.
    const simd::Kernels* kernels() const { return kernels_; }
    const simd::FftTables& tables() const { return tables_; }

private:
    void buildVectorTables();

    uint32_t n_ = 0;
    uint32_t stages_ = 0;
    std::vector<int32_t> permutation_;
    std::vector<float> twiddles_; // complex pairs
    std::unique_ptr<Fft> half_;
    // Vector path (real mode): the twiddles rearranged per stage, the fused first pass's order.
    const simd::Kernels* kernels_ = nullptr;
    simd::FftTables tables_{};
    std::vector<uint32_t> groups_;
    std::vector<float> stageTwiddles_;
    std::vector<float> realTwiddleSwaps_;
};

} // namespace quorvane
