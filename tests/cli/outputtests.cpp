// The files a render writes: the container and encoding follow each name, every output is
// checked before the render starts, nothing is replaced unless everything can be written, and a
// replaced file keeps its permissions and owner.

#include "testfiles.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>

using namespace clitest;

namespace {

constexpr int kFloatWav = SF_FORMAT_WAV | SF_FORMAT_FLOAT;

Audio noiseAudio(int channels, size_t frames, int format, uint32_t seed) {
    Audio audio;
    audio.channels = channels;
    audio.format = format;
    audio.samples = noise(frames * channels, 0.5f, seed);
    // Integer files hold 8-bit steps exactly whatever their depth.
    if ((format & SF_FORMAT_SUBMASK) != SF_FORMAT_FLOAT)
        for (float& s : audio.samples)
            s = std::nearbyint(s * 128.0f) / 128.0f;
    return audio;
}

class Outputs : public ::testing::Test {
protected:
    ScratchFolder folder;
    std::string key = folder.path("key.wav");
    std::string input = folder.path("input.wav");
    std::string output = folder.path("out.wav");
    std::string delay = fakeModule("fake_delay");

    void writeInputs(int inputFormat, size_t frames = 3000) {
        writeAudio(key, noiseAudio(1, frames, kFloatWav, 1));
        writeAudio(input, noiseAudio(2, frames, inputFormat, 2));
    }

    ToolRun render(std::vector<std::string> extra, const std::string& module = "") {
        std::vector<std::string> args = {
            "render", key, input, "--plugin", module.empty() ? delay : module, "--quiet"};
        args.insert(args.end(), extra.begin(), extra.end());
        return runTool(args);
    }
};

} // namespace

