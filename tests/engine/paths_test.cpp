// Every instruction-set path against the scalar reference, bit for bit, and the output against
// fingerprints of streams and tables recorded from the engine before it had vector paths.

#include "engine/duckingprocessor.h"
#include "engine/fft.h"
#include "engine/simd.h"
#include "signals.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

using quorvane::DuckingProcessor;
using quorvane::Fft;
using quorvane::simd::Path;
using namespace quorvane::testing;

namespace {

std::string name(Path path) {
    return quorvane::simd::pathName(path);
}

// FNV-1a of both output channels of the scene, 512-sample blocks, recorded from the scalar
// engine as it was before the vector paths existed (the same on Linux and Windows builds).
struct Fingerprint {
    float rate;
    uint64_t stream;
};
const Fingerprint kStreams[] = {
    {22050.0f, 0xabe9dbcf8c48c6b3ull},
    {44100.0f, 0x19a754ff0d9235cfull},
    {48000.0f, 0x448d36ed8ba4b80cull},
    {96000.0f, 0xe91a7009815ace2bull},
};
constexpr float kSceneSeconds = 4.5f;
constexpr uint32_t kSceneSeed = 12345;

uint64_t runScene(const DuckingScene& scene, float rate, Path path,
                  const std::function<int32_t()>& next) {
    DuckingProcessor p(rate, path);
    const size_t length = scene.key.size();
    std::vector<float> out0(length), out1(length);
    size_t pos = 0;
    while (pos < length) {
        const size_t n = std::min<size_t>(static_cast<size_t>(next()), length - pos);
        const float* in[2] = {scene.key.data() + pos, scene.ducked.data() + pos};
        float* out[2] = {out0.data() + pos, out1.data() + pos};
        p.process(in, out, static_cast<int32_t>(n));
        pos += n;
    }
    return fnv1a(out1, fnv1a(out0));
}

} // namespace

TEST(Paths, ScalarAndSse2AreAlwaysAvailableAndTheDefaultIsTheWidest) {
    const std::vector<Path> paths = quorvane::simd::availablePaths();
    ASSERT_GE(paths.size(), 2u);
    EXPECT_EQ(paths[0], Path::kScalar);
    EXPECT_EQ(paths[1], Path::kSse2);
    EXPECT_EQ(quorvane::simd::bestPath(), paths.back());
    for (Path path : paths) {
        std::printf("path %s available\n", quorvane::simd::pathName(path));
    }
    // A transform configured without a path takes the widest.
    Fft fft;
    fft.init(Fft::kReal, 1024);
    ASSERT_NE(fft.kernels(), nullptr);
    EXPECT_EQ(fft.kernels()->path, paths.back());
}

TEST(Paths, WindowAndCoefficientTablesAreTheSameOnEveryBuild) {
    // FNV-1a of the float bits; the maths libraries of the platforms differ in the last bits of
    // some double results, and these prove that the tables rounded to float do not.
    struct Tables {
        float rate;
        uint64_t window;
        uint64_t coefficients;
    };
    const Tables expected[] = {
        {22050.0f, 0x0cb63677524f027dull, 0x7763618cbc245e07ull},
        {44100.0f, 0x802e17ee36383e59ull, 0xbf0addb81be2d6dcull},
        {48000.0f, 0x802e17ee36383e59ull, 0x0d50b63922bd59b2ull},
        {88200.0f, 0x571a4fc9340113c1ull, 0x74fad4129770cfb7ull},
        {96000.0f, 0x571a4fc9340113c1ull, 0xf237a5770c66ebb1ull},
    };
    for (const Tables& t : expected) {
        const DuckingProcessor p(t.rate);
        EXPECT_EQ(fnv1a(p.window()), t.window) << t.rate;
        EXPECT_EQ(fnv1a(p.coefficients()), t.coefficients) << t.rate;
    }
}

