#pragma once
// The per-bin steps of the real transform around its half-length complex transform, written once
// for the scalar transform and the scalar ends of the vector loops. Complex values are two
// floats, real part first; n is the real length and h = n / 2.

#include <cstdint>

namespace quorvane::fftsteps {

// Split of the half-length spectrum Z for one i of 1 .. n/4 - 1, from Z[i] and Z[h - i] as they
// stand: the odd-sample spectrum O[i] goes to h + i and its conjugate to n - i, the even-sample
// spectrum E[i] to i and its conjugate to h - i.
inline void split(float* z, uint32_t i, uint32_t n) {
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
    z[2 * i] = eRe;
    z[2 * i + 1] = eIm;
    z[2 * (h - i)] = eRe;
    z[2 * (h - i) + 1] = -eIm;
}

// One bin of the combination X[k] = E[k] + w O[k], E[k] in e, O[k] in o, w the twiddle
// e^(-2 pi i k / n).
inline void combine(float* __restrict e, const float* __restrict o, const float* __restrict w) {
    const float oRe = o[0];
    const float oIm = o[1];
    e[0] = e[0] + (w[0] * oRe - w[1] * oIm);
    e[1] = e[1] + (w[0] * oIm + w[1] * oRe);
}

// Hartley sum and difference of bin k of bins into y[k] and (for k other than 0 and h) y[n - k],
// each multiplied by scale when kScaled.
template <bool kScaled>
inline void hartley(const float* __restrict bins, float* __restrict y, uint32_t k, uint32_t n,
                    float scale) {
    const float sum = bins[2 * k] + bins[2 * k + 1];
    y[k] = kScaled ? sum * scale : sum;
    if (k != 0 && k != n / 2) {
        const float diff = bins[2 * k] - bins[2 * k + 1];
        y[n - k] = kScaled ? diff * scale : diff;
    }
}

} // namespace quorvane::fftsteps
