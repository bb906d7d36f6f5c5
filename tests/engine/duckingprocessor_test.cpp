// Tests of the ducking processor.

#include "engine/duckingprocessor.h"
#include "reference.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <vector>

using quorvane::DuckingProcessor;
using quorvane::testing::ReferenceDucker;

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Streams {
    std::vector<float> ch[2];
    size_t size() const { return ch[0].size(); }
};

std::vector<float> noise(size_t n, uint32_t seed, float amplitude = 1.0f) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> dist(-amplitude, amplitude);
    std::vector<float> x(n);
    for (float& v : x) {
        v = dist(rng);
    }
    return x;
}

Streams makeStreams(std::vector<float> key, std::vector<float> ducked) {
    Streams s;
    s.ch[0] = std::move(key);
    s.ch[1] = std::move(ducked);
    return s;
}

// Runs the whole input through any processor-like object, cutting it into blocks whose lengths
// come from next(); the last block is cut short.
template <class P>
Streams runBlocks(P& p, const Streams& in, const std::function<int32_t()>& next) {
    Streams out;
    out.ch[0].assign(in.size(), -777.0f);
    out.ch[1].assign(in.size(), -777.0f);
    size_t pos = 0;
    while (pos < in.size()) {
        const size_t len = std::min<size_t>(static_cast<size_t>(next()), in.size() - pos);
        const float* ins[2] = {in.ch[0].data() + pos, in.ch[1].data() + pos};
        float* outs[2] = {out.ch[0].data() + pos, out.ch[1].data() + pos};
        p.process(ins, outs, static_cast<int32_t>(len));
        pos += len;
    }
    return out;
}

template <class P> Streams runFixed(P& p, const Streams& in, int32_t block) {
    return runBlocks(p, in, [block] { return block; });
}

bool bitEqual(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

bool allFinite(const std::vector<float>& v, size_t from, size_t to) {
    for (size_t i = from; i < to; ++i) {
        if (!std::isfinite(v[i])) {
            return false;
        }
    }
    return true;
}

const float kRates[] = {22050.0f, 44100.0f, 96000.0f};

} // namespace

// --- Construction ----------------------------------------------------------------------------

TEST(DuckingProcessor, FrameLengthFollowsTheDesignRate) {
    EXPECT_EQ(DuckingProcessor::frameLengthFor(22050.0f), 1024u);
    EXPECT_EQ(DuckingProcessor::frameLengthFor(27999.0f), 1024u);
    EXPECT_EQ(DuckingProcessor::frameLengthFor(28000.0f), 2048u);
    EXPECT_EQ(DuckingProcessor::frameLengthFor(44100.0f), 2048u);
    EXPECT_EQ(DuckingProcessor::frameLengthFor(48000.0f), 2048u);
    EXPECT_EQ(DuckingProcessor::frameLengthFor(60000.0f), 2048u);
    EXPECT_EQ(DuckingProcessor::frameLengthFor(60001.0f), 4096u);
    EXPECT_EQ(DuckingProcessor::frameLengthFor(96000.0f), 4096u);
}

TEST(DuckingProcessor, ConstructionFixesSizesAndEndsWithAReset) {
    for (float rate : kRates) {
        DuckingProcessor p(rate);
        const uint32_t n = DuckingProcessor::frameLengthFor(rate);
        EXPECT_EQ(p.frameLength(), n);
        EXPECT_EQ(p.hop(), n / 8);
        EXPECT_EQ(p.window().size(), n);
        EXPECT_EQ(p.coefficients().size(), n / 2 + 1);
        EXPECT_EQ(p.keyState().size(), n / 2 + 1);
        for (float v : p.keyState()) {
            EXPECT_EQ(v, 0.0f);
        }
        EXPECT_EQ(p.designSampleRate(), rate);

        // The reset that ends construction: the frames count as holding N - H samples and H
        // finished ones stand ready, so a key impulse taken in first comes out N samples later.
        std::vector<float> key(2 * n, 0.0f);
        key[0] = 1.0f;
        const Streams out = runFixed(p, makeStreams(key, std::vector<float>(2 * n, 0.0f)), 64);
        for (uint32_t t = 0; t < 2 * n; ++t) {
            ASSERT_NEAR(out.ch[0][t], t == n ? 1.0f : 0.0f, 1e-6) << t;
        }
    }
}

