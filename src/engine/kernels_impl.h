#pragma once
// The vector kernels, written once for any vector width and included by one translation unit per
// instruction set (kernels_sse2.cpp, kernels_avx2.cpp, kernels_avx512.cpp), each compiled for its
// set. Everything here has internal linkage, so the copies built for different sets never meet.
//
// Every kernel does exactly the float operations of the scalar code in fft.cpp and
// duckingprocessor.cpp, in the same order, only on several values at once; where the scalar
// code computes a - b the vector code may compute a + (-b), which IEEE arithmetic defines to be
// the same value. A complex product (x.re w.re - x.im w.im, x.re w.im + x.im w.re) is formed as
// [x.re, x.re] * [w.re, w.im] + [x.im, x.im] * [-w.im, w.re] with the second twiddle vector kept
// in a table. There is no fused multiply-add anywhere.
//
// The recursion across bins is a chain of dependent steps that leaves most of the processor
// idle; the frame step runs it a step at a time inside the loops of transforms that do not
// depend on it, so that its latency hides under their work.

#include "engine/kernels.h"

#include <immintrin.h>

#include <cfloat>
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

// Work run beside the transforms: nothing.
struct NoSide {
    QV_INLINE void operator()() {}
};

// How every recursion stepper below runs: kSteps steps per call while bins are left (beside the
// passes of a transform that does not depend on it), and whatever is left at the end.
template <int kSteps, class Stepper> QV_INLINE void stepSome(Stepper& stepper) {
    for (int s = 0; s < kSteps; ++s) {
        if (stepper.more()) {
            stepper.step();
        }
    }
}
template <class Stepper> QV_INLINE void stepRest(Stepper& stepper) {
    while (stepper.more()) {
        stepper.step();
    }
}

// ---- Transform ----

// Complex value l of each of p0 .. p3 as one group of four at dst + 8 groups[l], for every lane l.
template <int W, size_t... L>
QV_INLINE void scatterGroups(float* dst, const uint32_t* groups, F<W> p0, F<W> p1, F<W> p2, F<W> p3,
                             std::index_sequence<L...>) {
    typedef float Pair __attribute__((vector_size(16)));
    auto put = [&](auto lane) {
        constexpr size_t l = decltype(lane)::value;
        float* o = dst + 8 * static_cast<size_t>(groups[l]);
        const Pair lo = __builtin_shufflevector(p0, p1, 2 * l, 2 * l + 1, W + 2 * l, W + 2 * l + 1);
        const Pair hi = __builtin_shufflevector(p2, p3, 2 * l, 2 * l + 1, W + 2 * l, W + 2 * l + 1);
        std::memcpy(o, &lo, sizeof lo);
        std::memcpy(o + 4, &hi, sizeof hi);
    };
    (put(std::integral_constant<size_t, L>()), ...);
}

// Fused permutation and first two stages, from src (n/2 complex values) into dst. Output group g
// (complex values 4g .. 4g+3) is fed from positions r, r + m/2, r + m/4, r + 3m/4 of the input,
// r = groups^-1(g); consecutive r are taken together in the lanes.
template <int W, class Side>
QV_INLINE void firstStages(const FftTables& f, const float* __restrict src,
                           const float* __restrict window, float* __restrict dst, Side& side) {
    constexpr uint32_t C = W / 2;
    const uint32_t m = f.n / 2;
    const uint32_t quarter = m / 4;
    const float* pa = src;
    const float* pb = src + 2 * (m / 2);
    const float* pc = src + 2 * (m / 4);
    const float* pd = src + 2 * (3 * (m / 4));
    for (uint32_t r = 0; r < quarter; r += C) {
        F<W> a = load<W>(pa + 2 * r);
        F<W> b = load<W>(pb + 2 * r);
        F<W> c = load<W>(pc + 2 * r);
        F<W> d = load<W>(pd + 2 * r);
        if (window != nullptr) {
            // The windowed frame, frame[j] * w[j], taken straight into the transform.
            a = a * load<W>(window + 2 * r);
            b = b * load<W>(window + 2 * (r + m / 2));
            c = c * load<W>(window + 2 * (r + m / 4));
            d = d * load<W>(window + 2 * (r + 3 * (m / 4)));
        }
        // First stage: (a, b) and (c, d) pairs.
        const F<W> s0 = a + b;
        const F<W> s1 = a - b;
        const F<W> s2 = c + d;
        const F<W> s3 = c - d;
        // Second stage: twiddles 1 and -i; e = (d.im, -d.re).
        const F<W> e = conj<W>(swapPairs<W>(s3));
        scatterGroups<W>(dst, f.groups + r, s0 + s2, s1 + e, s0 - s2, s1 - e,
                         std::make_index_sequence<W / 2>());
        side();
    }
}

