#pragma once
// The real transform on vectors, for any vector width: the same float operations as the scalar
// transform in fft.cpp, in the same order, only on several values at once; where the scalar code
// computes a - b the vector code may compute a + (-b), which IEEE arithmetic defines to be the
// same value. A complex product (x.re w.re - x.im w.im, x.re w.im + x.im w.re) is formed as
// [x.re, x.re] * [w.re, w.im] + [x.im, x.im] * [-w.im, w.re] with the second twiddle vector kept
// in a table. There is no fused multiply-add anywhere.
//
// Every pass takes a side job, called once per vector step of its loops: work that does not
// depend on the transform runs there and hides its latency under the transform's.

#include "engine/fftsteps.h"
#include "engine/kernels.h"
#include "engine/vectorops.h"

namespace quorvane::simd {
namespace {

// Work run beside the transforms: nothing.
struct NoSide {
    QV_INLINE void operator()() {}
};

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
        fftsteps::split(z, i, n);
        fftsteps::combine(z + 2 * i, z + 2 * (h + i), tw + 2 * (i - 1));
        fftsteps::combine(z + 2 * (h - i), z + 2 * (n - i), tw + 2 * (h - i - 1));
    }

    // Special bins: E[0], O[0], E[q], O[q]; then bins 0 and N/2, and X[q].
    z[2 * (q + h)] = zqIm;
    z[2 * (q + h) + 1] = 0.0f;
    z[2 * h] = z0Re - z0Im;
    z[2 * h + 1] = 0.0f;
    z[0] = z0Re + z0Im;
    z[1] = 0.0f;
    z[2 * q] = zqRe;
    z[2 * q + 1] = 0.0f;
    fftsteps::combine(z + 2 * q, z + 2 * (q + h), tw + 2 * (q - 1));
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
    fftsteps::hartley<kScaled>(bins, y, 0, n, scale);
    uint32_t k = 1;
    for (; k + W <= h; k += W) {
        F<W> re, im;
        loadComplex<W>(bins + 2 * k, re, im);
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
        fftsteps::hartley<kScaled>(bins, y, k, n, scale);
    }
}

template <int W, class Side>
QV_INLINE void inverseRealWith(const FftTables& f, float* X, float* y, Side& side) {
    const uint32_t n = f.n;
    const float scale = 1.0f / static_cast<float>(n);
    hartley<W, false>(X, y, n, scale, side);
    forwardRealWith<W>(f, y, X, side);
    hartley<W, true>(X, y, n, scale, side);
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
