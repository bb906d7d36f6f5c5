// Tests of the radix-2 transform.

#include "engine/fft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <random>
#include <vector>

using quorvane::Fft;

namespace {

constexpr double kPi = 3.14159265358979323846;

std::vector<float> randomSignal(uint32_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    std::vector<float> x(n);
    for (float& v : x) {
        v = dist(rng);
    }
    return x;
}

// Independent double-precision DFT with the forward (negative) exponent.
std::vector<std::complex<double>> dft(const std::vector<std::complex<double>>& x) {
    const size_t n = x.size();
    std::vector<std::complex<double>> roots(n);
    for (size_t k = 0; k < n; ++k) {
        const double a = -2.0 * kPi * static_cast<double>(k) / static_cast<double>(n);
        roots[k] = {std::cos(a), std::sin(a)};
    }
    std::vector<std::complex<double>> out(n);
    for (size_t k = 0; k < n; ++k) {
        std::complex<double> sum = 0.0;
        for (size_t j = 0; j < n; ++j) {
            sum += x[j] * roots[(k * j) % n];
        }
        out[k] = sum;
    }
    return out;
}

// L2 relative error of the first count complex values of got (interleaved floats).
double relativeError(const float* got, const std::vector<std::complex<double>>& want,
                     size_t count) {
    double err = 0.0;
    double norm = 0.0;
    for (size_t k = 0; k < count; ++k) {
        const std::complex<double> g(got[2 * k], got[2 * k + 1]);
        err += std::norm(g - want[k]);
        norm += std::norm(want[k]);
    }
    return norm == 0.0 ? std::sqrt(err) : std::sqrt(err / norm);
}

// Allowed L2 relative error for a single-precision radix-2 transform of length n.
double bound(uint32_t n) {
    return 2e-7 * (std::log2(static_cast<double>(n)) + 1.0);
}

std::vector<uint32_t> allSizes() {
    std::vector<uint32_t> sizes;
    for (uint32_t n = 1; n <= 4096; n *= 2) {
        sizes.push_back(n);
    }
    return sizes;
}

const uint32_t kEngineSizes[] = {1024, 2048, 4096};

} // namespace

TEST(Fft, StageCountIsLog2WithAMinimumOfOne) {
    Fft fft;
    fft.init(Fft::kReal, 1);
    EXPECT_EQ(fft.stageCount(), 1u);
    fft.init(Fft::kReal, 2);
    EXPECT_EQ(fft.stageCount(), 1u);
    fft.init(Fft::kComplex, 4);
    EXPECT_EQ(fft.stageCount(), 2u);
    fft.init(Fft::kReal, 4096);
    EXPECT_EQ(fft.stageCount(), 12u);
    EXPECT_EQ(fft.length(), 4096u);
}

TEST(Fft, ComplexTransformMatchesDoubleDftAtEverySize) {
    for (uint32_t n : allSizes()) {
        Fft fft;
        fft.init(Fft::kComplex, n);
        const std::vector<float> x = randomSignal(2 * n, n);
        std::vector<std::complex<double>> ref(n);
        for (uint32_t k = 0; k < n; ++k) {
            ref[k] = {x[2 * k], x[2 * k + 1]};
        }
        std::vector<float> y = x;
        fft.transformComplex(y.data());
        EXPECT_LT(relativeError(y.data(), dft(ref), n), bound(n)) << "n = " << n;
    }
}

TEST(Fft, ForwardRealMatchesDoubleDftAtEverySize) {
    for (uint32_t n : allSizes()) {
        Fft fft;
        fft.init(Fft::kReal, n);
        const std::vector<float> x = randomSignal(n, 100 + n);
        std::vector<std::complex<double>> ref(x.begin(), x.end());
        const auto want = dft(ref);
        std::vector<float> out(2 * n, 12345.0f);
        fft.forwardReal(x.data(), out.data());
        EXPECT_LT(relativeError(out.data(), want, n / 2 + 1), bound(n)) << "n = " << n;
        EXPECT_EQ(out[1], 0.0f) << "n = " << n;
        if (n >= 2) {
            EXPECT_EQ(out[n + 1], 0.0f) << "n = " << n; // imaginary part of bin N/2
        }
    }
}