// One stage of span 2 half: x[k + half] = x[k] - t, x[k] = x[k] + t with t = x[k + half] w.
template <int W, class Side>
QV_INLINE void stage(float* __restrict v, uint32_t m, uint32_t half, const float* __restrict tw,
                     Side& side) {
    constexpr uint32_t C = W / 2;
    const float* twSwap = tw + 2 * half;
    for (uint32_t k = 0; k < m; k += 2 * half) {
        float* lo = v + 2 * static_cast<size_t>(k);
        float* hi = lo + 2 * static_cast<size_t>(half);
        for (uint32_t j = 0; j < half; j += C) {
            const F<W> x = load<W>(hi + 2 * j);
            const F<W> u = load<W>(lo + 2 * j);
            const F<W> t =
                dupRe<W>(x) * load<W>(tw + 2 * j) + dupIm<W>(x) * load<W>(twSwap + 2 * j);
            store<W>(hi + 2 * j, u - t);
            store<W>(lo + 2 * j, u + t);
            side();
        }
    }
}

// Two stages in one pass, spans 2 half and 4 half: the four values k + j + {0, 1, 2, 3} half go
// through the butterflies of both stages in registers, each butterfly as in stage().
template <int W, class Side>
QV_INLINE void stagePair(float* __restrict v, uint32_t m, uint32_t half, const float* __restrict tw,
                         Side& side) {
    constexpr uint32_t C = W / 2;
    const float* twSwap = tw + 2 * half;
    const float* tw2 = tw + 4 * half; // the next stage's table, 2 half entries
    const float* tw2Swap = tw2 + 4 * half;
    for (uint32_t k = 0; k < m; k += 4 * half) {
        float* p0 = v + 2 * static_cast<size_t>(k);
        float* p1 = p0 + 2 * static_cast<size_t>(half);
        float* p2 = p1 + 2 * static_cast<size_t>(half);
        float* p3 = p2 + 2 * static_cast<size_t>(half);
        for (uint32_t j = 0; j < half; j += C) {
            const F<W> w = load<W>(tw + 2 * j);
            const F<W> ws = load<W>(twSwap + 2 * j);
            const F<W> x0 = load<W>(p0 + 2 * j);
            const F<W> x1 = load<W>(p1 + 2 * j);
            const F<W> x2 = load<W>(p2 + 2 * j);
            const F<W> x3 = load<W>(p3 + 2 * j);
            const F<W> t1 = dupRe<W>(x1) * w + dupIm<W>(x1) * ws;
            const F<W> t3 = dupRe<W>(x3) * w + dupIm<W>(x3) * ws;
            const F<W> y0 = x0 + t1;
            const F<W> y1 = x0 - t1;
            const F<W> y2 = x2 + t3;
            const F<W> y3 = x2 - t3;
            const F<W> u2 =
                dupRe<W>(y2) * load<W>(tw2 + 2 * j) + dupIm<W>(y2) * load<W>(tw2Swap + 2 * j);
            const F<W> u3 = dupRe<W>(y3) * load<W>(tw2 + 2 * (half + j)) +
                            dupIm<W>(y3) * load<W>(tw2Swap + 2 * (half + j));
            store<W>(p0 + 2 * j, y0 + u2);
            store<W>(p2 + 2 * j, y0 - u2);
            store<W>(p1 + 2 * j, y1 + u3);
            store<W>(p3 + 2 * j, y1 - u3);
            side();
            side();
        }
    }
}

// Stages 3 .. stages: one single stage first when their number is odd, then pairs.
template <int W, class Side> QV_INLINE void laterStages(const FftTables& f, float* v, Side& side) {
    const uint32_t m = f.n / 2;
    uint32_t s = 3;
    if ((f.stages - 2) % 2 != 0) {
        stage<4>(v, m, 4, f.stageTw, side);
        s = 4;
    }
    for (; s + 1 <= f.stages; s += 2) {
        const uint32_t half = 1u << (s - 1);
        const float* tw = f.stageTw + 4 * static_cast<size_t>(half - 4);
        if constexpr (W > 4) {
            if (half < W / 2) {
                stagePair<W / 2>(v, m, half, tw, side);
                continue;
            }
        }
        stagePair<W>(v, m, half, tw, side);
    }
}