TEST(DuckingProcessor, WindowIsAScaledRaisedCosineWhoseSquaresOverlapToOne) {
    for (float rate : kRates) {
        DuckingProcessor p(rate);
        ReferenceDucker ref(rate);
        const uint32_t n = p.frameLength();
        const uint32_t h = p.hop();
        const std::vector<float>& w = p.window();
        EXPECT_TRUE(bitEqual(w, ref.w));
        for (uint32_t i = 0; i < n; ++i) {
            const double want = (1.0 - std::cos(2.0 * kPi * (i + 0.5) / n)) / std::sqrt(12.0);
            ASSERT_NEAR(w[i], want, 1e-6) << i;
        }
        for (uint32_t i = 0; i < h; ++i) {
            double sum = 0.0;
            for (uint32_t k = 0; k < 8; ++k) {
                sum += static_cast<double>(w[i + k * h]) * w[i + k * h];
            }
            ASSERT_NEAR(sum, 1.0, 1e-6) << i;
        }
    }
}

TEST(DuckingProcessor, CoefficientsHaveTheirTellingValuesAt44100) {
    DuckingProcessor p(44100.0f);
    const std::vector<float>& c = p.coefficients();
    ASSERT_EQ(c.size(), 1025u);
    EXPECT_NEAR(c[0], 0.64134, 5e-6);
    EXPECT_EQ(c[10], c[0]);
    EXPECT_NEAR(c[50], 0.48658, 5e-6);
    EXPECT_NEAR(c[100], 0.28347, 5e-6);
    EXPECT_NEAR(c[464], 0.06932, 5e-6);
    EXPECT_NEAR(c[1024], 0.03203, 5e-6);
}

TEST(DuckingProcessor, CoefficientFloorAt48000) {
    DuckingProcessor p(48000.0f);
    EXPECT_NEAR(p.coefficients()[0], 0.67244, 5e-6);
}

TEST(DuckingProcessor, CoefficientsLieStrictlyBetweenZeroAndOneAndMatchTheFormula) {
    for (float rate : kRates) {
        DuckingProcessor p(rate);
        ReferenceDucker ref(rate);
        EXPECT_TRUE(bitEqual(p.coefficients(), ref.c));
        for (float v : p.coefficients()) {
            EXPECT_GT(v, 0.0f);
            EXPECT_LT(v, 1.0f);
        }
    }
}

TEST(DuckingProcessor, SampleRateChangeKeepsFrameLengthAndCoefficients) {
    DuckingProcessor p(44100.0f);
    const std::vector<float> before = p.coefficients();
    p.setDesignSampleRate(96000.0f);
    EXPECT_EQ(p.designSampleRate(), 96000.0f);
    EXPECT_EQ(p.frameLength(), 2048u);
    EXPECT_TRUE(bitEqual(p.coefficients(), before));
}

// --- The audio path --------------------------------------------------------------------------

TEST(DuckingProcessor, FirstHopIsExactlyZeroOnBothChannels) {
    for (float rate : kRates) {
        DuckingProcessor p(rate);
        const uint32_t n = p.frameLength();
        const Streams in = makeStreams(noise(2 * n, 1), noise(2 * n, 2));
        const Streams out = runFixed(p, in, 100);
        for (uint32_t i = 0; i < p.hop(); ++i) {
            ASSERT_EQ(out.ch[0][i], 0.0f) << i;
            ASSERT_EQ(out.ch[1][i], 0.0f) << i;
        }
        for (uint32_t i = p.hop(); i < n; ++i) {
            ASSERT_NEAR(out.ch[0][i], 0.0f, 1e-6) << i;
        }
    }
}

TEST(DuckingProcessor, KeyPassesThroughDelayedByExactlyN) {
    for (float rate : kRates) {
        DuckingProcessor p(rate);
        const uint32_t n = p.frameLength();
        const size_t len = 6 * n;
        const Streams in = makeStreams(noise(len, 3), noise(len, 4));
        const Streams out = runFixed(p, in, 512);
        for (size_t t = n; t < len; ++t) {
            ASSERT_NEAR(out.ch[0][t], in.ch[0][t - n], 2e-6) << "rate " << rate << " t " << t;
        }
    }
}