TEST(Fft, InverseRealMatchesDoubleInverseDftAtEverySize) {
    for (uint32_t n : allSizes()) {
        Fft fft;
        fft.init(Fft::kReal, n);
        // A conjugate-symmetric spectrum given by its bins 0 .. N/2 (real at 0 and N/2).
        const std::vector<float> half = randomSignal(n + 2, 200 + n);
        std::vector<float> X(2 * n, 0.0f);
        for (uint32_t k = 0; k <= n / 2; ++k) {
            X[2 * k] = half[2 * k];
            X[2 * k + 1] = (k == 0 || 2 * k == n) ? 0.0f : half[2 * k + 1];
        }
        std::vector<std::complex<double>> full(n);
        for (uint32_t k = 0; k < n; ++k) {
            const uint32_t b = k <= n / 2 ? k : n - k;
            const std::complex<double> v(X[2 * b], X[2 * b + 1]);
            full[k] = k <= n / 2 ? v : std::conj(v);
        }
        // Inverse DFT via the forward one: x = conj(DFT(conj X)) / n.
        for (auto& v : full) {
            v = std::conj(v);
        }
        auto want = dft(full);
        for (auto& v : want) {
            v = std::conj(v) / static_cast<double>(n);
        }
        std::vector<float> y(n);
        fft.inverseReal(X.data(), y.data());
        double err = 0.0;
        double norm = 0.0;
        for (uint32_t k = 0; k < n; ++k) {
            err += (y[k] - want[k].real()) * (y[k] - want[k].real());
            norm += want[k].real() * want[k].real();
        }
        EXPECT_LT(std::sqrt(err / norm), bound(n)) << "n = " << n;
    }
}

TEST(Fft, RealLengthsOneAndTwoFollowTheSpecialCases) {
    Fft one;
    one.init(Fft::kReal, 1);
    float a1[1] = {3.5f};
    float o1[2] = {9.0f, 9.0f};
    one.forwardReal(a1, o1);
    EXPECT_EQ(o1[0], 3.5f);
    EXPECT_EQ(o1[1], 0.0f);
    float y1[1] = {0.0f};
    one.inverseReal(o1, y1);
    EXPECT_EQ(y1[0], 3.5f);

    Fft two;
    two.init(Fft::kReal, 2);
    float a2[2] = {3.0f, 1.0f};
    float o2[4] = {9.0f, 9.0f, 9.0f, 9.0f};
    two.forwardReal(a2, o2);
    EXPECT_EQ(o2[0], 4.0f);
    EXPECT_EQ(o2[1], 0.0f);
    EXPECT_EQ(o2[2], 2.0f);
    EXPECT_EQ(o2[3], 0.0f);
    float y2[2] = {0.0f, 0.0f};
    two.inverseReal(o2, y2);
    EXPECT_EQ(y2[0], 3.0f);
    EXPECT_EQ(y2[1], 1.0f);

    // In place as well.
    float inPlace[4] = {3.0f, 1.0f, 0.0f, 0.0f};
    two.forwardReal(inPlace, inPlace);
    EXPECT_EQ(inPlace[0], 4.0f);
    EXPECT_EQ(inPlace[2], 2.0f);
}

TEST(Fft, ImpulseGivesOneInEveryBin) {
    for (uint32_t n : allSizes()) {
        Fft fft;
        fft.init(Fft::kReal, n);
        std::vector<float> x(n, 0.0f);
        x[0] = 1.0f;
        std::vector<float> out(2 * n);
        fft.forwardReal(x.data(), out.data());
        for (uint32_t k = 0; k <= n / 2; ++k) {
            EXPECT_EQ(out[2 * k], 1.0f) << "n = " << n << ", bin " << k;
            EXPECT_EQ(out[2 * k + 1], 0.0f) << "n = " << n << ", bin " << k;
        }
    }
}

TEST(Fft, ConstantGivesNTimesItAtDcOnly) {
    for (uint32_t n : allSizes()) {
        Fft fft;
        fft.init(Fft::kReal, n);
        const float c = 0.75f;
        std::vector<float> x(n, c);
        std::vector<float> out(2 * n);
        fft.forwardReal(x.data(), out.data());
        EXPECT_FLOAT_EQ(out[0], c * static_cast<float>(n)) << "n = " << n;
        EXPECT_EQ(out[1], 0.0f);
        for (uint32_t k = 1; k <= n / 2; ++k) {
            EXPECT_NEAR(out[2 * k], 0.0f, 1e-6 * n) << "n = " << n << ", bin " << k;
            EXPECT_NEAR(out[2 * k + 1], 0.0f, 1e-6 * n) << "n = " << n << ", bin " << k;
        }
    }
}

