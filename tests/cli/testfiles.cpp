#include "testfiles.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace fs = std::filesystem;

namespace clitest {

ScratchFolder::ScratchFolder() {
    std::string pattern = (fs::temp_directory_path() / "quorvane-cli-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a scratch folder");
    root_ = pattern;
}

ScratchFolder::~ScratchFolder() {
    std::error_code error;
    fs::remove_all(root_, error);
}

std::vector<std::string> ScratchFolder::entries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(root_))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void writeAudio(const std::string& path, const Audio& audio) {
    SF_INFO info{};
    info.samplerate = audio.sampleRate;
    info.channels = audio.channels;
    info.format = audio.format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) throw std::runtime_error("cannot write " + path + ": " + sf_strerror(nullptr));
    // Integer files: left-aligned integers so that the stored values are exactly the given ones.
    std::vector<int> integers(audio.samples.size());
    for (size_t i = 0; i < integers.size(); ++i)
        integers[i] = static_cast<int>(std::clamp(std::nearbyint(audio.samples[i] * 2147483648.0),
                                                  -2147483648.0, 2147483647.0));
    const bool isFloat = (audio.format & SF_FORMAT_SUBMASK) == SF_FORMAT_FLOAT;
    if (isFloat)
        sf_writef_float(file, audio.samples.data(), static_cast<sf_count_t>(audio.frames()));
    else
        sf_writef_int(file, integers.data(), static_cast<sf_count_t>(audio.frames()));
    sf_close(file);
}

Audio readAudio(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) throw std::runtime_error("cannot read " + path + ": " + sf_strerror(nullptr));
    Audio audio;
    audio.sampleRate = info.samplerate;
    audio.channels = info.channels;
    audio.format = info.format;
    const size_t count = static_cast<size_t>(info.frames) * info.channels;
    audio.samples.resize(count);
    const int subtype = info.format & SF_FORMAT_SUBMASK;
    if (subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE) {
        sf_readf_float(file, audio.samples.data(), info.frames);
    } else {
        std::vector<int> integers(count);
        sf_readf_int(file, integers.data(), info.frames);
        for (size_t i = 0; i < count; ++i)
            audio.samples[i] = static_cast<float>(integers[i] / 2147483648.0);
    }
    sf_close(file);
    return audio;
}

void writeText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

bool exists(const std::string& path) {
    std::error_code error;
    return fs::exists(path, error);
}

std::vector<float> noise(size_t count, float amplitude, uint32_t seed) {
    std::vector<float> out(count);
    uint32_t state = seed;
    for (float& sample : out) {
        state = state * 1664525u + 1013904223u;
        sample = amplitude * (static_cast<float>(state >> 8) / 8388608.0f - 1.0f);
    }
    return out;
}

std::vector<float> sine(size_t count, double frequency, double sampleRate, float amplitude) {
    std::vector<float> out(count);
    for (size_t i = 0; i < count; ++i)
        out[i] = amplitude * static_cast<float>(std::sin(2.0 * M_PI * frequency * i / sampleRate));
    return out;
}

std::vector<float> interleave(const std::vector<std::vector<float>>& channels) {
    std::vector<float> out;
    for (size_t i = 0; i < channels.front().size(); ++i)
        for (const auto& channel : channels)
            out.push_back(channel[i]);
    return out;
}

std::string toolPath() {
    // Another build of the tool may be tried against the same tests.
    if (const char* other = std::getenv("QUORVANE_TEST_TOOL")) return other;
    return QUORVANE_TOOL;
}
std::string quorvaneModule() {
    return QUORVANE_MODULE;
}
std::string fakeModule(const std::string& name) {
    return std::string(FAKE_MODULE_DIR) + "/" + name + ".so";
}

namespace {

// The tool followed by args, and the same as execv's argument vector (pointing into `all`).
std::vector<std::string> toolCommand(const std::vector<std::string>& args) {
    std::vector<std::string> all = {toolPath()};
    all.insert(all.end(), args.begin(), args.end());
    return all;
}
std::vector<char*> argvOf(std::vector<std::string>& all) {
    std::vector<char*> argv;
    for (std::string& arg : all)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    return argv;
}

} // namespace

pid_t startTool(const std::vector<std::string>& args, const std::string& outPath,
                const std::string& errPath) {
    std::vector<std::string> all = toolCommand(args);
    std::vector<char*> argv = argvOf(all);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    const int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) throw std::runtime_error("cannot start " + toolPath());
    return pid;
}

int waitTool(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return WEXITSTATUS(status);
}

ToolRun runTool(const std::vector<std::string>& args) {
    return runTool(args, ChildSetup{});
}

} // namespace clitest

namespace clitest {

ToolRun runTool(const std::vector<std::string>& args, const ChildSetup& setup) {
    // The captured streams live beside the test's scratch files, not in them.
    const ScratchFolder streams;
    const std::string outPath = streams.path("out.txt");
    const std::string errPath = streams.path("err.txt");
    std::vector<std::string> all = toolCommand(args);
    std::vector<char*> argv = argvOf(all);
    const int out = setup.standardOutput >= 0
                        ? setup.standardOutput
                        : open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);

    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        if (setup.fileSizeLimit >= 0) {
            const rlimit limit{rlim_t(setup.fileSizeLimit), rlim_t(setup.fileSizeLimit)};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        if (setup.switchUser && (setgid(setup.uid) != 0 || setuid(setup.uid) != 0)) _exit(126);
        if (!setup.folder.empty() && chdir(setup.folder.c_str()) != 0) _exit(126);
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (setup.standardOutput < 0) close(out);
    close(err);
    ToolRun run;
    run.exitCode = waitTool(pid);
    if (setup.standardOutput < 0) run.out = readText(outPath);
    run.err = readText(errPath);
    return run;
}

} // namespace clitest
