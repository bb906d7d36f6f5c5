#pragma once
// The small vocabulary the vector kernels are written in, for any vector width W (4, 8 or 16
// floats): loads and stores, broadcasts and the shuffles of complex values. Included by one
// translation unit per instruction set (kernels_sse2.cpp, kernels_avx2.cpp, kernels_avx512.cpp),
// each compiled for its set. Everything here has internal linkage, so the copies built for
// different sets never meet.

#include <immintrin.h>

#include <cstdint>
#include <cstring>
#include <utility>

#define QV_INLINE inline __attribute__((always_inline))

namespace quorvane::simd {
namespace {

template <int W> struct VectorTypes;
template <> struct VectorTypes<4> {
    typedef float F __attribute__((vector_size(16)));
    typedef int32_t I __attribute__((vector_size(16)));
};
#if defined(__AVX__)
template <> struct VectorTypes<8> {
    typedef float F __attribute__((vector_size(32)));
    typedef int32_t I __attribute__((vector_size(32)));
};
#endif
#if defined(__AVX512F__)
template <> struct VectorTypes<16> {
    typedef float F __attribute__((vector_size(64)));
    typedef int32_t I __attribute__((vector_size(64)));
};
#endif

template <int W> using F = typename VectorTypes<W>::F;
template <int W> using I = typename VectorTypes<W>::I;

template <int W> QV_INLINE F<W> load(const float* p) {
    F<W> v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <int W> QV_INLINE void store(float* p, F<W> v) {
    std::memcpy(p, &v, sizeof v);
}

template <int W> QV_INLINE F<W> splat(float x) {
    F<W> v;
    for (int i = 0; i < W; ++i) {
        v[i] = x;
    }
    return v;
}

// [a0, a0, a2, a2, ...]: the real parts of complex values, each twice.
template <int W, size_t... K> QV_INLINE F<W> dupReImpl(F<W> x, std::index_sequence<K...>) {
    return __builtin_shufflevector(x, x, (K & ~size_t{1})...);
}
template <int W> QV_INLINE F<W> dupRe(F<W> x) {
    return dupReImpl<W>(x, std::make_index_sequence<W>());
}

// [a1, a1, a3, a3, ...]: the imaginary parts, each twice.
template <int W, size_t... K> QV_INLINE F<W> dupImImpl(F<W> x, std::index_sequence<K...>) {
    return __builtin_shufflevector(x, x, (K | size_t{1})...);
}
template <int W> QV_INLINE F<W> dupIm(F<W> x) {
    return dupImImpl<W>(x, std::make_index_sequence<W>());
}

// [a1, a0, a3, a2, ...]: real and imaginary parts swapped.
template <int W, size_t... K> QV_INLINE F<W> swapImpl(F<W> x, std::index_sequence<K...>) {
    return __builtin_shufflevector(x, x, (K ^ size_t{1})...);
}
template <int W> QV_INLINE F<W> swapPairs(F<W> x) {
    return swapImpl<W>(x, std::make_index_sequence<W>());
}

// The complex values in reverse order, each keeping its real part first.
template <int W, size_t... K> QV_INLINE F<W> reverseImpl(F<W> x, std::index_sequence<K...>) {
    return __builtin_shufflevector(x, x, ((W - 2 - (K & ~size_t{1})) | (K & size_t{1}))...);
}
template <int W> QV_INLINE F<W> reverseComplex(F<W> x) {
    return reverseImpl<W>(x, std::make_index_sequence<W>());
}

// The floats in reverse order.
template <int W, size_t... K> QV_INLINE F<W> reverseFloatsImpl(F<W> x, std::index_sequence<K...>) {
    return __builtin_shufflevector(x, x, (W - 1 - K)...);
}
template <int W> QV_INLINE F<W> reverseFloats(F<W> x) {
    return reverseFloatsImpl<W>(x, std::make_index_sequence<W>());
}

// Even and odd floats of the 2W floats a, b.
template <int W, size_t... K> QV_INLINE F<W> evensImpl(F<W> a, F<W> b, std::index_sequence<K...>) {
    return __builtin_shufflevector(a, b, (2 * K)...);
}
template <int W, size_t... K> QV_INLINE F<W> oddsImpl(F<W> a, F<W> b, std::index_sequence<K...>) {
    return __builtin_shufflevector(a, b, (2 * K + 1)...);
}
template <int W> QV_INLINE F<W> evens(F<W> a, F<W> b) {
    return evensImpl<W>(a, b, std::make_index_sequence<W>());
}
template <int W> QV_INLINE F<W> odds(F<W> a, F<W> b) {
    return oddsImpl<W>(a, b, std::make_index_sequence<W>());
}

// The real and the imaginary parts of the W complex values at p.
template <int W> QV_INLINE void loadComplex(const float* p, F<W>& re, F<W>& im) {
    const F<W> a = load<W>(p);
    const F<W> b = load<W>(p + W);
    re = evens<W>(a, b);
    im = odds<W>(a, b);
}

// Sign of every imaginary part flipped: the complex conjugates.
template <int W> QV_INLINE F<W> conj(F<W> x) {
    I<W> sign;
    for (int i = 0; i < W; ++i) {
        sign[i] = (i & 1) != 0 ? static_cast<int32_t>(0x80000000u) : 0;
    }
    return reinterpret_cast<F<W>>(reinterpret_cast<I<W>>(x) ^ sign);
}

QV_INLINE F<4> vsqrt(F<4> x) {
    return reinterpret_cast<F<4>>(_mm_sqrt_ps(reinterpret_cast<__m128>(x)));
}
#if defined(__AVX__)
QV_INLINE F<8> vsqrt(F<8> x) {
    return reinterpret_cast<F<8>>(_mm256_sqrt_ps(reinterpret_cast<__m256>(x)));
}
#endif
#if defined(__AVX512F__)
QV_INLINE F<16> vsqrt(F<16> x) {
    // The masked form with every lane selected: the plain one reads an undefined vector.
    const __m512 v = reinterpret_cast<__m512>(x);
    return reinterpret_cast<F<16>>(_mm512_mask_sqrt_ps(v, static_cast<__mmask16>(0xffff), v));
}
#endif

} // namespace
} // namespace quorvane::simd