TEST(Fft, CosineAndSineLandInTheirBin) {
    for (uint32_t n : kEngineSizes) {
        Fft fft;
        fft.init(Fft::kReal, n);
        for (uint32_t periods : {1u, 3u, 100u, n / 2 - 1}) {
            std::vector<float> c(n), s(n);
            for (uint32_t j = 0; j < n; ++j) {
                const double a = 2.0 * kPi * periods * j / n;
                c[j] = static_cast<float>(std::cos(a));
                s[j] = static_cast<float>(std::sin(a));
            }
            std::vector<float> C(2 * n), S(2 * n);
            fft.forwardReal(c.data(), C.data());
            fft.forwardReal(s.data(), S.data());
            const double tol = 2e-6 * n;
            for (uint32_t k = 0; k <= n / 2; ++k) {
                const double wantC = k == periods ? n / 2.0 : 0.0;
                const double wantS = k == periods ? -(n / 2.0) : 0.0;
                EXPECT_NEAR(C[2 * k], wantC, tol) << "n " << n << " k " << periods << " bin " << k;
                EXPECT_NEAR(C[2 * k + 1], 0.0, tol) << "n " << n << " bin " << k;
                EXPECT_NEAR(S[2 * k], 0.0, tol) << "n " << n << " bin " << k;
                EXPECT_NEAR(S[2 * k + 1], wantS, tol) << "n " << n << " bin " << k;
            }
        }
    }
}

TEST(Fft, RoundTripReturnsTheFrame) {
    for (uint32_t n : allSizes()) {
        Fft fft;
        fft.init(Fft::kReal, n);
        const std::vector<float> x = randomSignal(n, 300 + n);
        std::vector<float> X(2 * n);
        std::vector<float> y(n);
        fft.forwardReal(x.data(), X.data());
        fft.inverseReal(X.data(), y.data());
        for (uint32_t j = 0; j < n; ++j) {
            ASSERT_NEAR(y[j], x[j], 3e-6) << "n = " << n << ", sample " << j;
        }
    }
}

TEST(Fft, InPlaceForwardGivesTheSameBinsAsSeparateBuffers) {
    for (uint32_t n : allSizes()) {
        Fft fft;
        fft.init(Fft::kReal, n);
        const std::vector<float> x = randomSignal(n, 400 + n);
        std::vector<float> separate(2 * n);
        fft.forwardReal(x.data(), separate.data());
        std::vector<float> inPlace(2 * n);
        std::memcpy(inPlace.data(), x.data(), n * sizeof(float));
        fft.forwardReal(inPlace.data(), inPlace.data());
        ASSERT_EQ(std::memcmp(separate.data(), inPlace.data(), (n / 2 + 1) * 2 * sizeof(float)), 0)
            << "n = " << n;
    }
}

TEST(Fft, InverseUsesTheSpectrumAsWorkArea) {
    const uint32_t n = 1024;
    Fft fft;
    fft.init(Fft::kReal, n);
    const std::vector<float> x = randomSignal(n, 7);
    std::vector<float> X(2 * n);
    fft.forwardReal(x.data(), X.data());
    const std::vector<float> before = X;
    std::vector<float> y(n);
    fft.inverseReal(X.data(), y.data());
    EXPECT_NE(std::memcmp(before.data(), X.data(), (n + 2) * sizeof(float)), 0);
}

TEST(Fft, ConfiguringAgainGivesTheSameResultAsAFreshObject) {
    Fft reused;
    reused.init(Fft::kReal, 4096);
    reused.init(Fft::kComplex, 8);
    reused.init(Fft::kReal, 256);
    Fft fresh;
    fresh.init(Fft::kReal, 256);
    const std::vector<float> x = randomSignal(256, 9);
    std::vector<float> a(512), b(512);
    reused.forwardReal(x.data(), a.data());
    fresh.forwardReal(x.data(), b.data());
    EXPECT_EQ(std::memcmp(a.data(), b.data(), a.size() * sizeof(float)), 0);
}

TEST(Fft, TwiddleRecurrenceStaysAccurateAtTheLargestSize) {
    // A cosine at the highest bins checks the last twiddles, which the recurrence reaches last.
    const uint32_t n = 4096;
    Fft fft;
    fft.init(Fft::kReal, n);
    for (uint32_t periods : {2047u, 2046u, 1025u}) {
        std::vector<float> c(n);
        for (uint32_t j = 0; j < n; ++j) {
            c[j] = static_cast<float>(std::cos(2.0 * kPi * periods * j / n));
        }
        std::vector<float> C(2 * n);
        fft.forwardReal(c.data(), C.data());
        EXPECT_NEAR(C[2 * periods], n / 2.0, 1e-3) << periods;
    }
}
