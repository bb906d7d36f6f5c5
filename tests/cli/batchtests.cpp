// Batches: one key, several inputs, each written under its own name in one folder. The outputs
// are what single renders give, an input that fails is set aside while the others are written,
// and a refusal of the whole batch leaves the folder as it was.

#include "testfiles.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <unistd.h>

using namespace clitest;

namespace {

constexpr int kPcm16Wav = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
constexpr int kPcm24Wav = SF_FORMAT_WAV | SF_FORMAT_PCM_24;

// Noise on 8-bit steps, which every integer depth holds exactly.
Audio steppedNoise(int channels, size_t frames, int format, uint32_t seed) {
    Audio audio;
    audio.channels = channels;
    audio.sampleRate = 48000;
    audio.format = format;
    audio.samples = noise(frames * channels, 0.5f, seed);
    for (float& s : audio.samples)
        s = std::nearbyint(s * 128.0f) / 128.0f;
    return audio;
}

std::vector<std::string> listFolder(const std::string& path) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class Batches : public ::testing::Test {
protected:
    ScratchFolder folder;
    std::string key = folder.path("key.wav");
    std::string out = folder.path("out");
    std::string delay = fakeModule("fake_delay");

    Batches() {
        writeAudio(key, steppedNoise(1, 3000, kPcm16Wav, 1));
        mkdir(out.c_str(), 0755);
        mkdir(folder.path("in").c_str(), 0755);
        mkdir(folder.path("other").c_str(), 0755);
    }

    std::string in(const std::string& name) const { return folder.path("in/" + name); }

    ToolRun render(std::vector<std::string> args, const std::string& module = "") {
        args.insert(args.begin(), {"render", "--plugin", module.empty() ? delay : module});
        return runTool(args);
    }
};

} // namespace

