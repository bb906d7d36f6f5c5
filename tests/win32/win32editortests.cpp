// The Windows editor under wine: win32_editor_host (cross-built) opens the 64-bit module's editor
// in a real Win32 window on a private Xvfb, plays input and drops, and reports what it saw. Here
// each of its cases is judged, and its screen grabs are compared with the headless back end's
// picture of the same state.

#include <gtest/gtest.h>

#include "gui/aeffguieditor.h"
#include "gui/platform/headless/headless.h"
#include "gui/platform/headless/headlesswindow.h"
#include "gui/platform/raster/rasterdevice.h"
#include "gui/platform/raster/rasteroffscreen.h"
#include "headlesspanel.h"
#include "module/adelayedit.h"
#include "scene.h"
#include "xvfb.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace quorvane::win32test {

namespace {

namespace fs = std::filesystem;

constexpr int kWidth = 900;
constexpr int kHeight = 202;
// The delay display, whose digits come from GDI's font engine under wine.
constexpr platform::Rect kDelayDisplay{818, 92, 846, 105};

// What the host program reported about one case.
struct CaseReport {
    bool ended = false;
    std::vector<std::string> failures;
    std::map<std::string, std::string> values;
    std::vector<std::string> grabs;
};

class HostRun {
public:
    static HostRun& get() {
        static HostRun run;
        return run;
    }
    const std::string& problem() const { return problem_; }
    const CaseReport& at(const std::string& name) { return cases_[name]; }
    fs::path grab(const std::string& name) const { return output_ / (name + ".raw"); }

private:
    HostRun() {
        output_ = fs::path(WIN32_TEST_DIR) / "output";
        fs::remove_all(output_);
        fs::create_directories(output_);
        if (!fs::exists(WIN32_EDITOR_HOST) || !fs::exists(WIN32_MODULE)) {
            problem_ = "the Windows build is missing (" WIN32_EDITOR_HOST ")";
            return;
        }
        runHost();
        readReport();
    }