TEST_F(Outputs, TheFormatFollowsTheNameAndTheSampleFormatTheInput) {
    struct Case {
        const char* name;
        int inputFormat;
        const char* bits; // "" for none
        int expected;
        bool exact; // lossless and deep enough: the delay stand-in gives the input back
    };
    const int pcm16 = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    const Case cases[] = {
        {"out.wav", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, "", SF_FORMAT_WAV | SF_FORMAT_PCM_24, true},
        {"out.flac", pcm16, "", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, true},
        {"out.flac", kFloatWav, "", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, false},
        {"out.FLAC", kFloatWav, "16", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, false},
        {"out.aif", kFloatWav, "", SF_FORMAT_AIFF | SF_FORMAT_FLOAT, true},
        {"out.aiff", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, "", SF_FORMAT_AIFF | SF_FORMAT_PCM_U8, true},
        {"out.flac", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, "", SF_FORMAT_FLAC | SF_FORMAT_PCM_S8, true},
        {"out.ogg", kFloatWav, "", SF_FORMAT_OGG | SF_FORMAT_VORBIS, false},
        {"out.wav", pcm16, "24", SF_FORMAT_WAV | SF_FORMAT_PCM_24, true},
        {"out.wav", pcm16, "32", SF_FORMAT_WAV | SF_FORMAT_PCM_32, true},
        {"out.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, "float", kFloatWav, true},
        {"out.w64", SF_FORMAT_WAV | SF_FORMAT_PCM_24, "", SF_FORMAT_W64 | SF_FORMAT_PCM_24, true},
        {"out", SF_FORMAT_AIFF | SF_FORMAT_PCM_24, "", SF_FORMAT_AIFF | SF_FORMAT_PCM_24, true},
        {"out.wav", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, "", kFloatWav, false},
        {"out.mp3", pcm16, "", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, false},
    };
    for (const Case& c : cases) {
        writeInputs(c.inputFormat);
        const std::string out = folder.path(c.name);
        std::vector<std::string> args = {"-o", out};
        if (*c.bits) args.insert(args.end(), {"--bits", c.bits});
        const ToolRun run = render(args);
        ASSERT_EQ(run.exitCode, 0) << c.name << ": " << run.err;
        const Audio written = readAudio(out);
        EXPECT_EQ(written.format, c.expected) << c.name << " " << std::hex << c.inputFormat;
        EXPECT_EQ(written.frames(), 3000u) << c.name;
        if (c.exact) {
            EXPECT_EQ(written.samples, readAudio(input).samples) << c.name;
        }
        std::remove(out.c_str());
    }
}

TEST_F(Outputs, ANameNothingCanWriteIsRefusedBeforeAnythingElse) {
    writeInputs(kFloatWav);
    writeText(output, "keep me");
    const std::vector<std::string> before = folder.entries();
    // The module does not exist: the names are checked before it would be loaded.
    const std::string missingModule = folder.path("none.so");
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::string xyz = folder.path("out.xyz");
    const Case cases[] = {
        {{"-o", xyz}, xyz + ": no audio format is written as .xyz (known: aif, aifc, aiff, au, "},
        {{"-o", output, "--mix", folder.path("mix.mp4")},
         folder.path("mix.mp4") + ": no audio format is written as .mp4"},
        {{"-o", folder.path("out.flac"), "--bits", "float"},
         folder.path("out.flac") + ": FLAC cannot hold 32-bit float samples"},
        {{"-o", folder.path("out.ogg"), "--bits", "24"},
         folder.path("out.ogg") + ": OGG cannot hold 24-bit integer samples"},
    };
    for (const Case& c : cases) {
        const ToolRun run = render(c.args, missingModule);
        EXPECT_EQ(run.exitCode, 2) << run.err;
        EXPECT_EQ(run.err.rfind("quorvane: error: " + c.message, 0), 0u) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_EQ(folder.entries(), before);
    }
    EXPECT_EQ(readText(output), "keep me");
    const ToolRun bits = render({"-o", output, "--bits", "20"});
    EXPECT_EQ(bits.exitCode, 2);
    // An unknown extension is found before the inputs are opened.
    const ToolRun early = runTool({"render", key, folder.path("missing.wav"), "-o", xyz});
    EXPECT_EQ(early.exitCode, 2) << early.err;
}

TEST_F(Outputs, NothingIsReplacedUnlessEveryOutputCanBeWritten) {
    writeInputs(kFloatWav);
    writeText(output, "keep me");
    mkdir(folder.path("pictures").c_str(), 0755);
    mkdir(folder.path("shots.png").c_str(), 0755);
    const std::vector<std::string> before = folder.entries();
    struct Case {
        std::vector<std::string> args;
        std::string file;
        std::string problem;
    };
    const Case cases[] = {
        {{"-o", output, "--plot", folder.path("shots.png")},
         folder.path("shots.png"),
         "is a folder"},
        {{"-o", output, "--mix", folder.path("pictures")}, folder.path("pictures"), "is a folder"},
        {{"-o", output, "--mix", folder.path("no/mix.wav")},
         folder.path("no/mix.wav"),
         "cannot create a file in "},
        {{"-o", output, "--mix", output}, output, "is named twice; choose another file"},
        {{"-o", output, "--plot", folder.path("no/p.png")},
         folder.path("no/p.png"),
         "cannot create a file in "},
    };
    for (const Case& c : cases) {
        const ToolRun run = render(c.args);
        EXPECT_NE(run.exitCode, 0);
        EXPECT_EQ(run.err.rfind("quorvane: error: " + c.file + ": " + c.problem, 0), 0u) << run.err;
        EXPECT_EQ(readText(output), "keep me");
        EXPECT_EQ(folder.entries(), before);
    }
    // -o or --mix: one of them is needed.
    EXPECT_EQ(render({}).exitCode, 2);
}

TEST_F(Outputs, AReplacedFileKeepsItsModeAndOwner) {
    writeInputs(kFloatWav);
    writeText(output, "old");
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(chown(output.c_str(), 1234, 2345), 0);
    }
    // Set-user and set-group bits are not carried over.
    chmod(output.c_str(), 06750);
    ASSERT_EQ(render({"-o", output}).exitCode, 0);
    struct stat replaced {};
    ASSERT_EQ(stat(output.c_str(), &replaced), 0);
    EXPECT_EQ(replaced.st_mode & 07777, 0750u);
    if (root) {
        EXPECT_EQ(replaced.st_uid, 1234u);
        EXPECT_EQ(replaced.st_gid, 2345u);
    }
    EXPECT_EQ(readAudio(output).frames(), 3000u);

    // A new file gets the mode the umask leaves.
    const std::string fresh = folder.path("fresh.wav");
    const mode_t mask = umask(027);
    const ToolRun run = render({"-o", fresh});
    umask(mask);
    ASSERT_EQ(run.exitCode, 0);
    struct stat created {};
    ASSERT_EQ(stat(fresh.c_str(), &created), 0);
    EXPECT_EQ(created.st_mode & 07777, 0640u);
}