// The scalar split and combine for one i of 1 .. q-1, as fft.cpp does them.
QV_INLINE void splitCombineOne(float* z, uint32_t i, uint32_t n, const float* tw) {
    const uint32_t h = n / 2;
    const float ziRe = z[2 * i];
    const float ziIm = z[2 * i + 1];
    const float zhRe = z[2 * (h - i)];
    const float zhIm = z[2 * (h - i) + 1];
    const float oRe = (zhIm + ziIm) * 0.5f;
    const float oIm = (ziRe - zhRe) * (-0.5f);
    z[2 * (h + i)] = oRe;
    z[2 * (h + i) + 1] = oIm;
    z[2 * (n - i)] = oRe;
    z[2 * (n - i) + 1] = -oIm;
    const float eRe = (ziRe + zhRe) * 0.5f;
    const float eIm = (ziIm - zhIm) * 0.5f;
    // X[i] = E[i] + tw[i-1] O[i] and X[h-i] = conj E[i] + tw[h-i-1] conj O[i].
    const float* w = tw + 2 * (i - 1);
    z[2 * i] = eRe + (w[0] * oRe - w[1] * oIm);
    z[2 * i + 1] = eIm + (w[0] * oIm + w[1] * oRe);
    const float* wm = tw + 2 * (h - i - 1);
    const float mIm = -oIm;
    const float emIm = -eIm;
    z[2 * (h - i)] = eRe + (wm[0] * oRe - wm[1] * mIm);
    z[2 * (h - i) + 1] = emIm + (wm[0] * mIm + wm[1] * oRe);
}

// Split of the half-length transform Z into the even- and odd-sample spectra E and O, and the
// combination X[k] = E[k] + tw[k-1] O[k], for the pair of bins i and h - i at once. O stays in
// the upper half as the scalar code leaves it.
template <int W, class Side> QV_INLINE void splitCombine(const FftTables& f, float* z, Side& side) {
    constexpr uint32_t C = W / 2;
    const uint32_t n = f.n;
    const uint32_t h = n / 2;
    const uint32_t q = n / 4;
    const float* tw = f.realTw;
    const float* twSwap = f.realTwSwap;
    const float z0Re = z[0];
    const float z0Im = z[1];
    const float zqRe = z[2 * q];
    const float zqIm = z[2 * q + 1];

    const F<W> half = splat<W>(0.5f);
    F<W> halfNeg;
    for (int l = 0; l < W; ++l) {
        halfNeg[l] = (l & 1) != 0 ? -0.5f : 0.5f;
    }
    uint32_t i = 1;
    for (; i + C <= q; i += C) {
        const uint32_t mi = h - i - (C - 1); // lowest index of the mirrored group
        const F<W> zi = load<W>(z + 2 * i);
        const F<W> zh = reverseComplex<W>(load<W>(z + 2 * mi));
        const F<W> e = (zi + conj<W>(zh)) * half;
        const F<W> o = (swapPairs<W>(zi) + conj<W>(swapPairs<W>(zh))) * halfNeg;
        const F<W> oc = conj<W>(o);
        store<W>(z + 2 * (h + i), o);
        store<W>(z + 2 * (n - i - (C - 1)), reverseComplex<W>(oc));
        const F<W> x = e + (dupRe<W>(o) * load<W>(tw + 2 * (i - 1)) +
                            dupIm<W>(o) * load<W>(twSwap + 2 * (i - 1)));
        const F<W> wm = reverseComplex<W>(load<W>(tw + 2 * (mi - 1)));
        const F<W> wmSwap = reverseComplex<W>(load<W>(twSwap + 2 * (mi - 1)));
        const F<W> xm = conj<W>(e) + (dupRe<W>(oc) * wm + dupIm<W>(oc) * wmSwap);
        store<W>(z + 2 * i, x);
        store<W>(z + 2 * mi, reverseComplex<W>(xm));
        side();
    }
    for (; i < q; ++i) {
        splitCombineOne(z, i, n, tw);
    }

    // Special bins: E[0], O[0], E[q], O[q]; then bins 0 and N/2, and X[q].
    z[2 * (q + h)] = zqIm;
    z[2 * (q + h) + 1] = 0.0f;
    z[2 * h] = z0Re - z0Im;
    z[2 * h + 1] = 0.0f;
    z[0] = z0Re + z0Im;
    z[1] = 0.0f;
    const float* w = tw + 2 * (q - 1);
    z[2 * q] = zqRe + (w[0] * zqIm - w[1] * 0.0f);
    z[2 * q + 1] = 0.0f + (w[0] * 0.0f + w[1] * zqIm);
}