    // wine64 in a prefix of our own, on the test's X server, without a window manager.
    void runHost() {
        pid_t child = fork();
        if (child == 0) {
            setenv("WINEPREFIX", (fs::path(WIN32_TEST_DIR) / "wineprefix").c_str(), 1);
            setenv("WINEDLLOVERRIDES", "mscoree,mshtml=", 1);
            setenv("WINEDEBUG", "-all", 0);
            setenv("DISPLAY", x11test::displayName().c_str(), 1);
            std::string module = "Z:" + std::string(WIN32_MODULE);
            std::string output = "Z:" + output_.string();
            std::string log = (output_ / "wine.log").string();
            freopen(log.c_str(), "w", stderr);
            execl(WINE, WINE, WIN32_EDITOR_HOST, module.c_str(), output.c_str(),
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        waitpid(child, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            problem_ =
                "win32_editor_host did not finish (see " + (output_ / "wine.log").string() + ")";
    }

    void readReport() {
        std::ifstream in(output_ / "report.txt");
        std::string text;
        bool done = false;
        while (std::getline(in, text)) {
            std::istringstream line(text);
            std::string kind, name;
            line >> kind >> name;
            CaseReport& c = cases_[name];
            if (kind == "end") c.ended = true;
            if (kind == "fail") c.failures.push_back(text);
            if (kind == "grab") line >> c.grabs.emplace_back();
            if (kind == "value") {
                std::string key, value;
                line >> key >> value;
                c.values[key] = value;
            }
            if (kind == "done") done = true;
        }
        if (problem_.empty() && !done) problem_ = "the report ends early";
    }

    fs::path output_;
    std::string problem_;
    std::map<std::string, CaseReport> cases_;
};

raster::PixelBuffer readGrab(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    int32_t size[2] = {0, 0};
    in.read(reinterpret_cast<char*>(size), sizeof(size));
    raster::PixelBuffer pixels(size[0], size[1]);
    for (int y = 0; y < pixels.height(); y++)
        in.read(reinterpret_cast<char*>(pixels.row(y)), std::streamsize(size[0]) * 4);
    return pixels;
}

intptr_t VSTCALLBACK hostCallback(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    if (opcode == audioMasterVersion) return 2400;
    if (opcode == audioMasterGetSampleRate) return 44100;
    return 0;
}

// The panel as the headless back end paints it, with the given parameter values.
raster::PixelBuffer headlessPanel(const std::map<int, float>& parameters) {
    return headlessPanelOf(hostCallback, {parameters.begin(), parameters.end()});
}

// Empty when a equals b outside skip, otherwise the box around the pixels that differ.
std::string mismatch(const raster::PixelBuffer& a, const raster::PixelBuffer& b,
                     platform::Rect skip = {}) {
    if (a.width() != b.width() || a.height() != b.height()) return "sizes differ";
    int left = a.width(), top = a.height(), right = -1, bottom = -1, count = 0;
    for (int y = 0; y < a.height(); y++) {
        for (int x = 0; x < a.width(); x++) {
            bool skipped = x >= skip.left && x < skip.right && y >= skip.top && y < skip.bottom;
            if (skipped || a.at(x, y) == b.at(x, y)) continue;
            count++;
            left = std::min(left, x);
            top = std::min(top, y);
            right = std::max(right, x);
            bottom = std::max(bottom, y);
        }
    }
    if (right < 0) return "";
    return std::to_string(count) + " pixels differ in " + std::to_string(left) + "," +
           std::to_string(top) + " .. " + std::to_string(right) + "," + std::to_string(bottom);
}

float number(const CaseReport& c, const std::string& key) {
    auto found = c.values.find(key);
    return found == c.values.end() ? -1.0f : std::strtof(found->second.c_str(), nullptr);
}

class Win32Editor : public ::testing::Test {
protected:
    // The case ran to its end without a failed check.
    const CaseReport& expectClean(const std::string& name) {
        HostRun& run = HostRun::get();
        EXPECT_EQ(run.problem(), "");
        const CaseReport& c = run.at(name);
        EXPECT_TRUE(c.ended) << name << " did not run to its end";
        for (const std::string& failure : c.failures)
            ADD_FAILURE() << failure;
        return c;
    }
    // A grab of the case equals the headless panel with the delay it reported (and others).
    void expectPanel(const CaseReport& c, const std::string& grab,
                     std::map<int, float> parameters = {}) {
        ASSERT_NE(std::find(c.grabs.begin(), c.grabs.end(), grab), c.grabs.end()) << grab;
        parameters[0] = number(c, grab + ".delay");
        raster::PixelBuffer screen = readGrab(HostRun::get().grab(grab));
        EXPECT_EQ(mismatch(screen, headlessPanel(parameters), kDelayDisplay), "") << grab;
    }
};

} // namespace

TEST_F(Win32Editor, OpensAsAChildOfTheHostWindowAndShowsTheHeadlessPicture) {
    const CaseReport& c = expectClean("panel");
    expectPanel(c, "panel");
    expectPanel(c, "repainted");
}

TEST_F(Win32Editor, DraggingTheSliderAutomatesRisingValuesAndTheHandleFollowsWhileHeld) {
    const CaseReport& c = expectClean("drag");
    EXPECT_GE(number(c, "edits"), 6.0f);
    EXPECT_GT(number(c, "held.delay"), 0.0f);
    EXPECT_LT(number(c, "held.delay"), number(c, "released.delay"));
    expectPanel(c, "held");
    expectPanel(c, "released");
}

TEST_F(Win32Editor, CtrlClickRestoresTheDefaultWithoutAnEditBracket) {
    const CaseReport& c = expectClean("ctrlclick");
    EXPECT_EQ(number(c, "restored.delay"), 0.5f);
    expectPanel(c, "restored");
}

TEST_F(Win32Editor, EverySwitchZoneSetsItsValue) {
    const CaseReport& c = expectClean("switches");
    expectPanel(c, "lamps", {{5, 1.0f}, {6, 0.5f}, {7, 1.0f}});
}

TEST_F(Win32Editor, ArrowKeysFromTheHostStepTheSlider) {
    const CaseReport& c = expectClean("keys");
    expectPanel(c, "stepped");
}

TEST_F(Win32Editor, AHundredOpensAndClosesLeaveNoWindowAndNoObjectBehind) {
    const CaseReport& c = expectClean("openclose");
    EXPECT_GT(number(c, "gdi.before"), 0.0f);
    EXPECT_EQ(number(c, "gdi.after"), number(c, "gdi.before"));
    EXPECT_EQ(number(c, "user.after"), number(c, "user.before"));
}

TEST_F(Win32Editor, EditorsShareTheWindowClassAcrossInstancesAndThreads) {
    expectClean("twoeditors");
    expectClean("threads");
}

TEST_F(Win32Editor, ADestroyedParentOrAnEffectClosedUnderTheEditorEndItQuietly) {
    expectClean("parentdestroyed");
    expectClean("effectclosed");
}

TEST_F(Win32Editor, TextAndFileDropsReachTheWindowWithItemsCountAndType) {
    expectClean("drop");
}

// GDI draws every primitive the toolkit uses exactly as the raster engine does, and
// TransparentBlt and the mask method key the same pixels.
TEST_F(Win32Editor, GdiDrawsTheSceneAsTheRasterEngine) {
    const CaseReport& c = expectClean("scene");
    ASSERT_EQ(c.grabs.size(), 2u);
    headless::reset();
    auto handle = platform::loadBitmap(129);
    auto lamp = platform::loadBitmap(130);
    ASSERT_TRUE(handle && lamp);
    raster::PixelBuffer expected(kSceneWidth, kSceneHeight, raster::rgb(0xC0, 0xC0, 0xC0));
    raster::RasterDevice device(expected);
    drawScene(device, *handle, *lamp);
    EXPECT_EQ(mismatch(readGrab(HostRun::get().grab("scene")), expected), "");
    EXPECT_EQ(mismatch(readGrab(HostRun::get().grab("scene-masked")), expected), "");
}

} // namespace quorvane::win32test
