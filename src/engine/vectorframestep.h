#pragma once
// The frame step of the ducking processor on vectors, for any vector width: the float operations
// of the scalar frame step in duckingprocessor.cpp, in the same order, with the per-bin steps of
// the ducking law from duckinglaw.h run lane by lane. The same rules as in vectorfft.h hold.
//
// The recursion across bins is a chain of dependent steps that leaves most of the processor
// idle; the frame step runs it a step at a time as the side job of transform passes that do not
// depend on it, so that its latency hides under their work.

#include "engine/duckinglaw.h"
#include "engine/vectorfft.h"

namespace quorvane::simd {
namespace {

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
        F<W> re, im;
        loadComplex<W>(bins + 2 * k, re, im);
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
QV_INLINE void magnitudes(const float* __restrict spectrum, float* __restrict mag, uint32_t count,
                          Side& side) {
    uint32_t j = 0;
    for (; j + W <= count; j += W) {
        F<W> re, im;
        loadComplex<W>(spectrum + 2 * j, re, im);
        store<W>(mag + j, vsqrt(re * re + im * im));
        side();
    }
    for (; j < count; ++j) {
        mag[j] = ducking::magnitude(spectrum[2 * j], spectrum[2 * j + 1]);
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

// The key's time smoothing into the state; the result also goes to key, which the recursions
// across bins then work on.
template <int W>
QV_INLINE void smoothTime(float* __restrict state, float* __restrict key, uint32_t count) {
    uint32_t j = 0;
    for (; j + W <= count; j += W) {
        const F<W> v = ducking::smoothedKey(load<W>(state + j), load<W>(key + j));
        store<W>(state + j, v);
        store<W>(key + j, v);
    }
    for (; j < count; ++j) {
        const float v = ducking::smoothedKey(state[j], key[j]);
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
        prev = ducking::smoothedAcross(prev, k[j], c[j - 1]);
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
        next = ducking::smoothedAcross(next, k[j], c[j + 1]);
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
    const F<W> g = ducking::duckingGain(key, load<W>(ducked + j0));
    F<W> re, im;
    loadComplex<W>(spectrum + 2 * j0, re, im);
    re = re * g;
    im = im * g;
    store<W>(y + j0, re + im);
    store<W>(y + n - j0 - (W - 1), reverseFloats<W>(re - im));
}

// The same for one bin, as the scalar gains and Hartley pass do it.
QV_INLINE void gainsOne(float key, const float* ducked, const float* spectrum, float* y, uint32_t n,
                        uint32_t j) {
    const float g = ducking::duckingGain(key, ducked[j]);
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
    const uint32_t live = n + b.hop;
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

// The kernel table of width W, for the translation unit of its instruction set.
template <int W> const Kernels& kernelsOf(Path path) {
    static const Kernels kernels{path, forwardRealImpl<W>, inverseRealImpl<W>, frameStepImpl<W>};
    return kernels;
}

} // namespace
} // namespace quorvane::simd