QV_INLINE bool overlaps(const float* a, size_t aCount, const float* b, size_t bCount) {
    const uintptr_t a0 = reinterpret_cast<uintptr_t>(a);
    const uintptr_t b0 = reinterpret_cast<uintptr_t>(b);
    return a0 < b0 + bCount * sizeof(float) && b0 < a0 + aCount * sizeof(float);
}

// With a window, the transform of in[j] * window[j]; in and out must not overlap then.
template <int W, class Side>
QV_INLINE void forwardRealWith(const FftTables& f, const float* in, float* out, Side& side,
                               const float* window = nullptr) {
    const uint32_t n = f.n;
    const float* src = in;
    if (window == nullptr && overlaps(in, n, out, n)) {
        // The upper half of out is work area: the input waits there while the first stages
        // gather it into the lower half.
        std::memmove(out + n, in, n * sizeof(float));
        src = out + n;
    }
    firstStages<W>(f, src, window, out, side);
    laterStages<W>(f, out, side);
    splitCombine<W>(f, out, side);
}

// Hartley combination of bins 0 .. n/2 into n reals: y[k] = re + im of bin k for k <= n/2 and
// y[n-k] = re - im of bin k; with kScaled every value is multiplied by scale.
template <int W, bool kScaled, class Side>
QV_INLINE void hartley(const float* __restrict bins, float* __restrict y, uint32_t n, float scale,
                       Side& side) {
    const uint32_t h = n / 2;
    const F<W> s = splat<W>(scale);
    auto one = [&](uint32_t k) {
        const float sum = bins[2 * k] + bins[2 * k + 1];
        y[k] = kScaled ? sum * scale : sum;
        if (k != 0 && k != h) {
            const float diff = bins[2 * k] - bins[2 * k + 1];
            y[n - k] = kScaled ? diff * scale : diff;
        }
    };
    one(0);
    uint32_t k = 1;
    for (; k + W <= h; k += W) {
        const F<W> a = load<W>(bins + 2 * k);
        const F<W> b = load<W>(bins + 2 * k + W);
        const F<W> re = evens<W>(a, b);
        const F<W> im = odds<W>(a, b);
        F<W> sum = re + im;
        F<W> diff = re - im;
        if constexpr (kScaled) {
            sum = sum * s;
            diff = diff * s;
        }
        store<W>(y + k, sum);
        store<W>(y + n - k - (W - 1), reverseFloats<W>(diff));
        side();
    }
    for (; k <= h; ++k) {
        one(k);
    }
}

// One output sample of the inverse, v, windowed into the accumulator: added below split, stored
// from there on.
QV_INLINE void addOne(float* acc, const float* w, uint32_t k, uint32_t split, float v) {
    acc[k] = k < split ? acc[k] + v * w[k] : v * w[k];
}

// The last Hartley pass of the inverse fused with the overlap-add: the scaled time signal goes
// through the window into the accumulator without being stored.
template <int W, class Side>
QV_INLINE void hartleyOverlapAdd(const float* __restrict bins, const float* __restrict w,
                                 float* __restrict acc, uint32_t n, uint32_t hop, float scale,
                                 Side& side) {
    const uint32_t h = n / 2;
    const uint32_t split = n - hop;
    const F<W> s = splat<W>(scale);
    auto one = [&](uint32_t k) {
        addOne(acc, w, k, split, (bins[2 * k] + bins[2 * k + 1]) * scale);
        if (k != 0 && k != h) {
            addOne(acc, w, n - k, split, (bins[2 * k] - bins[2 * k + 1]) * scale);
        }
    };
    one(0);
    uint32_t k = 1;
    for (; k + W <= h; k += W) {
        const F<W> a = load<W>(bins + 2 * k);
        const F<W> b = load<W>(bins + 2 * k + W);
        const F<W> re = evens<W>(a, b);
        const F<W> im = odds<W>(a, b);
        const F<W> sum = (re + im) * s;
        const F<W> diff = reverseFloats<W>((re - im) * s);
        // Below n/2 every position adds; the mirrored group lies wholly on one side of split,
        // as both are multiples of W.
        store<W>(acc + k, load<W>(acc + k) + sum * load<W>(w + k));
        const uint32_t p = n - k - (W - 1);
        if (p >= split) {
            store<W>(acc + p, diff * load<W>(w + p));
        } else {
            store<W>(acc + p, load<W>(acc + p) + diff * load<W>(w + p));
        }
        side();
    }
    for (; k <= h; ++k) {
        one(k);
    }
}