TEST(Paths, RealTransformsOfEveryPathMatchTheScalarPathBitForBit) {
    // Lengths around the smallest vector length, where the remainder loops take part, and the
    // engine's three.
    const uint32_t lengths[] = {32, 64, 128, 256, 1024, 2048, 4096};
    for (const uint32_t n : lengths) {
        Fft scalar;
        scalar.init(Fft::kReal, n, Path::kScalar);
        for (Path path : quorvane::simd::availablePaths()) {
            Fft fft;
            fft.init(Fft::kReal, n, path);
            EXPECT_EQ(fft.kernels() != nullptr, path != Path::kScalar && n >= 64)
                << name(path) << " N=" << n;
            Noise noise(n * 31 + static_cast<uint32_t>(path));
            for (int frame = 0; frame < 40; ++frame) {
                std::vector<float> in(n);
                for (float& v : in) {
                    v = noise.uniform() * (frame % 4 == 0 ? 1e30f : 1.0f);
                }
                std::vector<float> want(2 * n, -1.0f), got(2 * n, -2.0f);
                scalar.forwardReal(in.data(), want.data());
                fft.forwardReal(in.data(), got.data());
                ASSERT_EQ(0, std::memcmp(want.data(), got.data(), want.size() * sizeof(float)))
                    << "forwardReal " << name(path) << " N=" << n << " frame " << frame;

                // In place, the input given as the output.
                std::vector<float> same(2 * n, -3.0f);
                std::copy(in.begin(), in.end(), same.begin());
                fft.forwardReal(same.data(), same.data());
                ASSERT_EQ(0, std::memcmp(want.data(), same.data(), want.size() * sizeof(float)))
                    << "forwardReal in place " << name(path) << " N=" << n;

                // The inverse of a spectrum with real gains, as the engine makes them; the
                // whole work area must come out the same too.
                for (uint32_t k = 0; k <= n / 2; ++k) {
                    const float g = 0.5f + 0.5f * noise.uniform();
                    want[2 * k] *= g;
                    want[2 * k + 1] *= g;
                }
                std::vector<float> spectrum = want;
                std::vector<float> yWant(n, -1.0f), yGot(n, -2.0f);
                scalar.inverseReal(want.data(), yWant.data());
                fft.inverseReal(spectrum.data(), yGot.data());
                ASSERT_EQ(0, std::memcmp(yWant.data(), yGot.data(), n * sizeof(float)))
                    << "inverseReal " << name(path) << " N=" << n << " frame " << frame;
                ASSERT_EQ(0, std::memcmp(want.data(), spectrum.data(), want.size() * sizeof(float)))
                    << "inverseReal work area " << name(path) << " N=" << n;
            }
        }
    }
}

TEST(Paths, EngineStreamsOfEveryPathAndBlockPatternMatchTheRecordedOnes) {
    for (const Fingerprint& fp : kStreams) {
        const DuckingScene scene(fp.rate, kSceneSeconds, kSceneSeed);
        for (Path path : quorvane::simd::availablePaths()) {
            for (const int32_t block : {1, 7, 256, 512, 4096}) {
                EXPECT_EQ(runScene(scene, fp.rate, path, [block] { return block; }), fp.stream)
                    << name(path) << " " << fp.rate << " Hz, blocks of " << block;
            }
            Noise lengths(static_cast<uint32_t>(fp.rate) + static_cast<uint32_t>(path));
            EXPECT_EQ(
                runScene(scene, fp.rate, path,
                         [&lengths] { return static_cast<int32_t>(lengths.next() % 3000) + 1; }),
                fp.stream)
                << name(path) << " " << fp.rate << " Hz, random blocks";
        }
    }
}

// A reset (the host's suspend and resume) keeps the buffers, so what the frame steps leave in
// them outside the live samples comes out after it: every path must leave there what the scalar
// one does, whichever blocks came before.
TEST(Paths, ResetsBetweenBlocksOfAnyLengthGiveTheScalarPathsStream) {
    for (const float rate : {22050.0f, 48000.0f, 96000.0f}) {
        const DuckingScene scene(rate, 2.0f, kSceneSeed);
        auto run = [&](Path path) {
            DuckingProcessor p(rate, path);
            Noise draws(static_cast<uint32_t>(rate));
            const size_t length = scene.key.size();
            std::vector<float> out0(length), out1(length);
            for (size_t pos = 0; pos < length;) {
                if (draws.next() % 3 == 0) {
                    p.reset();
                }
                const size_t n = std::min<size_t>(draws.next() % 2500 + 1, length - pos);
                const float* in[2] = {scene.key.data() + pos, scene.ducked.data() + pos};
                float* out[2] = {out0.data() + pos, out1.data() + pos};
                p.process(in, out, static_cast<int32_t>(n));
                pos += n;
            }
            return fnv1a(out1, fnv1a(out0));
        };
        const uint64_t want = run(Path::kScalar);
        for (Path path : quorvane::simd::availablePaths()) {
            EXPECT_EQ(run(path), want) << name(path) << " " << rate << " Hz";
        }
    }
}
