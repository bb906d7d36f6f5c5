// The plug-in from the command line: lv2apply ducks a stereo file (key on the first channel)
// exactly as the tool's render through the VST 2 module does, and lv2bench runs it.

#include "lv2host.h"
#include "testfiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace clitest;

namespace {

int runCommand(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

double energy(const Audio& audio, int channel, size_t from, size_t to) {
    double sum = 0.0;
    for (size_t i = from; i < to; ++i)
        sum += double(audio.at(i, channel)) * audio.at(i, channel);
    return sum;
}

// Programs that are not built with the sanitizers cannot load a plug-in that is.
bool commandLineHostsCanLoadThePlugin() {
#ifdef QUORVANE_SANITIZED
    return false;
#else
    return true;
#endif
}

} // namespace

TEST(Lv2CommandLine, Lv2applyDucksAsTheVstRender) {
    if (!commandLineHostsCanLoadThePlugin()) GTEST_SKIP() << "sanitizer build";
    ScratchFolder folder;
    constexpr int kRate = 44100;
    constexpr size_t kLength = 3 * kRate;
    constexpr size_t kLatency = 2048;
    // the key: noise in the first and last second; the signal: softer noise and a tone
    std::vector<float> key = noise(kLength, 0.5f, 7);
    for (size_t i = kRate; i < 2 * kRate; ++i)
        key[i] = 0.0f;
    std::vector<float> signal = noise(kLength, 0.3f, 11);
    const std::vector<float> tone = sine(kLength, 220.0, kRate, 0.2f);
    for (size_t i = 0; i < kLength; ++i)
        signal[i] += tone[i];

    Audio stereo{kRate, 2, SF_FORMAT_WAV | SF_FORMAT_FLOAT, interleave({key, signal})};
    writeAudio(folder.path("stereo.wav"), stereo);
    writeAudio(folder.path("key.wav"), Audio{kRate, 1, SF_FORMAT_WAV | SF_FORMAT_FLOAT, key});
    writeAudio(folder.path("input.wav"), Audio{kRate, 1, SF_FORMAT_WAV | SF_FORMAT_FLOAT, signal});

    ASSERT_EQ(runCommand("lv2apply -i '" + folder.path("stereo.wav") + "' -o '" +
                         folder.path("out.wav") + "' " + lv2test::kUri + " >/dev/null"),
              0);
    const ToolRun render =
        runTool({"render", folder.path("key.wav"), folder.path("input.wav"), "-o",
                 folder.path("ducked.wav"), "--no-latency-compensation", "--quiet"});
    ASSERT_EQ(render.exitCode, 0) << render.err;

    const Audio out = readAudio(folder.path("out.wav"));
    const Audio ducked = readAudio(folder.path("ducked.wav"));
    ASSERT_EQ(out.channels, 2);
    ASSERT_EQ(out.sampleRate, kRate);
    ASSERT_EQ(out.frames(), kLength);
    ASSERT_EQ(ducked.channels, 1);
    // without compensation the render runs on for the latency's tail
    ASSERT_EQ(ducked.frames(), kLength + kLatency);
    // the first output is the key delayed by N (through the transforms), the second the VST 2
    // render's samples, bit for bit
    size_t keyMismatches = 0, duckedMismatches = 0;
    for (size_t i = 0; i < kLength; ++i) {
        const float expectedKey = i < kLatency ? 0.0f : key[i - kLatency];
        keyMismatches += std::fabs(out.at(i, 0) - expectedKey) > 1e-5f;
        duckedMismatches += std::memcmp(&out.samples[2 * i + 1], &ducked.samples[i], 4) != 0;
    }
    EXPECT_EQ(keyMismatches, 0u);
    EXPECT_EQ(duckedMismatches, 0u);
    // and it ducks: the signal is far quieter under the key than without it
    const double under = energy(out, 1, kLatency + kRate / 4, kLatency + kRate * 3 / 4);
    const double alone = energy(out, 1, kLatency + kRate * 5 / 4, kLatency + kRate * 7 / 4);
    EXPECT_LT(under, alone * 0.5);
}

TEST(Lv2CommandLine, Lv2benchRunsThePlugin) {
    if (!commandLineHostsCanLoadThePlugin()) GTEST_SKIP() << "sanitizer build";
    ScratchFolder folder;
    ASSERT_EQ(runCommand(std::string("lv2bench -n 48000 -b 512 ") + lv2test::kUri + " >'" +
                         folder.path("bench.txt") + "'"),
              0);
    // one line: the seconds it took, and the plug-in's URI
    const std::string text = readText(folder.path("bench.txt"));
    double seconds = -1.0;
    char uri[256] = {};
    ASSERT_EQ(std::sscanf(text.c_str(), "%lf %255s", &seconds, uri), 2) << text;
    EXPECT_STREQ(uri, lv2test::kUri);
    EXPECT_GT(seconds, 0.0);
}
