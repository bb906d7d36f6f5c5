// Radix-2 transform. Every arithmetic step below runs in a fixed order in single precision; only
// the twiddle recurrences run in double precision.

#include "engine/fft.h"

#include "engine/fftsteps.h"

#include <cmath>
#include <cstring>

namespace quorvane {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Smallest s >= 1 with 2^s >= n.
uint32_t stagesFor(uint32_t n) {
    uint32_t s = 1;
    while (s < 32 && (uint64_t{1} << s) < n) {
        ++s;
    }
    return s;
}

// Stores count complex values start * step^k, k = 0 .. count-1, rounded to float; the running
// value stays in double precision.
void fillTwiddles(std::vector<float>& table, uint32_t count, double startRe, double startIm,
                  double c, double s) {
    table.assign(2 * static_cast<size_t>(count), 0.0f);
    double re = startRe;
    double im = startIm;
    for (uint32_t k = 0; k < count; ++k) {
        table[2 * k] = static_cast<float>(re);
        table[2 * k + 1] = static_cast<float>(im);
        const double nextRe = re * c - im * s;
        const double nextIm = re * s + im * c;
        re = nextRe;
        im = nextIm;
    }
}

} // namespace

void Fft::init(int mode, uint32_t n, simd::Path path) {
    n_ = n;
    stages_ = stagesFor(n);
    permutation_.clear();
    twiddles_.clear();
    half_.reset();
    kernels_ = nullptr;
    tables_ = {};
    groups_.clear();
    stageTwiddles_.clear();
    realTwiddleSwaps_.clear();

    if (mode == kComplex) {
        // Permutation: entry i = max(i, rev(i)); rev is stepped with a reversed-carry increment.
        if (n >= 2) {
            permutation_.resize(n - 1);
            uint32_t rev = 0;
            for (uint32_t i = 0; i + 1 < n; ++i) {
                permutation_[i] = static_cast<int32_t>(i > rev ? i : rev);
                uint32_t bit = n >> 1;
                while (bit != 0 && (rev & bit) != 0) {
                    rev ^= bit;
                    bit >>= 1;
                }
                rev |= bit;
            }
        }
        // Twiddles e^(-2 pi i k / n), k = 0 .. n/2 - 1.
        if (n >= 2) {
            const double theta = kPi / static_cast<double>(n / 2);
            fillTwiddles(twiddles_, n / 2, 1.0, 0.0, std::cos(theta), -std::sin(theta));
        }
        return;
    }

    // Real mode: a complex transform of half the length, and twiddles e^(-2 pi i k / n) for
    // k = 1 .. n/2 - 1 stored at k - 1.
    half_ = std::make_unique<Fft>();
    half_->init(kComplex, n / 2);
    if (n > 3) {
        const double theta = 2.0 * kPi / static_cast<double>(n);
        const double c = std::cos(theta);
        const double s = -std::sin(theta);
        fillTwiddles(twiddles_, n / 2 - 1, c, s, c, s);
    }
    if (n >= simd::kMinLength) {
        kernels_ = simd::kernelsFor(path);
        if (kernels_ != nullptr) {
            buildVectorTables();
        }
    }
}

void Fft::buildVectorTables() {
    const uint32_t m = n_ / 2;
    const uint32_t stages = half_->stages_;

    // Output group g of the fused first pass is fed from position r = rev(g) over the bits of
    // m/4: the bit reversal of 4g over the bits of m.
    const uint32_t quarter = m / 4;
    const uint32_t bits = stages - 2;
    groups_.resize(quarter);
    for (uint32_t r = 0; r < quarter; ++r) {
        uint32_t g = 0;
        for (uint32_t b = 0; b < bits; ++b) {
            g |= ((r >> b) & 1u) << (bits - 1 - b);
        }
        groups_[r] = g;
    }

    // Stage s >= 3 of the half-length transform uses twiddle j 2^(stages - s) for j below
    // half = 2^(s-1): the same floats, copied in order, then as (-im, re).
    const float* tw = half_->twiddles_.data();
    stageTwiddles_.assign(4 * static_cast<size_t>(m > 4 ? m - 4 : 0), 0.0f);
    for (uint32_t s = 3; s <= stages; ++s) {
        const uint32_t half = 1u << (s - 1);
        const uint32_t step = 1u << (stages - s);
        float* dst = stageTwiddles_.data() + 4 * static_cast<size_t>(half - 4);
        for (uint32_t j = 0; j < half; ++j) {
            const float re = tw[2 * j * step];
            const float im = tw[2 * j * step + 1];
            dst[2 * j] = re;
            dst[2 * j + 1] = im;
            dst[2 * (half + j)] = -im;
            dst[2 * (half + j) + 1] = re;
        }
    }

    realTwiddleSwaps_.resize(twiddles_.size());
    for (size_t k = 0; k + 1 < twiddles_.size(); k += 2) {
        realTwiddleSwaps_[k] = -twiddles_[k + 1];
        realTwiddleSwaps_[k + 1] = twiddles_[k];
    }

    tables_.n = n_;
    tables_.stages = stages;
    tables_.groups = groups_.data();
    tables_.stageTw = stageTwiddles_.data();
    tables_.realTw = twiddles_.data();
    tables_.realTwSwap = realTwiddleSwaps_.data();
}

