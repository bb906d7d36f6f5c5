// The tool's streaming, routing and file handling, checked sample for sample through stand-in
// modules whose output is an input delayed by the sample rate / 441 frames.

#include "testfiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace clitest;

namespace {

constexpr int kRate = 44100;
constexpr size_t kDelay = kRate / 441; // the stand-ins' latency at 44100 Hz

Audio makeAudio(int channels, size_t frames, int format, uint32_t seed, float amplitude = 0.5f) {
    Audio audio;
    audio.channels = channels;
    audio.format = format;
    audio.samples = noise(frames * channels, amplitude, seed);
    return audio;
}

// Rounds samples to the steps of an integer file, as writing and reading it would.
Audio quantised(Audio audio, int bits) {
    const double step = std::ldexp(1.0, bits - 1);
    for (float& s : audio.samples)
        s = static_cast<float>(std::nearbyint(s * step) / step);
    return audio;
}

class Render : public ::testing::Test {
protected:
    ScratchFolder folder;
    std::string key = folder.path("key.wav");
    std::string input = folder.path("input.wav");
    std::string output = folder.path("out.wav");

    ToolRun render(const std::string& module, std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {"render", key,        input,  "-o",
                                         output,   "--plugin", module, "--quiet"};
        args.insert(args.end(), extra.begin(), extra.end());
        return runTool(args);
    }
};

} // namespace

TEST_F(Render, FloatOutputIsTheInputExactlyWithTheDelayCompensated) {
    const Audio in = makeAudio(2, 3000, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1);
    writeAudio(key, makeAudio(1, 3000, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2));
    writeAudio(input, in);

    const ToolRun run = render(fakeModule("fake_delay"));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");
    const Audio out = readAudio(output);
    EXPECT_EQ(out.format, in.format);
    EXPECT_EQ(out.sampleRate, kRate);
    EXPECT_EQ(out.channels, 2);
    EXPECT_EQ(out.samples, in.samples);
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"input.wav", "key.wav", "out.wav"}));
}

TEST_F(Render, IntegerFormatsKeepTheirEncodingAndComeBackExactly) {
    struct Case {
        int format;
        int bits;
        const char* name;
    };
    for (const Case& c : {Case{SF_FORMAT_WAV | SF_FORMAT_PCM_16, 16, "out.wav"},
                          Case{SF_FORMAT_WAV | SF_FORMAT_PCM_24, 24, "out.wav"},
                          Case{SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 16, "out.aiff"},
                          Case{SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 24, "out.flac"},
                          Case{SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 8, "out.wav"}}) {
        output = folder.path(c.name);
        const Audio in = quantised(makeAudio(2, 2000, c.format, 3), c.bits);
        writeAudio(key, makeAudio(2, 2000, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 4));
        writeAudio(input, in);
        const ToolRun run = render(fakeModule("fake_delay"));
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const Audio out = readAudio(output);
        EXPECT_EQ(out.format, c.format);
        EXPECT_EQ(out.samples, in.samples) << std::hex << c.format;
    }
}

TEST_F(Render, IntegerOutputClipsAtFullScaleInsteadOfWrapping) {
    Audio in;
    in.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    in.samples = {0.5f, -0.5f, 0.25f, -0.25f, 0.125f, 0.0f};
    writeAudio(key, in);
    writeAudio(input, in);

    ASSERT_EQ(render(fakeModule("fake_gain4")).exitCode, 0);
    const Audio out = readAudio(output);
    const float top = 32767.0f / 32768.0f;
    EXPECT_EQ(out.samples, (std::vector<float>{top, -1.0f, top, -1.0f, 0.5f, 0.0f}));
}

TEST_F(Render, WithoutCompensationTheDelayStaysAndNothingIsCut) {
    const Audio in = makeAudio(1, 1000, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 5);
    writeAudio(key, in);
    writeAudio(input, in);

    ASSERT_EQ(render(fakeModule("fake_delay"), {"--no-latency-compensation"}).exitCode, 0);
    const Audio out = readAudio(output);
    ASSERT_EQ(out.frames(), 1000 + kDelay);
    std::vector<float> expected(kDelay, 0.0f);
    expected.insert(expected.end(), in.samples.begin(), in.samples.end());
    EXPECT_EQ(out.samples, expected);
}

TEST_F(Render, TheHostAnswersTheFilesSampleRate) {
    Audio in = makeAudio(1, 1000, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 6);
    in.sampleRate = 48000;
    writeAudio(key, in);
    writeAudio(input, in);

    ASSERT_EQ(render(fakeModule("fake_delay"), {"--no-latency-compensation"}).exitCode, 0);
    const Audio out = readAudio(output);
    EXPECT_EQ(out.sampleRate, 48000);
    EXPECT_EQ(out.frames(), 1000u + 48000 / 441);
}

TEST_F(Render, BlockSizeDoesNotChangeTheStream) {
    const Audio in = makeAudio(2, 5000, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 7);
    writeAudio(key, makeAudio(1, 5000, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 8));
    writeAudio(input, in);
    for (const char* block : {"1", "7", "99", "100", "101", "4096", "100000"}) {
        const ToolRun run = render(fakeModule("fake_delay"), {"--block", block});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(readAudio(output).samples, in.samples) << "block " << block;
    }
}

TEST_F(Render, AnAccumulatingOnlyModuleGetsZeroedOutputs) {
    const Audio in = makeAudio(2, 3000, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 9);
    writeAudio(key, in);
    writeAudio(input, in);
    ASSERT_EQ(render(fakeModule("fake_accumulating"), {"--block", "64"}).exitCode, 0);
    EXPECT_EQ(readAudio(output).samples, in.samples);
}