TEST(DuckingProcessor, SilentKeyLeavesChannelOneUntouchedButDelayed) {
    for (float rate : kRates) {
        const uint32_t n = DuckingProcessor::frameLengthFor(rate);
        const size_t len = 6 * n;
        const std::vector<float> x = noise(len, 5);
        DuckingProcessor ducked(rate);
        const Streams out = runFixed(ducked, makeStreams(std::vector<float>(len, 0.0f), x), 300);
        // Every gain is exactly 1, so channel 1 takes the same path as the key does.
        DuckingProcessor keyed(rate);
        const Streams asKey = runFixed(keyed, makeStreams(x, std::vector<float>(len, 0.0f)), 300);
        EXPECT_TRUE(bitEqual(out.ch[1], asKey.ch[0]));
        for (size_t t = n; t < len; ++t) {
            ASSERT_NEAR(out.ch[1][t], x[t - n], 2e-6) << t;
        }
        for (float v : ducked.keyState()) {
            ASSERT_EQ(v, 0.0f);
        }
    }
}

TEST(DuckingProcessor, SilentChannelOneStaysSilent) {
    DuckingProcessor p(44100.0f);
    const size_t len = 20000;
    const Streams out =
        runFixed(p, makeStreams(noise(len, 6, 10.0f), std::vector<float>(len, 0.0f)), 512);
    for (size_t t = 0; t < len; ++t) {
        ASSERT_EQ(out.ch[1][t], 0.0f) << t;
    }
}

namespace {

// An impulse in both channels at the same time: every frame that holds it has a flat spectrum in
// both channels, so the smoothed key K and the ducked magnitude D are the same in every bin and
// each frame's gain is one number, D / (K + D). Channel 1 then comes out as an impulse of
// a_d * sum over the eight frames of g * w^2. Returns {measured, modelled} with the model in
// double precision.
std::pair<double, double> impulseGain(float keyAmplitude, float duckedAmplitude,
                                      double* firstGain) {
    const float rate = 44100.0f;
    DuckingProcessor p(rate);
    const uint32_t n = p.frameLength();
    const uint32_t h = p.hop();
    const size_t len = 4 * n;
    const size_t t0 = 1000;
    std::vector<float> key(len, 0.0f), ducked(len, 0.0f);
    key[t0] = keyAmplitude;
    ducked[t0] = duckedAmplitude;
    const Streams out = runFixed(p, makeStreams(key, ducked), 64);

    // Frames complete after H, 2H, ... input samples and hold the N samples before that point.
    const std::vector<float>& w = p.window();
    double state = 0.0;
    double sum = 0.0;
    bool first = true;
    for (size_t end = h; end <= len; end += h) {
        if (end <= t0 || end > t0 + n) {
            continue;
        }
        const size_t pos = t0 + n - end;
        const double wp = w[pos];
        state += (wp * keyAmplitude - state) * 0.1;
        const double d = wp * duckedAmplitude;
        const double g = d / (state + d);
        if (first) {
            *firstGain = g;
            first = false;
        }
        sum += g * wp * wp;
    }
    for (size_t t = 0; t < len; ++t) {
        if (t != t0 + n) {
            EXPECT_NEAR(out.ch[1][t], 0.0f, 1e-6) << t;
        }
    }
    return {out.ch[1][t0 + n], duckedAmplitude * sum};
}

} // namespace

TEST(DuckingProcessor, SmoothedKeyEqualToTheDuckedMagnitudeHalvesTheBin) {
    // In the first frame that holds the impulses K = 0.1 * 10 * D = D.
    double g0 = 0.0;
    const auto [measured, modelled] = impulseGain(5.0f, 0.5f, &g0);
    EXPECT_NEAR(g0, 0.5, 1e-7);
    EXPECT_NEAR(measured, modelled, 1e-5 * std::abs(modelled));
    EXPECT_LT(measured, 0.5);
}