// The inverse transform of X overlap-added through the window into acc; y is work area.
template <int W, class Side>
QV_INLINE void inverseOverlapAdd(const FftTables& f, float* X, float* y, const float* w, float* acc,
                                 uint32_t hop, Side& side) {
    const uint32_t n = f.n;
    const float scale = 1.0f / static_cast<float>(n);
    hartley<W, false>(X, y, n, scale, side);
    forwardRealWith<W>(f, y, X, side);
    hartleyOverlapAdd<W>(X, w, acc, n, hop, scale, side);
}

template <int W, class Side>
QV_INLINE void inverseRealWith(const FftTables& f, float* X, float* y, Side& side) {
    const uint32_t n = f.n;
    const float scale = 1.0f / static_cast<float>(n);
    hartley<W, false>(X, y, n, scale, side);
    forwardRealWith<W>(f, y, X, side);
    hartley<W, true>(X, y, n, scale, side);
}

// ---- Linear passes of the frame step ----

template <int W, class Side>
QV_INLINE void magnitudes(const float* __restrict spectrum, float* __restrict mag, uint32_t count,
                          Side& side) {
    uint32_t j = 0;
    for (; j + W <= count; j += W) {
        const F<W> a = load<W>(spectrum + 2 * j);
        const F<W> b = load<W>(spectrum + 2 * j + W);
        const F<W> re = evens<W>(a, b);
        const F<W> im = odds<W>(a, b);
        store<W>(mag + j, vsqrt(re * re + im * im));
        side();
    }
    for (; j < count; ++j) {
        const float re = spectrum[2 * j];
        const float im = spectrum[2 * j + 1];
        mag[j] = __builtin_sqrtf(re * re + im * im);
    }
}

// acc[0 .. count) = acc[shift .. shift + count), front to back (count a multiple of W).
template <int W, class Side>
QV_INLINE void moveDown(float* acc, uint32_t shift, uint32_t count, Side& side) {
    if (shift == 0) {
        return;
    }
    for (uint32_t j = 0; j < count; j += W) {
        store<W>(acc + j, load<W>(acc + shift + j));
        side();
    }
}

QV_INLINE float smoothTimeOne(float s, float key) {
    const float v = s + (key - s) * 0.1f;
    return (v >= 1e-20f && v <= FLT_MAX) ? v : 0.0f;
}

template <int W>
QV_INLINE void smoothTime(float* __restrict state, float* __restrict key, uint32_t count) {
    const F<W> tiny = splat<W>(1e-20f);
    const F<W> largest = splat<W>(FLT_MAX);
    const F<W> factor = splat<W>(0.1f);
    uint32_t j = 0;
    for (; j + W <= count; j += W) {
        const F<W> s = load<W>(state + j);
        const F<W> v = s + (load<W>(key + j) - s) * factor;
        const I<W> keep = (v >= tiny) & (v <= largest);
        const F<W> r = reinterpret_cast<F<W>>(reinterpret_cast<I<W>>(v) & keep);
        store<W>(state + j, r);
        store<W>(key + j, r);
    }
    for (; j < count; ++j) {
        const float v = smoothTimeOne(state[j], key[j]);
        state[j] = v;
        key[j] = v;
    }
}

// The recursion across bins, kSteps steps per call: upward with the lower neighbour's
// coefficient.
template <int kSteps> struct Upward {
    float* k;
    const float* c;
    uint32_t count;
    uint32_t j;
    float prev;
    QV_INLINE void step() {
        prev = prev + (k[j] - prev) * c[j - 1];
        k[j] = prev;
        ++j;
    }
    QV_INLINE bool more() const { return j < count; }
    QV_INLINE void operator()() { stepSome<kSteps>(*this); }
    QV_INLINE void finish() { stepRest(*this); }
};

