// Turning a dropped uri list into the paths handed to the frame.

#include "gui/platform/x11/urilist.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

namespace quorvane::x11test {

using x11::dropPath;
using x11::pathsFromUriList;

namespace {
std::vector<std::string> paths(const std::string& list) {
    return pathsFromUriList(list.data(), list.size());
}
} // namespace

TEST(UriList, KeepsLocalFilesDecodedInOrder) {
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    auto p = paths("file:///a/b%20c\r\n#comment\r\nfile://localhost/d%2fe\nfile://" +
                   std::string(host) + "/f%C3%BC\r\nfile:///g%zz%4");
    ASSERT_EQ(p.size(), 4u);
    EXPECT_EQ(p[0], "/a/b c");
    EXPECT_EQ(p[1], "/d/e");
    EXPECT_EQ(p[2], "/f\xC3\xBC");
    EXPECT_EQ(p[3], "/g%zz%4");
}

TEST(UriList, LeavesOutOtherSchemesOtherHostsAndZeroBytes) {
    auto p = paths("http://x/y\r\nfile://elsewhere.invalid/z\r\nfile:/short\r\nfile:///n%00ul\r\n"
                   "file://\r\nfile:///ok");
    ASSERT_EQ(p.size(), 1u);
    EXPECT_EQ(p[0], "/ok");
    EXPECT_TRUE(paths("").empty());
    // a list cut off by a zero byte ends there
    std::string cut("file:///a\0b\r\nfile:///c", 22);
    p = paths(cut);
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[0], "/a");
}

TEST(DropPath, SkipsWhatDoesNotFitRatherThanCuttingIt) {
    std::string fits = "/" + std::string(x11::kDropPathSize - 2, 'a');
    EXPECT_EQ(dropPath(fits), fits);
    EXPECT_EQ(dropPath(fits + "b"), "");
}

TEST(DropPath, ResolvesSymbolicLinksOnly) {
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("quorvane-link-" + std::to_string(getpid()));
    fs::create_directories(dir / "real");
    std::ofstream(dir / "real" / "f.wav") << "x";
    fs::create_symlink(dir / "real" / "f.wav", dir / "link.wav");
    fs::create_symlink(dir / "missing", dir / "dangling");
    std::string canonical = fs::canonical(dir / "real" / "f.wav").string();
    EXPECT_EQ(dropPath((dir / "link.wav").string()), canonical);
    EXPECT_EQ(dropPath((dir / "real" / "f.wav").string()), (dir / "real" / "f.wav").string());
    EXPECT_EQ(dropPath((dir / "dangling").string()), (dir / "dangling").string());
    // a link whose target is too long to hand over is skipped
    std::string deep = (dir / "real").string();
    while (deep.size() < x11::kDropPathSize + 10)
        deep += "/dddddddddddddddddddddddddddddddddddddddddddddddddd";
    fs::create_directories(deep);
    fs::create_symlink(deep, dir / "deeplink");
    EXPECT_EQ(dropPath((dir / "deeplink").string()), "");
    fs::remove_all(dir);
}

} // namespace quorvane::x11test
