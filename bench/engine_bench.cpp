// Engine benchmarks: ns per real transform for N = 1024, 2048, 4096, and the ducking processor's
// real-time factor (seconds of audio per second of CPU) at 44.1, 48 and 96 kHz with 512-sample
// blocks.

#include "engine/duckingprocessor.h"
#include "engine/fft.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace {

std::vector<float> noise(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    std::vector<float> x(n);
    for (float& v : x) {
        v = dist(rng);
    }
    return x;
}

void BM_ForwardReal(benchmark::State& state) {
    const uint32_t n = static_cast<uint32_t>(state.range(0));
    quorvane::Fft fft;
    fft.init(quorvane::Fft::kReal, n);
    const std::vector<float> in = noise(n, 1);
    std::vector<float> out(2 * n);
    for (auto _ : state) {
        fft.forwardReal(in.data(), out.data());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
}

void BM_InverseReal(benchmark::State& state) {
    const uint32_t n = static_cast<uint32_t>(state.range(0));
    quorvane::Fft fft;
    fft.init(quorvane::Fft::kReal, n);
    std::vector<float> spectrum(2 * n);
    fft.forwardReal(noise(n, 2).data(), spectrum.data());
    std::vector<float> work(2 * n);
    std::vector<float> out(n);
    for (auto _ : state) {
        // inverseReal uses its input as work area, so the bins are copied back each time; the
        // copy of N + 2 floats is timed with it (about 1 % of the transform).
        std::copy(spectrum.begin(), spectrum.begin() + n + 2, work.begin());
        fft.inverseReal(work.data(), out.data());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
}

void BM_Engine(benchmark::State& state) {
    const float rate = static_cast<float>(state.range(0));
    const int32_t block = 512;
    quorvane::DuckingProcessor engine(rate);
    engine.reserve(block);
    const size_t length = 1 << 16;
    const std::vector<float> key = noise(length, 3);
    const std::vector<float> ducked = noise(length, 4);
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

} // namespace

BENCHMARK(BM_ForwardReal)->Arg(1024)->Arg(2048)->Arg(4096);
BENCHMARK(BM_InverseReal)->Arg(1024)->Arg(2048)->Arg(4096);
BENCHMARK(BM_Engine)->Arg(44100)->Arg(48000)->Arg(96000)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