TEST(DuckingProcessor, SmoothedKeyThreeTimesTheDuckedMagnitudeQuartersTheBin) {
    double g0 = 0.0;
    const auto [measured, modelled] = impulseGain(15.0f, 0.5f, &g0);
    EXPECT_NEAR(g0, 0.25, 1e-7);
    EXPECT_NEAR(measured, modelled, 1e-5 * std::abs(modelled));
}

TEST(DuckingProcessor, KeyStateDecaysToExactlyZeroAndTheGainReturnsToOne) {
    const float rate = 44100.0f;
    const size_t burst = 4096;
    const size_t quiet = 130000; // about 500 hops: 0.9^500 takes any magnitude below 1e-20
    const size_t tail = 8192;
    const size_t len = burst + quiet + tail;
    std::vector<float> key(len, 0.0f), ducked(len, 0.0f);
    const std::vector<float> k = noise(burst, 7, 100.0f);
    std::copy(k.begin(), k.end(), key.begin());
    const std::vector<float> x = noise(tail, 8);
    std::copy(x.begin(), x.end(), ducked.begin() + burst + quiet);

    DuckingProcessor a(rate);
    const Streams outA = runFixed(a, makeStreams(key, ducked), 1000);
    for (float v : a.keyState()) {
        ASSERT_EQ(v, 0.0f);
    }
    DuckingProcessor b(rate);
    const Streams outB = runFixed(b, makeStreams(std::vector<float>(len, 0.0f), ducked), 1000);
    EXPECT_TRUE(bitEqual(outA.ch[1], outB.ch[1]));
}

TEST(DuckingProcessor, MatchesTheStraightforwardReference) {
    for (float rate : kRates) {
        const uint32_t n = DuckingProcessor::frameLengthFor(rate);
        const size_t len = 5 * n + 333;
        std::vector<float> key = noise(len, 9, 2.0f);
        const std::vector<float> ducked = noise(len, 10);
        for (size_t i = 0; i < len / 3; ++i) {
            key[i] *= 0.01f; // a quiet start, then the key takes over
        }
        const Streams in = makeStreams(key, ducked);
        DuckingProcessor p(rate);
        ReferenceDucker ref(rate);
        std::mt19937 rng(11);
        std::uniform_int_distribution<int32_t> lengths(1, static_cast<int32_t>(n));
        const Streams got = runBlocks(p, in, [&] { return lengths(rng); });
        const Streams want = runFixed(ref, in, 1);
        EXPECT_TRUE(bitEqual(got.ch[0], want.ch[0])) << rate;
        EXPECT_TRUE(bitEqual(got.ch[1], want.ch[1])) << rate;
        EXPECT_TRUE(bitEqual(p.keyState(), ref.state)) << rate;
    }
}

TEST(DuckingProcessor, OutputIsBitIdenticalForEveryWayOfCuttingBlocks) {
    const float rate = 44100.0f;
    DuckingProcessor probe(rate);
    const int32_t n = static_cast<int32_t>(probe.frameLength());
    const int32_t h = static_cast<int32_t>(probe.hop());
    const size_t len = 7 * n + 77;
    const Streams in = makeStreams(noise(len, 12, 3.0f), noise(len, 13));

    DuckingProcessor whole(rate);
    const Streams want = runFixed(whole, in, static_cast<int32_t>(len));
    for (int32_t block : {1, 7, h, n, 3 * n + 5}) {
        DuckingProcessor p(rate);
        const Streams got = runFixed(p, in, block);
        EXPECT_TRUE(bitEqual(got.ch[0], want.ch[0])) << "block " << block;
        EXPECT_TRUE(bitEqual(got.ch[1], want.ch[1])) << "block " << block;
    }
    for (uint32_t seed : {21u, 22u, 23u}) {
        DuckingProcessor p(rate);
        std::mt19937 rng(seed);
        std::uniform_int_distribution<int32_t> pick(0, 5);
        const int32_t menu[] = {1, 7, h, n, 3 * n + 5, 0};
        std::uniform_int_distribution<int32_t> any(0, 2 * n);
        const Streams got = runBlocks(p, in, [&] {
            const int32_t i = pick(rng);
            return i == 5 ? any(rng) : menu[i];
        });
        EXPECT_TRUE(bitEqual(got.ch[0], want.ch[0])) << "seed " << seed;
        EXPECT_TRUE(bitEqual(got.ch[1], want.ch[1])) << "seed " << seed;
    }
}

