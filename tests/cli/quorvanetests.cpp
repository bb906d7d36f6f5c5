// The tool with the built Quorvane.so: what a user gets from render and info.

#include "testfiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>

using namespace clitest;

namespace {

constexpr int kRate = 44100;

double rms(const Audio& audio, int channel, size_t from, size_t to) {
    double sum = 0.0;
    for (size_t i = from; i < to; ++i)
        sum += double(audio.at(i, channel)) * audio.at(i, channel);
    return std::sqrt(sum / double(to - from));
}

// Power spectrum of one channel averaged over Hann-windowed segments of 1024 frames, half
// overlapping, from frame `from` on; bins 0 .. 512.
std::vector<double> averagePowerSpectrum(const Audio& audio, int channel, size_t from) {
    constexpr size_t kLength = 1024;
    std::vector<double> window(kLength), power(kLength / 2 + 1, 0.0);
    for (size_t i = 0; i < kLength; ++i)
        window[i] = 0.5 - 0.5 * std::cos(2 * M_PI * i / kLength);
    std::vector<std::complex<double>> turn(kLength);
    for (size_t i = 0; i < kLength; ++i)
        turn[i] = std::polar(1.0, -2 * M_PI * i / kLength);
    for (size_t start = from; start + kLength <= audio.frames(); start += kLength / 2)
        for (size_t bin = 0; bin <= kLength / 2; ++bin) {
            std::complex<double> sum = 0.0;
            for (size_t i = 0; i < kLength; ++i)
                sum += window[i] * audio.at(start + i, channel) * turn[(bin * i) % kLength];
            power[bin] += std::norm(sum);
        }
    return power;
}

class Quorvane : public ::testing::Test {
protected:
    ScratchFolder folder;
    std::string key = folder.path("key.wav");
    std::string input = folder.path("input.wav");
    std::string output = folder.path("out.wav");

    Audio renderWith(const Audio& keyAudio, const Audio& inputAudio) {
        writeAudio(key, keyAudio);
        writeAudio(input, inputAudio);
        const ToolRun run =
            runTool({"render", key, input, "-o", output, "--plugin", quorvaneModule(), "--quiet"});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        return readAudio(output);
    }
};

Audio silence(int channels, size_t frames) {
    Audio audio;
    audio.channels = channels;
    audio.samples.assign(frames * channels, 0.0f);
    return audio;
}

Audio noiseAudio(int channels, size_t frames, uint32_t seed, int format) {
    Audio audio;
    audio.channels = channels;
    audio.format = format;
    audio.samples = noise(frames * channels, 0.5f, seed);
    if ((format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16)
        for (float& s : audio.samples)
            s = std::nearbyint(s * 32768.0f) / 32768.0f;
    return audio;
}

} // namespace

TEST_F(Quorvane, ASilentKeyGivesTheInputBackAligned) {
    // Float files: equal to float rounding.
    const Audio in = noiseAudio(2, kRate, 1, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    const Audio out = renderWith(silence(1, kRate), in);
    ASSERT_EQ(out.frames(), in.frames());
    ASSERT_EQ(out.format, in.format);
    float worst = 0.0f;
    for (size_t i = 0; i < in.samples.size(); ++i)
        worst = std::max(worst, std::fabs(out.samples[i] - in.samples[i]));
    EXPECT_LT(worst, 2e-6f);

    // 16-bit files: the rounding stays far below one step, so the samples come back exactly.
    const Audio in16 = noiseAudio(2, kRate, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    const Audio out16 = renderWith(silence(2, kRate), in16);
    EXPECT_EQ(out16.format, in16.format);
    EXPECT_EQ(out16.samples, in16.samples);
}

TEST_F(Quorvane, AKeyEqualToTheInputTakesAbout6dBOffEveryBand) {
    const Audio in = noiseAudio(1, 2 * kRate, 3, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    const Audio out = renderWith(in, in);
    // After the key smoothing has settled (well past its 55 ms time constant), in third-octave
    // bands from 86 Hz to Nyquist. Where the smoothed key equals the signal the gain is 1/2;
    // noise's momentary bin magnitudes scatter around the smoothed key, which leaves the
    // average a little above that: 4.9 to 5.6 dB are taken off.
    const size_t settled = kRate / 2;
    const std::vector<double> before = averagePowerSpectrum(in, 0, settled);
    const std::vector<double> after = averagePowerSpectrum(out, 0, settled);
    int bands = 0;
    for (size_t low = 2; low < before.size(); low = static_cast<size_t>(low * 1.26) + 1) {
        const size_t high = std::min(before.size(), static_cast<size_t>(low * 1.26) + 1);
        double powerBefore = 0.0, powerAfter = 0.0;
        for (size_t bin = low; bin < high; ++bin) {
            powerBefore += before[bin];
            powerAfter += after[bin];
        }
        const double dB = 10.0 * std::log10(powerAfter / powerBefore);
        EXPECT_NEAR(dB, -5.5, 1.0)
            << "bins " << low << " to " << high - 1 << " (" << low * kRate / 1024 << " Hz)";
        ++bands;
    }
    EXPECT_EQ(bands, 22);
}

TEST_F(Quorvane, AStereoKeyDucksEachChannelByItsOwnKeyChannel) {
    // Key on the left only: the left is ducked, the right comes back unchanged.
    Audio keyAudio = noiseAudio(2, kRate, 4, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    for (size_t i = 0; i < keyAudio.frames(); ++i)
        keyAudio.samples[2 * i + 1] = 0.0f;
    const Audio in = noiseAudio(2, kRate, 5, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    const Audio out = renderWith(keyAudio, in);
    const size_t settled = kRate / 2;
    EXPECT_LT(rms(out, 0, settled, kRate), 0.65 * rms(in, 0, settled, kRate));
    for (size_t i = 0; i < in.frames(); ++i)
        ASSERT_NEAR(out.at(i, 1), in.at(i, 1), 2e-6f) << i;
}

TEST_F(Quorvane, AMonoKeyDucksEveryChannel) {
    const Audio keyAudio = noiseAudio(1, kRate, 6, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    const Audio in = noiseAudio(2, kRate, 7, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    const Audio out = renderWith(keyAudio, in);
    const size_t settled = kRate / 2;
    for (int ch = 0; ch < 2; ++ch) {
        const double ratio = rms(out, ch, settled, kRate) / rms(in, ch, settled, kRate);
        EXPECT_GT(ratio, 0.35) << ch;
        EXPECT_LT(ratio, 0.65) << ch;
    }
}

TEST(QuorvaneInfo, ShowsTheIdentityLatencyParametersAndPrograms) {
    const ToolRun run = runTool({"info", "--plugin", quorvaneModule()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    for (const char* line :
         {"effect       Quorvane\n", "vendor       Haldermoor\n", "product      Quorvane\n",
          "version      1000 (record version 1, interface 2300)\n",
          "unique ID    'QrVn' 0x5172566E\n", "inputs       2\n", "outputs      2\n",
          "latency      2048 samples at 44100 Hz (46.4 ms)\n", "category     1 (effect)\n",
          "\nparameters (8)\n", "  0     Delay      samples", "  7     RMS Mode",
          "\nprograms (16)\n", "  15    Init\n"})
        EXPECT_NE(run.out.find(line), std::string::npos) << line << "\nin:\n" << run.out;
    const ToolRun fast = runTool({"info", "--plugin", quorvaneModule(), "--sample-rate", "96000"});
    EXPECT_NE(fast.out.find("latency      4096 samples at 96000 Hz (42.7 ms)\n"), std::string::npos)
        << fast.out;
}
