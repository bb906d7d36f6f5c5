// The Windows editor under wine: win32_editor_host (cross-built, GoogleTest cases of its own)
// opens the module's editor in real Win32 windows on a private Xvfb and checks what it can see
// there; here its run must pass, and the screens it grabbed must equal the headless back end's
// picture of the same state.
//
// QUORVANE_WINE is the wine loader, QUORVANE_WINDOWS_BUILD the Windows build folder (with
// Quorvane.dll and tests/win32/win32_editor_host.exe) and QUORVANE_TEST_DIR the folder for the
// wine prefix and the grabs. Without the Windows build or the loader the run is skipped (exit
// code 77).

#include <gtest/gtest.h>

#include "gui/platform/raster/rasterdevice.h"
#include "headlesspanel.h"
#include "scene.h"
#include "xvfb.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>

namespace quorvane::win32test {

namespace {

namespace fs = std::filesystem;

// The delay display, whose digits come from GDI's font engine under wine.
constexpr platform::Rect kDelayDisplay{818, 92, 846, 105};

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

struct Paths {
    fs::path wine = environment("QUORVANE_WINE");
    fs::path build = environment("QUORVANE_WINDOWS_BUILD");
    fs::path dir = environment("QUORVANE_TEST_DIR");
    fs::path host = build / "tests" / "win32" / "win32_editor_host.exe";
    fs::path module = build / "Quorvane.dll";
    fs::path output = dir / "output";
    fs::path log = dir / "output" / "wine.log";
};

// The host's run, once for all tests: its exit status and its report.
struct HostRun {
    int status = -1;
    std::string log;

    static const HostRun& get() {
        static HostRun run;
        return run;
    }

private:
    HostRun() {
        Paths paths;
        fs::remove_all(paths.output);
        fs::create_directories(paths.output);
        // a prefix of our own, on the test's X server, without a window manager; the image
        // library as a file in the program's folder would be taken first, as on Windows
        setenv("WINEPREFIX", (paths.dir / "wineprefix").c_str(), 1);
        setenv("WINEDLLOVERRIDES", "mscoree,mshtml=;msimg32=n,b", 1);
        setenv("WINEDEBUG", "-all", 0);
        setenv("DISPLAY", x11test::displayName().c_str(), 1);
        // a host that hangs (a crash waiting for its dialog) is stopped before ctest's limit
        const std::string command = "timeout -k 10 420 '" + paths.wine.string() + "' '" +
                                    paths.host.string() + "' 'Z:" + paths.module.string() +
                                    "' 'Z:" + paths.output.string() + "' >'" + paths.log.string() +
                                    "' 2>&1";
        const int wait = std::system(command.c_str());
        status = WIFEXITED(wait) ? WEXITSTATUS(wait) : 128 + WTERMSIG(wait);
        std::ifstream in(paths.log);
        log.assign(std::istreambuf_iterator<char>(in), {});
    }
};

// A grab the host wrote: the size, the effect's eight parameters, then the pixels.
struct Grab {
    float parameters[8] = {};
    raster::PixelBuffer pixels{0, 0};
};

Grab readGrab(const std::string& name) {
    std::ifstream in(Paths().output / (name + ".raw"), std::ios::binary);
    int32_t size[2] = {0, 0};
    Grab grab;
    in.read(reinterpret_cast<char*>(size), sizeof(size));
    in.read(reinterpret_cast<char*>(grab.parameters), sizeof(grab.parameters));
    if (!in || size[0] <= 0 || size[1] <= 0) return grab;
    grab.pixels = raster::PixelBuffer(size[0], size[1]);
    for (int y = 0; y < size[1]; y++)
        in.read(reinterpret_cast<char*>(grab.pixels.row(y)), std::streamsize(size[0]) * 4);
    return grab;
}

TEST(Win32Editor, TheWindowsCasesPass) {
    const HostRun& run = HostRun::get();
    EXPECT_EQ(run.status, 0) << run.log;
    EXPECT_NE(run.log.find("[  PASSED  ]"), std::string::npos) << run.log;
}

// Every panel the host grabbed is the headless picture of the parameters it showed then.
TEST(Win32Editor, EveryGrabbedPanelShowsTheHeadlessPicture) {
    HostRun::get();
    for (const char* name :
         {"panel", "repainted", "held", "released", "restored", "lamps", "stepped"}) {
        Grab grab = readGrab(name);
        ASSERT_GT(grab.pixels.width(), 0) << name << " was not grabbed";
        std::vector<std::pair<int32_t, float>> parameters;
        for (int32_t i = 0; i < 8; i++)
            parameters.emplace_back(i, grab.parameters[i]);
        EXPECT_EQ(mismatch(grab.pixels, headlessPanelOf(parameters), kDelayDisplay), "") << name;
    }
}

// GDI draws every primitive the toolkit uses exactly as the raster engine does.
TEST(Win32Editor, GdiDrawsTheSceneAsTheRasterEngine) {
    HostRun::get();
    headless::reset();
    auto handle = platform::loadBitmap(129);
    auto lamp = platform::loadBitmap(130);
    ASSERT_TRUE(handle && lamp);
    raster::PixelBuffer expected(kSceneWidth, kSceneHeight, raster::rgb(0xC0, 0xC0, 0xC0));
    raster::RasterDevice device(expected);
    drawScene(device, *handle, *lamp);
    EXPECT_EQ(mismatch(readGrab("scene").pixels, expected), "");
}

} // namespace

} // namespace quorvane::win32test

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    quorvane::win32test::Paths paths;
    for (const auto& needed : {paths.host, paths.module, paths.wine}) {
        if (!std::filesystem::exists(needed)) {
            std::printf("skipped: %s is missing\n", needed.c_str());
            return 77;
        }
    }
    return RUN_ALL_TESTS();
}
