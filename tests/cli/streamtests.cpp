// What reaches the plug-in and what comes back: a key at another rate is resampled, the mix is
// key plus ducked, and the channels rendered on parallel threads give the bits of one thread.

#include "testfiles.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace clitest;

namespace {

constexpr int kFloatWav = SF_FORMAT_WAV | SF_FORMAT_FLOAT;

Audio makeAudio(int channels, int rate, std::vector<float> samples) {
    Audio audio;
    audio.channels = channels;
    audio.sampleRate = rate;
    audio.samples = std::move(samples);
    return audio;
}

double rms(const Audio& audio, int channel, size_t from, size_t to) {
    double sum = 0.0;
    for (size_t i = from; i < to; ++i)
        sum += double(audio.at(i, channel)) * audio.at(i, channel);
    return std::sqrt(sum / double(to - from));
}

class Streams : public ::testing::Test {
protected:
    ScratchFolder folder;
    std::string key = folder.path("key.wav");
    std::string input = folder.path("input.wav");
    std::string output = folder.path("out.wav");
    std::string mix = folder.path("mix.wav");

    ToolRun render(const std::string& module, std::vector<std::string> extra) {
        std::vector<std::string> args = {"render", key, input, "--plugin", module};
        args.insert(args.end(), extra.begin(), extra.end());
        return runTool(args);
    }
};

} // namespace

TEST_F(Streams, AKeyAtAnotherRateIsResampledToTheInputsRate) {
    // A 1 kHz tone at 22050 Hz under 44100 Hz noise; the key stand-in puts the key it gets out.
    writeAudio(key, makeAudio(1, 22050, sine(11025, 1000.0, 22050.0, 0.5f)));
    writeAudio(input, makeAudio(2, 44100, noise(2 * 30000, 0.5f, 3)));
    const ToolRun run = render(fakeModule("fake_key"), {"-o", output});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out.rfind(output + ": 2 channels at 44100 Hz, 0.68 s; key resampled from 22050 "
                                     "Hz; latency 100 samples compensated; rendered in ",
                            0),
              0u)
        << run.out;

    // The same tone at the input's rate and time, then silence where the key has ended.
    const Audio out = readAudio(output);
    ASSERT_EQ(out.sampleRate, 44100);
    ASSERT_EQ(out.frames(), 30000u);
    const std::vector<float> expected = sine(22050, 1000.0, 44100.0, 0.5f);
    float worst = 0.0f;
    for (size_t i = 500; i < 21500; ++i)
        for (int ch = 0; ch < 2; ++ch)
            worst = std::max(worst, std::fabs(out.at(i, ch) - expected[i]));
    EXPECT_LT(worst, 1e-3f);
    EXPECT_LT(rms(out, 0, 22600, 30000), 1e-4);
}

TEST_F(Streams, AResampledKeyDucksWhereItIsLoud) {
    // Key at 16 kHz: silent for the first second, noise for the second. Input at 48 kHz: soft
    // tones inside the key's band, so where the key sounds the noise outweighs them bin by bin.
    std::vector<float> keySamples(16000, 0.0f);
    const std::vector<float> burst = noise(16000, 0.5f, 4);
    keySamples.insert(keySamples.end(), burst.begin(), burst.end());
    writeAudio(key, makeAudio(1, 16000, keySamples));
    std::vector<float> tones(96000, 0.0f);
    for (double hz : {300.0, 700.0, 1100.0, 2300.0, 3700.0}) {
        const std::vector<float> tone = sine(96000, hz, 48000.0, 0.02f);
        for (size_t i = 0; i < tones.size(); ++i)
            tones[i] += tone[i];
    }
    const Audio in = makeAudio(1, 48000, tones);
    writeAudio(input, in);
    ASSERT_EQ(render(quorvaneModule(), {"-o", output, "--quiet"}).exitCode, 0);
    const Audio out = readAudio(output);
    ASSERT_EQ(out.frames(), 96000u);
    EXPECT_NEAR(rms(out, 0, 4800, 43200) / rms(in, 0, 4800, 43200), 1.0, 0.01);
    EXPECT_LT(rms(out, 0, 52800, 96000) / rms(in, 0, 52800, 96000), 0.7);
}

TEST_F(Streams, TheMixIsTheKeyPlusTheDuckedOutput) {
    struct Case {
        int keyChannels;
        int inputChannels;
        bool compensate;
    };
    for (const Case& c : {Case{1, 2, true}, Case{2, 2, true}, Case{1, 1, false}}) {
        const size_t frames = 20000;
        const Audio keyAudio =
            makeAudio(c.keyChannels, 44100, noise(frames * c.keyChannels, 0.4f, 6 + c.keyChannels));
        writeAudio(key, keyAudio);
        writeAudio(input,
                   makeAudio(c.inputChannels, 44100, noise(frames * c.inputChannels, 0.4f, 9)));
        std::vector<std::string> args = {"-o", output, "--mix", mix, "--quiet"};
        if (!c.compensate) args.push_back("--no-latency-compensation");
        ASSERT_EQ(render(quorvaneModule(), args).exitCode, 0);

        const Audio ducked = readAudio(output);
        const Audio mixed = readAudio(mix);
        ASSERT_EQ(mixed.channels, c.inputChannels);
        ASSERT_EQ(mixed.frames(), ducked.frames());
        // Without compensation both start with the plug-in's delay of 2048 frames.
        const size_t shift = c.compensate ? 0 : 2048;
        for (size_t i = 0; i < mixed.frames(); ++i)
            for (int ch = 0; ch < c.inputChannels; ++ch) {
                const size_t k = i - shift;
                const float keySample =
                    i < shift || k >= frames ? 0.0f : keyAudio.at(k, ch % c.keyChannels);
                ASSERT_EQ(mixed.at(i, ch), keySample + ducked.at(i, ch))
                    << c.keyChannels << " to " << c.inputChannels << " at " << i << ":" << ch;
            }
    }
}

TEST_F(Streams, ParallelChannelsGiveTheBitsOfOneThread) {
    // Four channels, 24-bit, long enough for several chunks of work per thread.
    Audio in = makeAudio(4, 48000, noise(4 * 70000, 0.5f, 10));
    in.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
    writeAudio(input, in);
    writeAudio(key, makeAudio(1, 48000, noise(70000, 0.5f, 11)));
    std::vector<float> reference;
    for (const char* jobs : {"1", "2", "3", "4", "64"}) {
        for (const char* block : {"512", "333"}) {
            const ToolRun run = render(quorvaneModule(), {"-o", output, "--mix", mix, "--jobs",
                                                          jobs, "--block", block, "--quiet"});
            ASSERT_EQ(run.exitCode, 0) << run.err;
            std::vector<float> both = readAudio(output).samples;
            const std::vector<float> mixed = readAudio(mix).samples;
            both.insert(both.end(), mixed.begin(), mixed.end());
            if (reference.empty()) reference = both;
            EXPECT_EQ(both, reference) << jobs << " jobs, block " << block;
        }
    }
    EXPECT_EQ(render(quorvaneModule(), {"-o", output, "--jobs", "0"}).exitCode, 2);
}