TEST(DuckingProcessor, InPlaceBuffersGiveTheSameResult) {
    const float rate = 48000.0f;
    const size_t len = 12000;
    const Streams in = makeStreams(noise(len, 14, 2.0f), noise(len, 15));
    DuckingProcessor separate(rate);
    const Streams want = runFixed(separate, in, 500);

    // Each channel's input buffer is its output buffer.
    DuckingProcessor same(rate);
    Streams io = in;
    for (size_t pos = 0; pos < len; pos += 500) {
        float* bufs[2] = {io.ch[0].data() + pos, io.ch[1].data() + pos};
        same.process(bufs, bufs, static_cast<int32_t>(std::min<size_t>(500, len - pos)));
    }
    EXPECT_TRUE(bitEqual(io.ch[0], want.ch[0]));
    EXPECT_TRUE(bitEqual(io.ch[1], want.ch[1]));

    // Crossed: input 0 is output 1 and input 1 is output 0.
    DuckingProcessor crossed(rate);
    Streams x = in;
    for (size_t pos = 0; pos < len; pos += 500) {
        const float* ins[2] = {x.ch[0].data() + pos, x.ch[1].data() + pos};
        float* outs[2] = {x.ch[1].data() + pos, x.ch[0].data() + pos};
        crossed.process(ins, outs, static_cast<int32_t>(std::min<size_t>(500, len - pos)));
    }
    EXPECT_TRUE(bitEqual(x.ch[1], want.ch[0]));
    EXPECT_TRUE(bitEqual(x.ch[0], want.ch[1]));
}

TEST(DuckingProcessor, ZeroLengthBlockChangesNothing) {
    const float rate = 44100.0f;
    const size_t len = 9000;
    const Streams in = makeStreams(noise(len, 16), noise(len, 17));
    DuckingProcessor plain(rate);
    const Streams want = runFixed(plain, in, 300);

    DuckingProcessor p(rate);
    float a[4] = {1.0f, 2.0f, 3.0f, 4.0f};
    float b[4] = {5.0f, 6.0f, 7.0f, 8.0f};
    float* outs[2] = {a, b};
    const float* ins[2] = {a, b};
    p.process(ins, outs, 0); // before any block
    Streams got;
    got.ch[0].resize(len);
    got.ch[1].resize(len);
    for (size_t pos = 0; pos < len; pos += 300) {
        const float* i2[2] = {in.ch[0].data() + pos, in.ch[1].data() + pos};
        float* o2[2] = {got.ch[0].data() + pos, got.ch[1].data() + pos};
        p.process(ins, outs, 0);
        p.process(ins, outs, -5); // a negative length counts as 0
        p.process(i2, o2, static_cast<int32_t>(std::min<size_t>(300, len - pos)));
    }
    EXPECT_EQ(a[0], 1.0f);
    EXPECT_EQ(a[3], 4.0f);
    EXPECT_EQ(b[0], 5.0f);
    EXPECT_EQ(b[3], 8.0f);
    EXPECT_TRUE(bitEqual(got.ch[0], want.ch[0]));
    EXPECT_TRUE(bitEqual(got.ch[1], want.ch[1]));
}

TEST(DuckingProcessor, LongerBlockThanEverBeforeIsProcessedCompletely) {
    const float rate = 44100.0f;
    const size_t len = 30000;
    const Streams in = makeStreams(noise(len, 18), noise(len, 19));
    DuckingProcessor whole(rate);
    const Streams want = runFixed(whole, in, 1);
    DuckingProcessor p(rate);
    std::vector<int32_t> lengths = {0, 10, 100, 5, 3000, 2999, 10000};
    size_t i = 0;
    const Streams got = runBlocks(p, in, [&] { return i < lengths.size() ? lengths[i++] : 20000; });
    EXPECT_TRUE(bitEqual(got.ch[0], want.ch[0]));
    EXPECT_TRUE(bitEqual(got.ch[1], want.ch[1]));
}