// Downward with the upper neighbour's coefficient; j counts the bins still to do.
template <int kSteps> struct Downward {
    float* k;
    const float* c;
    uint32_t j;
    float next;
    QV_INLINE void step() {
        --j;
        next = next + (k[j] - next) * c[j + 1];
        k[j] = next;
    }
    QV_INLINE bool more() const { return j > 0; }
    QV_INLINE void operator()() { stepSome<kSteps>(*this); }
    QV_INLINE void finish() { stepRest(*this); }
};

// Channel 1's gains and first Hartley pass for the bins j0 .. j0 + W - 1 of one frame.
template <int W>
QV_INLINE void gainsGroup(F<W> key, const float* ducked, const float* spectrum, float* y,
                          uint32_t n, uint32_t j0) {
    const F<W> one = splat<W>(1.0f);
    const F<W> r = key / (load<W>(ducked + j0) + splat<W>(1e-20f));
    const F<W> g = one / (r + one);
    const F<W> re = evens<W>(load<W>(spectrum + 2 * j0), load<W>(spectrum + 2 * j0 + W)) * g;
    const F<W> im = odds<W>(load<W>(spectrum + 2 * j0), load<W>(spectrum + 2 * j0 + W)) * g;
    store<W>(y + j0, re + im);
    store<W>(y + n - j0 - (W - 1), reverseFloats<W>(re - im));
}

// The same for one bin, as the scalar gains and Hartley pass do it.
QV_INLINE void gainsOne(float key, const float* ducked, const float* spectrum, float* y, uint32_t n,
                        uint32_t j) {
    const float r = key / (ducked[j] + 1e-20f);
    const float g = 1.0f / (r + 1.0f);
    const float re = spectrum[2 * j] * g;
    const float im = spectrum[2 * j + 1] * g;
    y[j] = re + im;
    if (j != 0 && j != n / 2) {
        y[n - j] = re - im;
    }
}

// The downward recursion with channel 1's gains and the first Hartley pass of its inverse
// transform following it: as soon as the bins of a group of W are final, their gains scale the
// spectrum and the Hartley sums and differences go to y. Bins 0 .. W-1 and n/2 are left to
// gainsTail().
template <int W, int kSteps> struct DownwardGains {
    Downward<1> chain;
    const float* ducked;
    const float* spectrum;
    float* y;
    uint32_t n;

    QV_INLINE void group(uint32_t j0) {
        gainsGroup<W>(load<W>(chain.k + j0), ducked, spectrum, y, n, j0);
    }
    QV_INLINE void step() {
        chain.step();
        const uint32_t j = chain.j;
        if (j % W == 0 && j >= W && j < n / 2) {
            group(j);
        }
    }
    QV_INLINE bool more() const { return chain.j > 0; }
    QV_INLINE void operator()() { stepSome<kSteps>(*this); }
    QV_INLINE void finish() { stepRest(*this); }
    // The bins the groups leave out, as the scalar gains and Hartley pass do them.
    QV_INLINE void gainsTail() {
        for (uint32_t j = 0; j < W; ++j) {
            gainsOne(chain.k[j], ducked, spectrum, y, n, j);
        }
        gainsOne(chain.k[n / 2], ducked, spectrum, y, n, n / 2);
    }
};

// The frame step: the key's spectrum first; the upward recursion runs inside the transform of
// channel 1 and the move of channel 0's accumulator, the downward one inside the inverse
// transform of channel 0 and the move of channel 1's accumulator, none of which depends on it,
// and channel 1's gains and first Hartley pass follow the downward recursion bin group by bin
// group; then the rest of channel 1's inverse transform. The recursion's steps are spread so
// that it ends about when the work around it does: each step waits for the one before, and
// work that comes after the last step in program order would not overlap with it.
template <int W> void frameStepImpl(const FftTables& f, const FrameBuffers& b) {
    constexpr int kSteps = W >= 16 ? 2 : 1;
    const uint32_t n = b.n;
    const uint32_t bins = b.bins;
    const uint32_t live = n + 2 * b.hop;
    const float scale = 1.0f / static_cast<float>(n);
    float* y0 = b.work;
    float* y1 = b.work + n;
    NoSide none;

    forwardRealWith<W>(f, b.input[0], b.spectrum[0], none, b.window);
    magnitudes<W>(b.spectrum[0], b.magnitude[0], bins, none);

    float* key = b.magnitude[0];
    smoothTime<W>(b.keyState, key, bins);

    Upward<kSteps> up{key, b.coefficients, bins, 1, key[0]};
    forwardRealWith<W>(f, b.input[1], b.spectrum[1], up, b.window);
    magnitudes<W>(b.spectrum[1], b.magnitude[1], bins, up);
    moveDown<W>(b.accumulator[0], b.accShift, live, up);
    up.finish();

    DownwardGains<W, kSteps> down{
        {key, b.coefficients, bins - 1, key[bins - 1]}, b.magnitude[1], b.spectrum[1], y1, n};
    inverseOverlapAdd<W>(f, b.spectrum[0], y0, b.window, b.accumulator[0] + b.ready, b.hop, down);
    moveDown<W>(b.accumulator[1], b.accShift, live, down);
    down.finish();
    down.gainsTail();

    forwardRealWith<W>(f, y1, b.spectrum[1], none);
    hartleyOverlapAdd<W>(b.spectrum[1], b.window, b.accumulator[1] + b.ready, n, b.hop, scale,
                         none);
}

