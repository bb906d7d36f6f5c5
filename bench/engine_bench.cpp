// Engine benchmarks, for every instruction-set path the processor has: ns per real transform for
// N = 1024, 2048, 4096, and the ducking processor's real-time factor (seconds of audio per second
// of CPU) at 44.1, 48 and 96 kHz with blocks of 64, 512 and 4096 samples; beside them the same
// engine on FFTW's transforms. --path=NAME (scalar, sse2, avx2, avx512) keeps one path.

#include "engine/duckingprocessor.h"
#include "engine/fft.h"
#include "engine/simd.h"
#include "fftwducker.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using quorvane::simd::Path;

std::vector<float> noise(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    std::vector<float> x(n);
    for (float& v : x) {
        v = dist(rng);
    }
    return x;
}

void forwardReal(benchmark::State& state, Path path, uint32_t n) {
    quorvane::Fft fft;
    fft.init(quorvane::Fft::kReal, n, path);
    const std::vector<float> in = noise(n, 1);
    std::vector<float> out(2 * n);
    for (auto _ : state) {
        fft.forwardReal(in.data(), out.data());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
}

void inverseReal(benchmark::State& state, Path path, uint32_t n) {
    quorvane::Fft fft;
    fft.init(quorvane::Fft::kReal, n, path);
    std::vector<float> spectrum(2 * n);
    fft.forwardReal(noise(n, 2).data(), spectrum.data());
    std::vector<float> work(2 * n);
    std::vector<float> out(n);
    for (auto _ : state) {
        // inverseReal uses its input as work area, so the bins are copied back each time; the
        // copy of N + 2 floats is timed with it (about 1 % of the scalar transform).
        std::copy(spectrum.begin(), spectrum.begin() + n + 2, work.begin());
        fft.inverseReal(work.data(), out.data());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
}

// Runs any engine-like object over noise in blocks and reports the real-time factor.
template <class Engine>
void runEngine(benchmark::State& state, Engine& engine, float rate, int32_t block) {
    const size_t length = 1 << 17;
    const std::vector<float> key = noise(length + block, 3);
    const std::vector<float> ducked = noise(length + block, 4);
    std::vector<float> out0(block), out1(block);
    float* outs[2] = {out0.data(), out1.data()};
    size_t pos = 0;
    for (auto _ : state) {
        const float* ins[2] = {key.data() + pos, ducked.data() + pos};
        engine.process(ins, outs, block);
        benchmark::DoNotOptimize(out1.data());
        pos = (pos + block) % length;
    }
    state.SetItemsProcessed(state.iterations() * block);
    // Seconds of audio per second of CPU: a rate counter divides by the CPU time.
    state.counters["realtime_factor"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * block / rate, benchmark::Counter::kIsRate);
}

void engine(benchmark::State& state, Path path, float rate, int32_t block) {
    quorvane::DuckingProcessor processor(rate, path);
    processor.reserve(block);
    runEngine(state, processor, rate, block);
}

void fftwEngine(benchmark::State& state, float rate, int32_t block) {
    quorvane::bench::FftwDucker ducker(rate);
    struct Adapter {
        quorvane::bench::FftwDucker& d;
        void process(const float* const* in, float* const* out, int32_t n) {
            d.process(in, out, static_cast<uint32_t>(n));
        }
    } adapter{ducker};
    runEngine(state, adapter, rate, block);
}

} // namespace

int main(int argc, char** argv) {
    std::string only;
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--path=", 7) == 0) {
            only = argv[i] + 7;
        } else {
            args.push_back(argv[i]);
        }
    }
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());

    const float rates[] = {44100.0f, 48000.0f, 96000.0f};
    const int32_t blocks[] = {64, 512, 4096};
    for (Path path : quorvane::simd::availablePaths()) {
        const std::string name = quorvane::simd::pathName(path);
        if (!only.empty() && only != name) {
            continue;
        }
        for (uint32_t n : {1024u, 2048u, 4096u}) {
            benchmark::RegisterBenchmark(("ForwardReal/" + name + "/" + std::to_string(n)).c_str(),
                                         forwardReal, path, n);
            benchmark::RegisterBenchmark(("InverseReal/" + name + "/" + std::to_string(n)).c_str(),
                                         inverseReal, path, n);
        }
        for (float rate : rates) {
            for (int32_t block : blocks) {
                benchmark::RegisterBenchmark(("Engine/" + name + "/" +
                                              std::to_string(static_cast<int>(rate)) + "/" +
                                              std::to_string(block))
                                                 .c_str(),
                                             engine, path, rate, block)
                    ->Unit(benchmark::kMicrosecond);
            }
        }
    }
    if (only.empty() || only == "fftw") {
        for (float rate : rates) {
            for (int32_t block : blocks) {
                benchmark::RegisterBenchmark(("Engine/fftw/" +
                                              std::to_string(static_cast<int>(rate)) + "/" +
                                              std::to_string(block))
                                                 .c_str(),
                                             fftwEngine, rate, block)
                    ->Unit(benchmark::kMicrosecond);
            }
        }
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