TEST(DuckingProcessor, NullInputReadsAsSilence) {
    const float rate = 44100.0f;
    const size_t len = 10000;
    const std::vector<float> x = noise(len, 20);
    const std::vector<float> zeros(len, 0.0f);
    DuckingProcessor explicitZeros(rate);
    const Streams want = runFixed(explicitZeros, makeStreams(zeros, x), 256);

    DuckingProcessor p(rate);
    Streams got = makeStreams(std::vector<float>(len), std::vector<float>(len));
    for (size_t pos = 0; pos < len; pos += 256) {
        const float* ins[2] = {nullptr, x.data() + pos};
        float* outs[2] = {got.ch[0].data() + pos, got.ch[1].data() + pos};
        p.process(ins, outs, static_cast<int32_t>(std::min<size_t>(256, len - pos)));
    }
    EXPECT_TRUE(bitEqual(got.ch[0], want.ch[0]));
    EXPECT_TRUE(bitEqual(got.ch[1], want.ch[1]));

    // A null input array is silence on both channels.
    DuckingProcessor none(rate);
    std::vector<float> o0(len, 1.0f), o1(len, 1.0f);
    float* outs[2] = {o0.data(), o1.data()};
    none.process(nullptr, outs, static_cast<int32_t>(len));
    for (size_t t = 0; t < len; ++t) {
        ASSERT_EQ(o0[t], 0.0f);
        ASSERT_EQ(o1[t], 0.0f);
    }
}

TEST(DuckingProcessor, NullOutputIsSkipped) {
    const float rate = 44100.0f;
    const size_t len = 10000;
    const Streams in = makeStreams(noise(len, 21), noise(len, 22));
    DuckingProcessor full(rate);
    const Streams want = runFixed(full, in, 1000);

    DuckingProcessor p(rate);
    std::vector<float> out1(len);
    for (size_t pos = 0; pos < len; pos += 1000) {
        const float* ins[2] = {in.ch[0].data() + pos, in.ch[1].data() + pos};
        float* outs[2] = {nullptr, out1.data() + pos};
        p.process(ins, outs, 1000);
    }
    EXPECT_TRUE(bitEqual(out1, want.ch[1]));

    // No outputs at all: nothing written, nothing crashes, and the stream goes on as it would.
    DuckingProcessor none(rate);
    const float* ins[2] = {in.ch[0].data(), in.ch[1].data()};
    none.process(ins, nullptr, 1000);
    std::vector<float> rest0(len - 1000), rest1(len - 1000);
    const float* restIn[2] = {in.ch[0].data() + 1000, in.ch[1].data() + 1000};
    float* restOut[2] = {rest0.data(), rest1.data()};
    none.process(restIn, restOut, static_cast<int32_t>(len - 1000));
    EXPECT_TRUE(bitEqual(rest0, std::vector<float>(want.ch[0].begin() + 1000, want.ch[0].end())));
    EXPECT_TRUE(bitEqual(rest1, std::vector<float>(want.ch[1].begin() + 1000, want.ch[1].end())));
}

TEST(DuckingProcessor, ResumeResetsTheCountsAndTheTailStillComesOut) {
    const float rate = 44100.0f;
    DuckingProcessor p(rate);
    ReferenceDucker ref(rate);
    const Streams a = makeStreams(noise(5000, 23), noise(5000, 24));
    const Streams b = makeStreams(std::vector<float>(6000, 0.0f), std::vector<float>(6000, 0.0f));
    runFixed(p, a, 333);
    runFixed(ref, a, 333);
    for (int round = 0; round < 3; ++round) {
        p.reset();
        ref.reset();
        const Streams small = makeStreams(noise(100, 30 + round), noise(100, 40 + round));
        EXPECT_TRUE(bitEqual(runFixed(p, small, 7).ch[1], runFixed(ref, small, 7).ch[1]));
    }
    p.reset();
    ref.reset();
    const Streams got = runFixed(p, b, 100);
    const Streams want = runFixed(ref, b, 100);
    EXPECT_TRUE(bitEqual(got.ch[0], want.ch[0]));
    EXPECT_TRUE(bitEqual(got.ch[1], want.ch[1]));
    bool tail = false;
    for (size_t t = 0; t < p.frameLength(); ++t) {
        tail = tail || got.ch[0][t] != 0.0f;
    }
    EXPECT_TRUE(tail);
}