// Two floats at p into the low lanes, the high lanes 0 (which the recursions keep at 0).
QV_INLINE __m128 loadPair(const float* p) {
    double d;
    std::memcpy(&d, p, sizeof d);
    return _mm_castpd_ps(_mm_set_sd(d));
}

QV_INLINE void storePair(float* p, __m128 x) {
    const double d = _mm_cvtsd_f64(_mm_castps_pd(x));
    std::memcpy(p, &d, sizeof d);
}

// The recursions of two frames at once, their keys interleaved (first frame's bin j at 2j, the
// second's at 2j + 1) and every coefficient twice: each lane does the scalar steps exactly.
// Upward with the lower neighbour's coefficient:
template <int kSteps> struct UpwardPair {
    float* k;
    const float* c2;
    uint32_t count;
    uint32_t j;
    __m128 prev;
    QV_INLINE void step() {
        const __m128 d = _mm_sub_ps(loadPair(k + 2 * j), prev);
        prev = _mm_add_ps(prev, _mm_mul_ps(d, loadPair(c2 + 2 * (j - 1))));
        storePair(k + 2 * j, prev);
        ++j;
    }
    QV_INLINE bool more() const { return j < count; }
    QV_INLINE void operator()() { stepSome<kSteps>(*this); }
    QV_INLINE void finish() { stepRest(*this); }
};

// Downward with the upper neighbour's coefficient, both frames' gains and first Hartley passes
// following it group by group as in DownwardGains; j counts the bins still to do.
template <int W, int kSteps> struct DownwardGainsPair {
    float* k;
    const float* c2;
    uint32_t j;
    __m128 next;
    const float* ducked[2];
    const float* spectrum[2];
    float* y[2];
    uint32_t n;

    QV_INLINE void step() {
        --j;
        const __m128 d = _mm_sub_ps(loadPair(k + 2 * j), next);
        next = _mm_add_ps(next, _mm_mul_ps(d, loadPair(c2 + 2 * (j + 1))));
        storePair(k + 2 * j, next);
        if (j % W == 0 && j >= W && j < n / 2) {
            const F<W> lo = load<W>(k + 2 * j);
            const F<W> hi = load<W>(k + 2 * j + W);
            gainsGroup<W>(evens<W>(lo, hi), ducked[0], spectrum[0], y[0], n, j);
            gainsGroup<W>(odds<W>(lo, hi), ducked[1], spectrum[1], y[1], n, j);
        }
    }
    QV_INLINE bool more() const { return j > 0; }
    QV_INLINE void operator()() { stepSome<kSteps>(*this); }
    QV_INLINE void finish() { stepRest(*this); }
    QV_INLINE void gainsTail() {
        for (uint32_t f = 0; f < 2; ++f) {
            for (uint32_t b = 0; b < W; ++b) {
                gainsOne(k[2 * b + f], ducked[f], spectrum[f], y[f], n, b);
            }
            gainsOne(k[n + f], ducked[f], spectrum[f], y[f], n, n / 2);
        }
    }
};