void Fft::transformComplex(float* x) const {
    const uint32_t n = n_;
    if (n <= 1) {
        return;
    }
    float* __restrict v = x;

    // Permutation: swap each bit-reversed pair once.
    const int32_t* __restrict perm = permutation_.data();
    for (uint32_t i = 0; i + 1 < n; ++i) {
        const uint32_t j = static_cast<uint32_t>(perm[i]);
        if (j != i) {
            const float re = v[2 * i];
            const float im = v[2 * i + 1];
            v[2 * i] = v[2 * j];
            v[2 * i + 1] = v[2 * j + 1];
            v[2 * j] = re;
            v[2 * j + 1] = im;
        }
    }

    // First stage: butterflies of adjacent pairs.
    for (uint32_t k = 0; k < n; k += 2) {
        float* p = v + 2 * k;
        const float aRe = p[0], aIm = p[1], bRe = p[2], bIm = p[3];
        p[0] = aRe + bRe;
        p[1] = aIm + bIm;
        p[2] = aRe - bRe;
        p[3] = aIm - bIm;
    }
    if (n <= 2) {
        return;
    }

    // Second stage: twiddles 1 and -i.
    for (uint32_t k = 0; k < n; k += 4) {
        float* p = v + 2 * k;
        const float aRe = p[0], aIm = p[1], bRe = p[2], bIm = p[3];
        const float cRe = p[4], cIm = p[5], dRe = p[6], dIm = p[7];
        p[0] = aRe + cRe;
        p[1] = aIm + cIm;
        p[4] = aRe - cRe;
        p[5] = aIm - cIm;
        p[2] = bRe + dIm;
        p[3] = bIm - dRe;
        p[6] = bRe - dIm;
        p[7] = bIm + dRe;
    }

    // Further stages. Each butterfly of a stage is independent of the others, so running the
    // blocks k in the outer loop and the twiddle index j in the inner loop gives the same values
    // as the twiddle-outer order while walking memory contiguously.
    const float* __restrict tw = twiddles_.data();
    const uint32_t stages = stages_;
    for (uint32_t s = 3; s <= stages; ++s) {
        const uint32_t m = 1u << s;
        const uint32_t half = m >> 1;
        const uint32_t twStep = 1u << (stages - s);
        for (uint32_t k = 0; k < n; k += m) {
            float* __restrict lo = v + 2 * k;
            float* __restrict hi = v + 2 * (k + half);
            for (uint32_t j = 0; j < half; ++j) {
                const float wRe = tw[2 * j * twStep];
                const float wIm = tw[2 * j * twStep + 1];
                const float xRe = hi[2 * j];
                const float xIm = hi[2 * j + 1];
                const float tRe = xRe * wRe - xIm * wIm;
                const float tIm = xRe * wIm + xIm * wRe;
                const float uRe = lo[2 * j];
                const float uIm = lo[2 * j + 1];
                hi[2 * j] = uRe - tRe;
                hi[2 * j + 1] = uIm - tIm;
                lo[2 * j] = uRe + tRe;
                lo[2 * j + 1] = uIm + tIm;
            }
        }
    }
}

void Fft::forwardReal(const float* in, float* out) const {
    if (kernels_ != nullptr) {
        kernels_->forwardReal(tables_, in, out);
        return;
    }
    const uint32_t n = n_;
    if (n == 1) {
        const float a0 = in[0];
        out[0] = a0;
        out[1] = 0.0f;
        return;
    }
    if (n == 2) {
        const float a0 = in[0];
        const float a1 = in[1];
        out[0] = a0 + a1;
        out[1] = 0.0f;
        out[2] = a0 - a1;
        out[3] = 0.0f;
        return;
    }
    if (n == 0) {
        return;
    }

    // Pack: out[k] = a[2k] + i a[2k+1], then the half-length complex transform gives Z.
    if (in != out) {
        std::memmove(out, in, n * sizeof(float));
    }
    half_->transformComplex(out);

    const uint32_t h = n / 2;
    const uint32_t q = n / 4;
    float* z = out;

    // Split into the even-sample spectrum E (out[0 .. h-1]) and the odd-sample spectrum O
    // (out[h .. n-1]).
    for (uint32_t i = 1; i < q; ++i) {
        fftsteps::split(z, i, n);
    }

    // Special bins: E[0], O[0], E[q], O[q].
    const float z0Re = z[0];
    const float z0Im = z[1];
    const float zqRe = z[2 * q];
    const float zqIm = z[2 * q + 1];
    z[2 * (q + h)] = zqIm;
    z[2 * (q + h) + 1] = 0.0f;
    z[2 * q] = zqRe;
    z[2 * q + 1] = 0.0f;

    // Combine bins 0 and N/2.
    z[2 * h] = z0Re - z0Im;
    z[2 * h + 1] = 0.0f;
    z[0] = z0Re + z0Im;
    z[1] = 0.0f;

    // X[k] = E[k] + tw[k-1] O[k] for k = 1 .. h-1.
    const float* tw = twiddles_.data();
    for (uint32_t k = 1; k < h; ++k) {
        fftsteps::combine(z + 2 * k, z + 2 * (h + k), tw + 2 * (k - 1));
    }
}

void Fft::inverseReal(float* X, float* y) const {
    if (kernels_ != nullptr) {
        kernels_->inverseReal(tables_, X, y);
        return;
    }
    const uint32_t n = n_;
    if (n == 1) {
        y[0] = X[0];
        return;
    }
    if (n == 2) {
        y[0] = (X[0] + X[2]) / 2.0f;
        y[1] = (X[0] - X[2]) / 2.0f;
        return;
    }
    if (n == 0) {
        return;
    }

    const float scale = 1.0f / static_cast<float>(n);
    for (uint32_t k = 0; k <= n / 2; ++k) {
        fftsteps::hartley<false>(X, y, k, n, scale);
    }
    forwardReal(y, X);
    for (uint32_t k = 0; k <= n / 2; ++k) {
        fftsteps::hartley<true>(X, y, k, n, scale);
    }
}

} // namespace quorvane
