// Rendering long files with the built quorvane tool: its real-time factor and its peak memory,
// for a 10-minute and a 10-second stereo 48 kHz file, so that constant memory shows as equal
// peaks, for a 10-minute mono file, and for a batch of 20 one-minute stereo files. The files are
// generated on the fly in a scratch folder and removed afterwards.
//
// The tool runs as a child process; its peak resident set comes from the kernel's accounting
// of the child (wait4).

#include <benchmark/benchmark.h>
#include <sndfile.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr int kRate = 48000;

// Writes seconds of audio second by second: the key is noise bursts (half a second on, half
// off), the input a chord of three tones over soft noise, different on each side.
void generate(const std::string& path, int channels, int seconds, bool key) {
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) throw std::runtime_error("cannot write " + path);
    std::vector<float> block(size_t(kRate) * channels);
    uint32_t noise = 1;
    for (int s = 0; s < seconds; ++s) {
        for (int i = 0; i < kRate; ++i) {
            const double t = s + double(i) / kRate;
            for (int c = 0; c < channels; ++c) {
                noise = noise * 1664525u + 1013904223u;
                const double white = double(noise >> 8) / 8388608.0 - 1.0;
                double v = 0.0;
                if (key) {
                    v = (i < kRate / 2) ? 0.5 * white : 0.0;
                } else {
                    for (double f : {220.0, 277.2, 329.6})
                        v += 0.08 * std::sin(2 * M_PI * f * t + c);
                    v += 0.05 * white;
                }
                block[size_t(i) * channels + c] = static_cast<float>(v);
            }
        }
        sf_writef_float(file, block.data(), kRate);
    }
    sf_close(file);
}

// The tool beside the benchmarks, or QUORVANE_TOOL (to time another build in the same run).
std::string toolPath() {
    if (const char* tool = std::getenv("QUORVANE_TOOL"); tool != nullptr && *tool != '\0') {
        return tool;
    }
    return (fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "quorvane").string();
}

// The generated files, removed with the folder: a mono key and inputs of the given channels,
// all of one length.
class Material {
public:
    Material(int seconds, int channels, int inputs = 1) {
        std::string pattern = (fs::temp_directory_path() / "quorvane-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a scratch folder");
        folder_ = pattern;
        fs::create_directory(folder_ / "out");
        generate(key(), 1, seconds, true);
        for (int i = 0; i < inputs; ++i)
            generate(input(i), channels, seconds, false);
    }
    ~Material() {
        std::error_code error;
        fs::remove_all(folder_, error);
    }
    std::string key() const { return (folder_ / "key.wav").string(); }
    std::string input(int i = 0) const {
        return (folder_ / ("input" + std::to_string(i) + ".wav")).string();
    }
    std::string output() const { return (folder_ / "ducked.wav").string(); }
    std::string outputFolder() const { return (folder_ / "out").string(); }

private:
    fs::path folder_;
};

struct ChildRun {
    int status = -1;
    double seconds = 0.0;
    double cpuSeconds = 0.0;
    long peakKiB = 0;
};

ChildRun runTool(const std::vector<std::string>& args) {
    std::vector<std::string> all = {toolPath()};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    const auto start = std::chrono::steady_clock::now();
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        throw std::runtime_error("cannot start " + all[0]);
    ChildRun run;
    rusage usage{};
    wait4(pid, &run.status, 0, &usage);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.peakKiB = usage.ru_maxrss;
    run.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     1e-6 * static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
    return run;
}

void runAndCount(benchmark::State& state, const std::vector<std::string>& args, double seconds) {
    ChildRun run;
    for (auto _ : state) {
        run = runTool(args);
        if (run.status != 0) {
            state.SkipWithError("quorvane render failed");
            return;
        }
        state.SetIterationTime(run.seconds);
    }
    state.counters["audio_s"] = seconds;
    // Seconds of audio per second of processing, as the engine benchmark reports it.
    state.counters["real_time_factor"] = seconds / run.seconds;
    // The same per second of the child's CPU time, which other load on the machine leaves alone.
    state.counters["cpu_real_time_factor"] = seconds / run.cpuSeconds;
    state.counters["peak_rss_MiB"] = double(run.peakKiB) / 1024.0;
}

std::vector<std::string> withJobs(std::vector<std::string> args, int64_t jobs) {
    if (jobs > 0) args.insert(args.end(), {"--jobs", std::to_string(jobs)});
    return args;
}

// range(0): seconds of audio; range(1): threads (--jobs), 0 for the default of one per core;
// range(2): channels.
void renderFile(benchmark::State& state) {
    const int seconds = static_cast<int>(state.range(0));
    const Material material(seconds, static_cast<int>(state.range(2)));
    runAndCount(
        state,
        withJobs({"render", material.key(), material.input(), "-o", material.output(), "--quiet"},
                 state.range(1)),
        seconds);
}

// 20 stereo files of range(0) seconds under one key into a folder; range(1) as above.
void renderBatch(benchmark::State& state) {
    constexpr int kFiles = 20;
    const int seconds = static_cast<int>(state.range(0));
    const Material material(seconds, 2, kFiles);
    std::vector<std::string> args = {"render", material.key()};
    for (int i = 0; i < kFiles; ++i)
        args.push_back(material.input(i));
    args.insert(args.end(), {"--output-dir", material.outputFolder(), "--quiet"});
    runAndCount(state, withJobs(args, state.range(1)), double(seconds) * kFiles);
}

} // namespace

// One run per repetition: the long render takes several seconds. One thread against one per
// core, for 10 minutes and for 10 seconds of stereo audio (memory must not grow with the
// length), and for 10 minutes of mono.
BENCHMARK(renderFile)
    ->ArgNames({"seconds", "jobs", "channels"})
    ->Args({600, 1, 2})
    ->Args({600, 0, 2})
    ->Args({10, 1, 2})
    ->Args({10, 0, 2})
    ->Args({600, 1, 1})
    ->Args({600, 0, 1})
    ->Iterations(1)
    ->Repetitions(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

BENCHMARK(renderBatch)
    ->ArgNames({"seconds", "jobs"})
    ->Args({60, 1})
    ->Args({60, 0})
    ->Iterations(1)
    ->Repetitions(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
