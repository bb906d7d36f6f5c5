// quorvane snapshot run in this process on the headless back end, with test bitmaps of the
// panel's sizes told apart by colour; the PNG it writes is read back and checked by region.

#include "snapshot.h"
#include "toolerror.h"

#include "panelbitmaps.h"

#include <CLI/CLI.hpp>
#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace editortest;

// The command line after "quorvane", parsed and run as the tool does; 2 for a usage error.
int quorvane(const std::vector<std::string>& args) {
    CLI::App app;
    std::function<int()> run;
    quorvane::cli::registerSnapshotCommand(app, run);
    std::vector<std::string> words{"quorvane"};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(w.data());
    try {
        app.parse(static_cast<int>(argv.size()), argv.data());
    } catch (const CLI::ParseError&) {
        return 2;
    }
    // Failures end as the tool's main reports them: their exit code.
    try {
        return run ? run() : 2;
    } catch (const quorvane::cli::ToolError& e) {
        return e.exitCode();
    }
}

PixelBuffer readPng(const std::string& path) {
    png_image image;
    std::memset(&image, 0, sizeof(image));
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> bytes(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, bytes.data(), 0, nullptr)) return {};
    PixelBuffer picture(int32_t(image.width), int32_t(image.height));
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const uint8_t* p = &bytes[(size_t(y) * image.width + size_t(x)) * 3];
            picture.set(x, y, rgb(p[0], p[1], p[2]));
        }
    return picture;
}

// Pixels of [left, right] x [top, bottom] that are not as expected.
int mismatches(const PixelBuffer& p, int left, int top, int right, int bottom,
               const std::function<uint32_t(int, int)>& expected) {
    int wrong = 0;
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x)
            wrong += p.at(x, y) != expected(x, y);
    return wrong;
}
auto plain(uint32_t colour) {
    return [colour](int, int) { return colour; };
}

class Snapshot : public ::testing::Test {
protected:
    void SetUp() override {
        headless::reset();
        registerPanelBitmaps();
        path = std::string(SNAPSHOT_TEST_DIR) + "/" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".png";
        std::remove(path.c_str());
    }
    std::string path;
};

TEST_F(Snapshot, ControlsLieWhereTheLayoutPutsThem) {
    ASSERT_EQ(quorvane({"snapshot", "--set", "0=1", "--set", "5=0.5", "--set", "1=0.75", "--set",
                        "2=1.25", "-o", path}),
              0);
    const PixelBuffer p = readPng(path);
    ASSERT_EQ(p.width(), 900);
    ASSERT_EQ(p.height(), 202);

    // handle at the top of its travel, one pixel in from the track's left edge
    EXPECT_EQ(mismatches(p, 824, 105, 837, 116, plain(kHandle)), 0);
    EXPECT_EQ(mismatches(p, 823, 105, 823, 174, plain(kTrack)), 0);
    EXPECT_EQ(mismatches(p, 824, 117, 838, 174, plain(kTrack)), 0);
    // lamps: mode in the middle position, the others at the top
    EXPECT_EQ(mismatches(p, 83, 40, 113, 84, plain(lamp(1))), 0);
    EXPECT_EQ(mismatches(p, 83, 122, 113, 166, plain(lamp(0))), 0);
    EXPECT_EQ(mismatches(p, 793, 40, 819, 67, plain(rmsLamp(0))), 0);
    // channel 0: full bar; channel 1: unlit bar under the peak marker at segment 19
    auto lit = [](int top) { return [top](int x, int y) { return meterOn(x - 151, y - top); }; };
    EXPECT_EQ(mismatches(p, 151, 65, 754, 91, lit(65)), 0);
    EXPECT_EQ(mismatches(p, 151 + 286, 115, 151 + 301, 141, lit(115)), 0);
    EXPECT_EQ(mismatches(p, 151, 115, 151 + 285, 141, plain(kMeterOff)), 0);
    EXPECT_EQ(mismatches(p, 151 + 302, 115, 754, 141, plain(kMeterOff)), 0);
    // the panel around them
    EXPECT_EQ(mismatches(p, 0, 0, 899, 39, plain(kPanel)), 0);
    EXPECT_EQ(mismatches(p, 150, 65, 150, 141, plain(kPanel)), 0);
    EXPECT_EQ(mismatches(p, 755, 65, 760, 141, plain(kPanel)), 0);
    EXPECT_EQ(mismatches(p, 151, 92, 754, 114, plain(kPanel)), 0);
}

TEST_F(Snapshot, FreshInstance) {
    ASSERT_EQ(quorvane({"snapshot", "-o", path}), 0);
    const PixelBuffer p = readPng(path);
    ASSERT_EQ(p.width(), 900);
    EXPECT_EQ(mismatches(p, 824, 162, 837, 173, plain(kHandle)), 0); // bottom of the travel
    EXPECT_EQ(mismatches(p, 824, 105, 838, 161, plain(kTrack)), 0);
    EXPECT_EQ(mismatches(p, 83, 40, 113, 84, plain(lamp(0))), 0);
    EXPECT_EQ(mismatches(p, 151, 65, 754, 91, plain(kMeterOff)), 0);
    EXPECT_EQ(mismatches(p, 151, 115, 754, 141, plain(kMeterOff)), 0);
}

TEST_F(Snapshot, ChangesFollowTheProgram) {
    ASSERT_EQ(quorvane({"snapshot", "--program", "15", "--set", "7=1", "--set", "6=0.5", "--set",
                        "3=1.5", "-o", path}),
              0);
    const PixelBuffer p = readPng(path);
    EXPECT_EQ(mismatches(p, 793, 40, 819, 67, plain(rmsLamp(1))), 0);
    EXPECT_EQ(mismatches(p, 83, 122, 113, 166, plain(lamp(1))), 0);
    // hold marker of channel 1 at the top: the last segment over the unlit bar
    auto lit = [](int x, int y) { return meterOn(x - 151, y - 115); };
    EXPECT_EQ(mismatches(p, 151 + 588, 115, 754, 141, lit), 0);
    EXPECT_EQ(mismatches(p, 151, 115, 151 + 587, 141, plain(kMeterOff)), 0);
}

TEST_F(Snapshot, BadCommandLinesWriteNothing) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"snapshot", "--set", "8=1", "-o", path},
             {"snapshot", "--set", "-1=1", "-o", path},
             {"snapshot", "--set", "0", "-o", path},
             {"snapshot", "--set", "0=loud", "-o", path},
             {"snapshot", "--set", "0=nan", "-o", path},
             {"snapshot", "--set", "0=inf", "-o", path},
             {"snapshot", "--program", "16", "-o", path},
             {"snapshot", "--program", "-1", "-o", path},
             {"snapshot", "--set", "0=1"},
         }) {
        EXPECT_EQ(quorvane(args), 2) << args[1] << " " << args[2];
        EXPECT_EQ(std::fopen(path.c_str(), "rb"), nullptr);
    }
}

TEST_F(Snapshot, UnwritableOutputIsReported) {
    const std::string missing = std::string(SNAPSHOT_TEST_DIR) + "/no-such-folder/panel.png";
    EXPECT_EQ(quorvane({"snapshot", "-o", missing}), 5);
    EXPECT_TRUE(headless::windows().empty()); // the editor and the instance were closed
}

TEST_F(Snapshot, ExistingFileIsReplaced) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("old", f);
    std::fclose(f);
    ASSERT_EQ(quorvane({"snapshot", "-o", path}), 0);
    EXPECT_EQ(readPng(path).width(), 900);
}

} // namespace