TEST_F(Render, TheEntryNamedMainIsFoundWhenThereIsNoOther) {
    const Audio in = makeAudio(1, 500, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 10);
    writeAudio(key, in);
    writeAudio(input, in);
    ASSERT_EQ(render(fakeModule("fake_main_entry")).exitCode, 0);
    EXPECT_EQ(readAudio(output).samples, in.samples);
}

// The key stand-in puts the key it receives on output 1.
TEST_F(Render, AKeyWithAsManyChannelsFeedsEachChannelItsOwn) {
    const Audio keyAudio = makeAudio(2, 800, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 11);
    writeAudio(key, keyAudio);
    writeAudio(input, makeAudio(2, 800, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 12));
    ASSERT_EQ(render(fakeModule("fake_key")).exitCode, 0);
    EXPECT_EQ(readAudio(output).samples, keyAudio.samples);
}

TEST_F(Render, AKeyWithOtherChannelCountsIsMixedToMono) {
    struct Case {
        int keyChannels;
        int inputChannels;
    };
    for (const Case& c : {Case{1, 2}, Case{2, 1}, Case{3, 2}}) {
        const Audio keyAudio = makeAudio(c.keyChannels, 600, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 13);
        writeAudio(key, keyAudio);
        writeAudio(input, makeAudio(c.inputChannels, 600, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 14));
        ASSERT_EQ(render(fakeModule("fake_key")).exitCode, 0);
        const Audio out = readAudio(output);
        ASSERT_EQ(out.channels, c.inputChannels);
        ASSERT_EQ(out.frames(), 600u);
        for (size_t i = 0; i < out.frames(); ++i) {
            float sum = 0.0f;
            for (int k = 0; k < c.keyChannels; ++k)
                sum += keyAudio.at(i, k);
            for (int ch = 0; ch < c.inputChannels; ++ch)
                ASSERT_EQ(out.at(i, ch), sum / static_cast<float>(c.keyChannels))
                    << c.keyChannels << " to " << c.inputChannels << " at " << i;
        }
    }
}

TEST_F(Render, AShortKeyIsPaddedWithSilenceAndALongOneCut) {
    for (size_t keyFrames : {300u, 5000u}) {
        const Audio keyAudio = makeAudio(1, keyFrames, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 15);
        writeAudio(key, keyAudio);
        writeAudio(input, makeAudio(1, 1000, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 16));
        ASSERT_EQ(render(fakeModule("fake_key")).exitCode, 0);
        const Audio out = readAudio(output);
        ASSERT_EQ(out.frames(), 1000u);
        for (size_t i = 0; i < 1000; ++i)
            ASSERT_EQ(out.samples[i], i < keyFrames ? keyAudio.samples[i] : 0.0f) << i;
    }
}

TEST_F(Render, ReplacesAnExistingOutputOnlyWhenDone) {
    const Audio in = makeAudio(1, 700, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 17);
    writeAudio(key, in);
    writeAudio(input, in);
    writeText(output, "old");
    ASSERT_EQ(render(fakeModule("fake_delay")).exitCode, 0);
    EXPECT_EQ(readAudio(output).samples, in.samples);
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"input.wav", "key.wav", "out.wav"}));
}

TEST_F(Render, PrintsOneSummaryLineUnlessQuiet) {
    const Audio in = makeAudio(1, 4410, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 18);
    writeAudio(key, in);
    writeAudio(input, in);
    const ToolRun run =
        runTool({"render", key, input, "-o", output, "--plugin", fakeModule("fake_delay")});
    ASSERT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out.rfind(output + ": 1 channel at 44100 Hz, 0.10 s; latency 100 samples "
                                     "compensated; rendered in ",
                            0),
              0u)
        << run.out;
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1);
    // Not a terminal: no progress bar.
    EXPECT_EQ(run.err, "");
}

TEST(Info, ShowsWhatAHostSeesOfAForeignModule) {
    const ToolRun run =
        runTool({"info", "--plugin", fakeModule("fake_delay"), "--sample-rate", "88200"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    for (const char* line :
         {"effect       Fake\n", "unique ID    'Fake' 0x46616B65\n", "inputs       2\n",
          "outputs      2\n", "flags        0x10 CanReplacing\n",
          "latency      200 samples at 88200 Hz (2.3 ms)\n", "category     0 (unknown)\n",
          "\nparameters (0)\n", "\nprograms (0)\n"})
        EXPECT_NE(run.out.find(line), std::string::npos) << line << "\nin:\n" << run.out;
}

TEST(Info, EveryCommandHasHelp) {
    for (const std::string command : {"info", "render", "plot", "demo"}) {
        const ToolRun run = runTool({command, "--help"});
        EXPECT_EQ(run.exitCode, 0) << command;
        EXPECT_NE(run.out.find("\nUsage: quorvane " + command + " [OPTIONS]"), std::string::npos)
            << run.out;
    }
}

TEST(Info, VersionNamesTheToolThePlugInAndTheLibraries) {
    const ToolRun run = runTool({"--version"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out.rfind("quorvane 0.9.0\nplug-in: Quorvane 0.9\nlibraries: libsndfile 1.", 0),
              0u)
        << run.out;
    EXPECT_NE(run.out.find(", libsoxr 0."), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(", libpng 1."), std::string::npos) << run.out;
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 3);
}