// --- Samples that are not finite --------------------------------------------------------------

TEST(DuckingProcessor, NanInTheKeyDoesNotPoisonChannelOne) {
    const float rate = 44100.0f;
    const uint32_t n = DuckingProcessor::frameLengthFor(rate);
    const uint32_t h = n / 8;
    const size_t len = 12 * n;
    std::vector<float> key = noise(len, 25, 4.0f);
    const size_t first = 3 * n + 17;
    const size_t last = first + 50;
    for (size_t t = first; t <= last; ++t) {
        key[t] = (t % 2) ? std::numeric_limits<float>::quiet_NaN()
                         : std::numeric_limits<float>::infinity();
    }
    DuckingProcessor p(rate);
    const Streams out = runFixed(p, makeStreams(key, noise(len, 26)), 512);
    EXPECT_TRUE(allFinite(out.ch[1], last + n + h, len));
    EXPECT_TRUE(allFinite(out.ch[1], 0, len)); // the state is flushed, so never at all
    EXPECT_TRUE(allFinite(out.ch[0], last + 2 * n, len));
    bool ducking = false;
    for (float v : p.keyState()) {
        ASSERT_TRUE(std::isfinite(v));
        ducking = ducking || v > 0.0f;
    }
    EXPECT_TRUE(ducking); // the key is smoothed again once the bad samples have left the frame
}

TEST(DuckingProcessor, InfiniteKeyIsForgottenAfterTheFramesThatHoldIt) {
    const float rate = 96000.0f;
    const uint32_t n = DuckingProcessor::frameLengthFor(rate);
    const uint32_t h = n / 8;
    const size_t len = 8 * n;
    std::vector<float> key = noise(len, 27);
    const size_t bad = 2 * n;
    key[bad] = -std::numeric_limits<float>::infinity();
    DuckingProcessor p(rate);
    ReferenceDucker ref(rate);
    const Streams in = makeStreams(key, noise(len, 28));
    const Streams out = runFixed(p, in, 64);
    EXPECT_TRUE(allFinite(out.ch[1], bad + n + h, len));
    EXPECT_TRUE(allFinite(out.ch[0], bad + 2 * n, len));
    EXPECT_TRUE(bitEqual(out.ch[1], runFixed(ref, in, 64).ch[1]));
}

TEST(DuckingProcessor, NanInChannelOneLastsOnlyWhileItIsInAFrame) {
    const float rate = 44100.0f;
    const uint32_t n = DuckingProcessor::frameLengthFor(rate);
    const size_t len = 10 * n;
    std::vector<float> ducked = noise(len, 29);
    const size_t bad = 2 * n + 5;
    ducked[bad] = std::numeric_limits<float>::quiet_NaN();
    DuckingProcessor p(rate);
    const Streams out = runFixed(p, makeStreams(noise(len, 30), ducked), 300);
    EXPECT_FALSE(allFinite(out.ch[1], bad + n, bad + n + 1));
    EXPECT_TRUE(allFinite(out.ch[1], bad + 2 * n, len));
    EXPECT_TRUE(allFinite(out.ch[0], 0, len));
}

TEST(DuckingProcessor, ResumeAfterNanInTheKeyLeavesAWorkingInstance) {
    const float rate = 44100.0f;
    const uint32_t n = DuckingProcessor::frameLengthFor(rate);
    const uint32_t h = n / 8;
    std::vector<float> key = noise(3 * n, 31);
    key[n] = std::numeric_limits<float>::quiet_NaN();
    DuckingProcessor p(rate);
    runFixed(p, makeStreams(key, noise(3 * n, 32)), 256);
    p.reset();
    const size_t len = 4 * n;
    const Streams out = runFixed(p, makeStreams(noise(len, 33), noise(len, 34)), 256);
    // The bad sample is long gone from the frames (it was n + h samples before the reset).
    EXPECT_TRUE(allFinite(out.ch[1], 0, len));
    EXPECT_TRUE(allFinite(out.ch[0], n + h, len));
}
