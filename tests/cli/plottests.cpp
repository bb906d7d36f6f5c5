// The picture of a render and the demo: sizes, exact colours where the analysis is exact, and
// the same file rules as the audio output.

#include "testfiles.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdlib>
#include <regex>

using namespace clitest;

namespace {

// Picture layout of the tool: four panels under a heading, one column per pixel.
constexpr int kWidth = 1162;
constexpr int kHeight = 1012;
constexpr int kPlotLeft = 100;
constexpr int kPlotWidth = 960;
constexpr int kPlotHeight = 170;
int plotTop(int panel) {
    return 44 + panel * 242 + 22;
}

struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    uint32_t at(int x, int y) const {
        const size_t i = 3 * (size_t(y) * width + x);
        return uint32_t(rgb[i]) << 16 | uint32_t(rgb[i + 1]) << 8 | rgb[i + 2];
    }
};

Picture readPng(const std::string& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    Picture picture;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return picture;
    image.format = PNG_FORMAT_RGB;
    picture.rgb.resize(PNG_IMAGE_SIZE(image));
    if (png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr)) {
        picture.width = int(image.width);
        picture.height = int(image.height);
    }
    return picture;
}

constexpr uint32_t kGrid = 0x787C80; // dotted lines at 100 Hz, 1 kHz and 10 kHz

// Counts the pixels of a panel's heat map that are neither the given colour nor grid dots.
int pixelsOtherThan(const Picture& p, int panel, uint32_t colour, int fromColumn, int toColumn) {
    int count = 0;
    for (int y = plotTop(panel); y < plotTop(panel) + kPlotHeight; ++y)
        for (int x = kPlotLeft + fromColumn; x < kPlotLeft + toColumn; ++x)
            count += p.at(x, y) != colour && p.at(x, y) != kGrid;
    return count;
}

constexpr uint32_t kDarkestLevel = 0x000008; // bottom of the level scale
constexpr uint32_t kNoReduction = 0x0C1628;  // 0 dB on the reduction scale

class Plot : public ::testing::Test {
protected:
    void SetUp() override {
        // A key silent for the first second, noise in the second; a noise input.
        Audio keyAudio;
        keyAudio.samples = noise(2 * 44100, 0.5f, 1);
        std::fill(keyAudio.samples.begin(), keyAudio.samples.begin() + 44100, 0.0f);
        writeAudio(key, keyAudio);
        Audio in;
        in.samples = noise(2 * 44100, 0.3f, 2);
        writeAudio(input, in);
    }

    ScratchFolder folder;
    std::string key = folder.path("key.wav");
    std::string input = folder.path("input.wav");
    std::string output = folder.path("out.wav");
    std::string picture = folder.path("picture.png");
};

} // namespace