// keys[2j] = a[j], keys[2j + 1] = b[j].
template <int W, size_t... K>
QV_INLINE F<W> interleaveLoImpl(F<W> a, F<W> b, std::index_sequence<K...>) {
    return __builtin_shufflevector(a, b, ((K % 2) * W + K / 2)...);
}
template <int W, size_t... K>
QV_INLINE F<W> interleaveHiImpl(F<W> a, F<W> b, std::index_sequence<K...>) {
    return __builtin_shufflevector(a, b, ((K % 2) * W + W / 2 + K / 2)...);
}
template <int W>
QV_INLINE void interleave(const float* __restrict a, const float* __restrict b,
                          float* __restrict keys, uint32_t count) {
    uint32_t j = 0;
    for (; j + W <= count; j += W) {
        const F<W> x = load<W>(a + j);
        const F<W> y = load<W>(b + j);
        store<W>(keys + 2 * j, interleaveLoImpl<W>(x, y, std::make_index_sequence<W>()));
        store<W>(keys + 2 * j + W, interleaveHiImpl<W>(x, y, std::make_index_sequence<W>()));
    }
    for (; j < count; ++j) {
        keys[2 * j] = a[j];
        keys[2 * j + 1] = b[j];
    }
}

// Two consecutive frames: their recursions across bins are independent once both time
// smoothing passes have run in order, so each direction runs once for both, in two lanes, and
// hides under the transforms of both frames. The second frame adds to the accumulators one hop
// after the first, after it.
template <int W> void framePairImpl(const FftTables& f, const FramePairBuffers& p) {
    const FrameBuffers& a = p.first;
    const uint32_t n = a.n;
    const uint32_t bins = a.bins;
    const uint32_t hop = a.hop;
    const uint32_t live = n + 2 * hop;
    const float scale = 1.0f / static_cast<float>(n);
    float* keys = p.keys;
    float* y0A = a.work;
    float* y1A = a.work + n;
    float* y0B = p.work;
    float* y1B = p.work + n;
    NoSide none;

    forwardRealWith<W>(f, a.input[0], a.spectrum[0], none, a.window);
    magnitudes<W>(a.spectrum[0], a.magnitude[0], bins, none);
    forwardRealWith<W>(f, a.input[0] + hop, p.spectrum[0], none, a.window);
    magnitudes<W>(p.spectrum[0], p.magnitude[0], bins, none);
    smoothTime<W>(a.keyState, a.magnitude[0], bins);
    smoothTime<W>(a.keyState, p.magnitude[0], bins);
    interleave<W>(a.magnitude[0], p.magnitude[0], keys, bins);

    UpwardPair<1> up{keys, p.coefficientPairs, bins, 1, loadPair(keys)};
    forwardRealWith<W>(f, a.input[1], a.spectrum[1], up, a.window);
    magnitudes<W>(a.spectrum[1], a.magnitude[1], bins, up);
    forwardRealWith<W>(f, a.input[1] + hop, p.spectrum[1], up, a.window);
    magnitudes<W>(p.spectrum[1], p.magnitude[1], bins, up);
    moveDown<W>(a.accumulator[0], a.accShift, live, up);
    up.finish();

    DownwardGainsPair<W, 1> down{keys,
                                 p.coefficientPairs,
                                 bins - 1,
                                 loadPair(keys + 2 * (bins - 1)),
                                 {a.magnitude[1], p.magnitude[1]},
                                 {a.spectrum[1], p.spectrum[1]},
                                 {y1A, y1B},
                                 n};
    float* acc0 = a.accumulator[0] + a.ready;
    inverseOverlapAdd<W>(f, a.spectrum[0], y0A, a.window, acc0, hop, down);
    inverseOverlapAdd<W>(f, p.spectrum[0], y0B, a.window, acc0 + hop, hop, down);
    moveDown<W>(a.accumulator[1], a.accShift, live, down);
    down.finish();
    down.gainsTail();

    float* acc1 = a.accumulator[1] + a.ready;
    forwardRealWith<W>(f, y1A, a.spectrum[1], none);
    hartleyOverlapAdd<W>(a.spectrum[1], a.window, acc1, n, hop, scale, none);
    forwardRealWith<W>(f, y1B, p.spectrum[1], none);
    hartleyOverlapAdd<W>(p.spectrum[1], a.window, acc1 + hop, n, hop, scale, none);
}

template <int W> void forwardRealImpl(const FftTables& f, const float* in, float* out) {
    NoSide none;
    forwardRealWith<W>(f, in, out, none);
}

template <int W> void inverseRealImpl(const FftTables& f, float* X, float* y) {
    NoSide none;
    inverseRealWith<W>(f, X, y, none);
}

} // namespace
} // namespace quorvane::simd