TEST_F(Batches, EachInputIsWrittenUnderItsOwnNameAsASingleRenderWritesIt) {
    writeAudio(in("a.wav"), steppedNoise(2, 3000, kPcm24Wav, 2));
    writeAudio(in("b.flac"), steppedNoise(1, 2000, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 3));
    writeAudio(in("c"), steppedNoise(3, 2500, kPcm16Wav, 4));
    const struct {
        std::vector<std::string> format;
        std::vector<std::pair<std::string, int>> written; // name in DIR, format
    } cases[] = {
        {{},
         {{"a.wav", kPcm24Wav}, {"b.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16}, {"c", kPcm16Wav}}},
        {{"--format", "flac"},
         {{"a.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24},
          {"b.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
          {"c.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16}}},
        {{"--format", ".aiff"},
         {{"a.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_24},
          {"b.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16},
          {"c.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16}}},
    };
    for (const auto& c : cases) {
        ScratchFolder dir;
        std::vector<std::string> args = {key,     in("a.wav"),    in("b.flac"),
                                         in("c"), "--output-dir", dir.path("")};
        args.insert(args.end(), c.format.begin(), c.format.end());
        const ToolRun run = render(args);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.err, "");
        // One summary line for the batch.
        EXPECT_EQ(
            run.out.find(dir.path("") + ": 3 of 3 files written, 0.16 s of audio; rendered in "),
            0u)
            << run.out;
        EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1) << run.out;

        std::vector<std::string> names;
        for (const auto& [name, format] : c.written)
            names.push_back(name);
        std::sort(names.begin(), names.end());
        ASSERT_EQ(dir.entries(), names);
        for (size_t i = 0; i < c.written.size(); ++i) {
            const auto& [name, format] = c.written[i];
            const Audio batch = readAudio(dir.path(name));
            EXPECT_EQ(batch.format, format) << name;
            // The same samples as the input rendered on its own.
            const std::string single =
                folder.path("single." + std::string(i == 2 ? "wav" : "flac"));
            const std::string input = in(i == 0 ? "a.wav" : i == 1 ? "b.flac" : "c");
            ASSERT_EQ(render({key, input, "-o", single, "--quiet"}).exitCode, 0);
            EXPECT_EQ(batch.samples, readAudio(single).samples) << name;
        }
    }
}

TEST_F(Batches, AFailingInputIsNamedAtTheEndWhileTheOthersAreWritten) {
    writeAudio(in("first.wav"), steppedNoise(2, 3000, kPcm16Wav, 5));
    writeText(in("text.wav"), "not audio at all");
    writeAudio(in("last.wav"), steppedNoise(1, 3000, kPcm16Wav, 6));
    const ToolRun run = render({key, in("first.wav"), in("text.wav"), in("missing.wav"),
                                in("last.wav"), "--output-dir", out});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.out.find(out + ": 2 of 4 files written, 0.12 s of audio; "), 0u) << run.out;
    // The failures after the work, in the order the inputs were named, each with its reason.
    const std::string header = "quorvane: error: 2 of 4 inputs were not rendered:\n";
    ASSERT_EQ(run.err.find(header), 0u) << run.err;
    EXPECT_EQ(run.err.substr(header.size()).rfind("  " + in("text.wav") + ": ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find("\n  " + in("missing.wav") + ": "), std::string::npos) << run.err;
    EXPECT_LT(run.err.find(in("text.wav")), run.err.find(in("missing.wav")));
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 3) << run.err;
    // Both good inputs written in full; no temporary file left.
    EXPECT_EQ(readAudio(out + "/first.wav").frames(), 3000u);
    EXPECT_EQ(readAudio(out + "/last.wav").frames(), 3000u);
    EXPECT_EQ(listFolder(out), (std::vector<std::string>{"first.wav", "last.wav"}));
}

TEST_F(Batches, ARefusedBatchWritesAndReplacesNothing) {
    writeAudio(in("a.wav"), steppedNoise(2, 3000, kPcm16Wav, 7));
    writeAudio(folder.path("other/a.wav"), steppedNoise(2, 3000, kPcm16Wav, 8));
    writeAudio(in("b.wav"), steppedNoise(1, 3000, kPcm16Wav, 9));
    // What the outputs would replace.
    writeText(out + "/a.wav", "earlier a");
    writeText(out + "/b.wav", "earlier b");
    writeAudio(in("key.wav"), steppedNoise(1, 3000, kPcm16Wav, 10));
    ASSERT_EQ(symlink((out + "/a.wav").c_str(), in("link.wav").c_str()), 0);
    const std::string inputs = in("a.wav"), other = folder.path("other/a.wav");
    const struct {
        const char* what;
        std::vector<std::string> args;
        int exitCode;
        std::string message; // the start of the one line on stderr
        std::string module = "";
    } cases[] = {
        {"two inputs of one name",
         {key, in("b.wav"), inputs, other, "--output-dir", out},
         2,
         out + "/a.wav: would be written for both " + inputs + " and " + other},
        {"an input named twice",
         {key, in("b.wav"), in("b.wav"), "--output-dir", out},
         2,
         in("b.wav") + ": is named twice"},
        {"an output over a later input",
         {key, other, in("link.wav"), "--output-dir", out},
         2,
         out + "/a.wav: would replace the input " + in("link.wav")},
        {"an output over the key",
         {key, in("key.wav"), "--output-dir", folder.path("")},
         2,
         folder.path("key.wav") + ": is the same file as " + key},
        {"an unknown format",
         {key, in("a.wav"), in("b.wav"), "--output-dir", out, "--format", "xyz"},
         2,
         "--format xyz: no audio format is written as .xyz"},
        {"a missing folder",
         {key, in("a.wav"), "--output-dir", folder.path("nope")},
         5,
         folder.path("nope") + ": no such folder"},
        {"an unreadable key",
         {in("nokey.wav"), in("a.wav"), in("b.wav"), "--output-dir", out},
         3,
         in("nokey.wav") + ": "},
        {"a module that cannot be loaded",
         {key, in("a.wav"), in("b.wav"), "--output-dir", out},
         4,
         folder.path("no.so") + ": ",
         folder.path("no.so")},
        {"-o with a folder",
         {key, in("a.wav"), "--output-dir", out, "-o", folder.path("x.wav")},
         2,
         "render: --output-dir writes each INPUT under its own name"},
        {"several inputs without a folder",
         {key, in("a.wav"), in("b.wav"), "-o", out + "/a.wav"},
         2,
         "render: several inputs are written with --output-dir DIR"},
        {"--format without a folder",
         {key, in("a.wav"), "-o", out + "/a.wav", "--format", "flac"},
         2,
         "render: --format goes with --output-dir"},
    };
    const std::vector<std::string> before = listFolder(folder.path(""));
    for (const auto& c : cases) {
        const ToolRun run = render(c.args, c.module);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.what << ": " << run.err;
        EXPECT_EQ(run.err.rfind("quorvane: error: " + c.message, 0), 0u)
            << c.what << ": " << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << c.what << ": " << run.err;
        EXPECT_EQ(run.out, "") << c.what;
        EXPECT_EQ(readText(out + "/a.wav"), "earlier a") << c.what;
        EXPECT_EQ(readText(out + "/b.wav"), "earlier b") << c.what;
        EXPECT_EQ(listFolder(out), (std::vector<std::string>{"a.wav", "b.wav"})) << c.what;
        EXPECT_EQ(readAudio(in("a.wav")).frames(), 3000u) << c.what;
        EXPECT_EQ(listFolder(folder.path("")), before) << c.what;
    }
}