TEST_F(Plot, RenderDrawsKeyInputOutputAndReduction) {
    // The delay stand-in gives the input back exactly: no reduction anywhere.
    const ToolRun run = runTool({"render", key, input, "-o", output, "--plot", picture, "--plugin",
                                 fakeModule("fake_delay"), "--quiet"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const Picture p = readPng(picture);
    ASSERT_EQ(p.width, kWidth);
    ASSERT_EQ(p.height, kHeight);
    EXPECT_EQ(pixelsOtherThan(p, 3, kNoReduction, 0, kPlotWidth), 0);
    // The silent first second of the key sits at the bottom of the scale (the analysis frame
    // reaches 23 ms, about 11 columns, into the second half); the noisy second does not.
    EXPECT_EQ(pixelsOtherThan(p, 0, kDarkestLevel, 0, kPlotWidth / 2 - 12), 0);
    // Grid dots: every other pixel of three rows.
    const int dots = 3 * (kPlotWidth / 2 - 12) / 2;
    EXPECT_EQ(pixelsOtherThan(p, 0, kDarkestLevel, kPlotWidth / 2 + 12, kPlotWidth),
              (kPlotWidth / 2 - 12) * kPlotHeight - dots);
    EXPECT_EQ(pixelsOtherThan(p, 1, kDarkestLevel, 0, kPlotWidth),
              kPlotWidth * kPlotHeight - 3 * kPlotWidth / 2);
}

TEST_F(Plot, TheReductionShowsWhereTheKeyIs) {
    const ToolRun run =
        runTool({"plot", key, input, "-o", picture, "--plugin", quorvaneModule(), "--quiet"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"input.wav", "key.wav", "picture.png"}));
    const Picture p = readPng(picture);
    ASSERT_EQ(p.width, kWidth);
    // Without a key the output is the input; under the key it is turned down everywhere.
    EXPECT_LT(pixelsOtherThan(p, 3, kNoReduction, 0, kPlotWidth / 2 - 12), kPlotHeight * 2);
    EXPECT_GT(pixelsOtherThan(p, 3, kNoReduction, kPlotWidth / 2 + 60, kPlotWidth),
              (kPlotWidth / 2 - 60) * kPlotHeight * 9 / 10);
}

TEST_F(Plot, ThePictureFollowsTheOutputRules) {
    // Not one of the audio files.
    const ToolRun same = runTool({"render", key, input, "-o", output, "--plot", input, "--plugin",
                                  fakeModule("fake_delay")});
    EXPECT_EQ(same.exitCode, 2);
    EXPECT_EQ(same.err, "quorvane: error: " + input + ": is the same file as " + input +
                            "; choose another picture file\n");
    // A folder that does not exist is found before the render, so no audio is written either.
    const std::string nowhere = folder.path("missing/picture.png");
    const ToolRun missing = runTool({"render", key, input, "-o", output, "--plot", nowhere,
                                     "--plugin", fakeModule("fake_delay")});
    EXPECT_EQ(missing.exitCode, 5);
    EXPECT_EQ(missing.err.rfind("quorvane: error: " + nowhere + ": cannot create a file in ", 0),
              0u)
        << missing.err;
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"input.wav", "key.wav"}));
}

TEST(Demo, WritesItsFilesAndMeasuresTheDucking) {
    const ScratchFolder folder;
    const std::string dir = folder.path("demo");
    const ToolRun run = runTool({"demo", "-o", dir});
    ASSERT_EQ(run.exitCode, 0) << run.err;

    // Files: a mono key, a stereo bed and its ducked twin, all 10 s at 44100 Hz; the picture.
    const Audio keyAudio = readAudio(dir + "/key.wav");
    const Audio bed = readAudio(dir + "/input.wav");
    const Audio ducked = readAudio(dir + "/ducked.wav");
    EXPECT_EQ(keyAudio.channels, 1);
    EXPECT_EQ(bed.channels, 2);
    EXPECT_EQ(ducked.channels, 2);
    EXPECT_EQ(ducked.format, bed.format);
    for (const Audio* a : {&keyAudio, &bed, &ducked}) {
        EXPECT_EQ(a->sampleRate, 44100);
        EXPECT_EQ(a->frames(), 441000u);
    }
    EXPECT_EQ(readPng(dir + "/picture.png").width, kWidth);

    // Summary: the latency, and a bed turned down where the key is strong and barely where it
    // is silent.
    EXPECT_NE(run.out.find("latency                    2048 samples (46.4 ms at 44100 Hz), "
                           "compensated\n"),
              std::string::npos)
        << run.out;
    std::smatch strong, silent;
    ASSERT_TRUE(std::regex_search(run.out, strong,
                                  std::regex("key is strong +the pad is ([0-9.]+) dB lower")));
    ASSERT_TRUE(std::regex_search(run.out, silent,
                                  std::regex("key is silent +the pad is ([0-9.]+) dB lower")));
    EXPECT_GT(std::atof(strong[1].str().c_str()), 3.0);
    EXPECT_LT(std::atof(silent[1].str().c_str()), 1.5);
    EXPECT_NE(run.out.find("real-time factor "), std::string::npos);
}
