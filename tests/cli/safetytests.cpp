// The tool never loses a file or reports a failed write as success: full disks and size limits
// are errors in every format, devices, FIFOs and links are written through and never replaced,
// all outputs are replaced or none, signals and limits leave no temporary file behind.

#include "testfiles.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

using namespace clitest;

namespace {

constexpr int kOutput = 5;

Audio noiseAudio(int channels, size_t frames, int sampleRate, uint32_t seed) {
    Audio audio;
    audio.channels = channels;
    audio.sampleRate = sampleRate;
    audio.samples = noise(frames * channels, 0.5f, seed);
    return audio;
}

bool isRoot() {
    return geteuid() == 0;
}

mode_t typeOf(const std::string& path) {
    struct stat status {};
    return lstat(path.c_str(), &status) == 0 ? status.st_mode & S_IFMT : 0;
}

// Reads everything written into a FIFO, on a thread of its own, until the writer closes it.
class FifoReader {
public:
    explicit FifoReader(const std::string& path) : path_(path) {
        mkfifo(path.c_str(), 0644);
        thread_ = std::thread([this] {
            std::ifstream in(path_, std::ios::binary);
            bytes_.assign(std::istreambuf_iterator<char>(in), {});
        });
    }
    // What was read; waits for the writer to close.
    const std::string& bytes() {
        if (thread_.joinable()) thread_.join();
        return bytes_;
    }
    ~FifoReader() {
        if (!thread_.joinable()) return;
        // A writer that never came: open the other end so the reader ends.
        const int unblock = open(path_.c_str(), O_WRONLY | O_NONBLOCK);
        if (unblock >= 0) close(unblock);
        thread_.join();
    }

private:
    std::string path_;
    std::string bytes_;
    std::thread thread_;
};

class Safety : public ::testing::Test {
protected:
    ScratchFolder folder;
    std::string key = folder.path("key.wav");
    std::string input = folder.path("input.wav");
    std::string delay = fakeModule("fake_delay");

    void SetUp() override {
        writeAudio(key, noiseAudio(1, 3000, 48000, 1));
        writeAudio(input, noiseAudio(2, 3000, 48000, 2));
    }

    std::vector<std::string> render(std::vector<std::string> extra) const {
        std::vector<std::string> args = {"render", key, input, "--plugin", delay, "--quiet"};
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }
};

// Hidden temporary files left in a folder.
std::vector<std::string> hidden(const ScratchFolder& folder) {
    std::vector<std::string> names;
    for (const std::string& name : folder.entries())
        if (name[0] == '.') names.push_back(name);
    return names;
}

} // namespace

TEST_F(Safety, AFullDiskIsAnErrorInEveryFormatAndReplacesNothing) {
    // A small file system of its own where the test may mount one, else a file-size limit.
    const std::string disk = folder.path("disk");
    mkdir(disk.c_str(), 0755);
    const bool mounted = isRoot() && mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k") == 0;
    ChildSetup setup;
    if (mounted) {
        // Fill it but for 8 KiB.
        const std::string filler = disk + "/filler";
        {
            std::ofstream fill(filler, std::ios::binary);
            const std::string block(4096, 'x');
            while (fill.write(block.data(), block.size()))
                fill.flush();
        }
        std::filesystem::resize_file(filler, std::filesystem::file_size(filler) - 8192);
    } else {
        setup.fileSizeLimit = 8192;
    }
    writeAudio(input, noiseAudio(2, 96000, 48000, 2)); // 2 s: more than 8 KiB in any format
    for (const char* name : {"good.wav", "good.flac", "good.ogg", "good.opus", "good.mp3"}) {
        const std::string good = disk + "/" + name;
        writeText(good, "a complete file");
        const ToolRun run = runTool(render({"-o", good}), setup);
        EXPECT_EQ(run.exitCode, kOutput) << name << ": " << run.err;
        const std::string reason = mounted ? "(No space left on device)" : "(File too large)";
        EXPECT_EQ(run.err, "quorvane: error: " + good + ": cannot be written " + reason + "\n");
        EXPECT_EQ(readText(good), "a complete file") << name;
        std::vector<std::string> left;
        for (const auto& entry : std::filesystem::directory_iterator(disk))
            left.push_back(entry.path().filename().string());
        std::sort(left.begin(), left.end());
        EXPECT_EQ(left, (mounted ? std::vector<std::string>{"filler", name}
                                 : std::vector<std::string>{name}))
            << name;
        std::remove(good.c_str());
    }
    if (mounted) umount(disk.c_str());
}

TEST_F(Safety, DevicesFifosAndLinksAreWrittenThroughNotReplaced) {
    // Device nodes of the scratch folder where the test may make them: a faulty tool can then
    // only replace those.
    std::string null = "/dev/null", full = "/dev/full";
    if (isRoot()) {
        null = folder.path("null");
        full = folder.path("full");
        ASSERT_EQ(mknod(null.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
        ASSERT_EQ(mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)), 0);
    }
    const std::string kept = folder.path("kept.wav");
    writeText(kept, "keep me");
    const std::vector<std::string> audio = {"render", key, input, "--plugin", delay, "--quiet"};
    const auto with = [](std::vector<std::string> args, std::vector<std::string> more) {
        args.insert(args.end(), more.begin(), more.end());
        return args;
    };

    // Devices: the bytes go in, the node stays; a device that refuses them is an error and
    // replaces nothing else.
    for (const auto& args :
         {with(audio, {"-o", null}), with(audio, {"--mix", null, "--plot", folder.path("p.png")}),
          std::vector<std::string>{"snapshot", "-o", null},
          with({"plot", key, input, "--plugin", delay, "--quiet"}, {"-o", null})}) {
        const ToolRun run = runTool(args);
        EXPECT_EQ(run.exitCode, 0) << args[0] << ": " << run.err;
        EXPECT_EQ(typeOf(null), S_IFCHR);
    }
    std::remove(folder.path("p.png").c_str());
    const ToolRun refused = runTool(with(audio, {"-o", kept, "--mix", full}));
    EXPECT_EQ(refused.exitCode, kOutput);
    EXPECT_EQ(refused.err,
              "quorvane: error: " + full + ": cannot be written (No space left on device)\n");
    EXPECT_EQ(typeOf(full), S_IFCHR);
    EXPECT_EQ(readText(kept), "keep me");
    EXPECT_EQ(hidden(folder), std::vector<std::string>{});

    // FIFOs: the reader gets the whole file.
    {
        FifoReader reader(folder.path("fifo.wav"));
        ASSERT_EQ(runTool(with(audio, {"-o", folder.path("fifo.wav")})).exitCode, 0);
        writeText(folder.path("from-fifo.wav"), reader.bytes());
        EXPECT_EQ(readAudio(folder.path("from-fifo.wav")).samples, readAudio(input).samples);
        EXPECT_EQ(typeOf(folder.path("fifo.wav")), S_IFIFO);
    }
    {
        FifoReader reader(folder.path("fifo.png"));
        ASSERT_EQ(runTool({"snapshot", "-o", folder.path("fifo.png")}).exitCode, 0);
        EXPECT_EQ(reader.bytes().substr(0, 8), "\x89PNG\r\n\x1a\n");
        EXPECT_EQ(typeOf(folder.path("fifo.png")), S_IFIFO);
    }

    // Links: the target is replaced and the link stays; a dangling link gets its target made.
    writeText(folder.path("target.wav"), "old");
    writeText(folder.path("target.png"), "old");
    symlink("target.wav", folder.path("link.wav").c_str());
    symlink(folder.path("target.png").c_str(), folder.path("link.png").c_str());
    symlink("made.wav", folder.path("dangling.wav").c_str());
    for (const auto& args : {with(audio, {"-o", folder.path("link.wav")}),
                             with(audio, {"-o", folder.path("dangling.wav")}),
                             std::vector<std::string>{"snapshot", "-o", folder.path("link.png")}})
        EXPECT_EQ(runTool(args).exitCode, 0) << args.back();
    for (const char* link : {"link.wav", "link.png", "dangling.wav"})
        EXPECT_EQ(typeOf(folder.path(link)), S_IFLNK) << link;
    EXPECT_EQ(readAudio(folder.path("target.wav")).samples, readAudio(input).samples);
    EXPECT_EQ(readAudio(folder.path("made.wav")).samples, readAudio(input).samples);
    EXPECT_EQ(readText(folder.path("target.png")).substr(0, 4), "\x89PNG");
    EXPECT_EQ(hidden(folder), std::vector<std::string>{});
}

TEST_F(Safety, AFileThatCannotBeReplacedStopsTheRenderBeforeItStarts) {
    if (!isRoot()) GTEST_SKIP() << "needs root to own files as two users";
    // A shared sticky folder; the user owns mine.wav, root owns rootmix.wav.
    constexpr uid_t kUser = 54321;
    const std::string shared = folder.path("shared");
    mkdir(shared.c_str(), 0777);
    chmod(shared.c_str(), 01777);
    chmod(folder.path("").c_str(), 0755);
    const std::string mine = shared + "/mine.wav", rootmix = shared + "/rootmix.wav";
    writeText(mine, "the user's");
    writeText(rootmix, "root's");
    chmod(rootmix.c_str(), 0666);
    ASSERT_EQ(chown(mine.c_str(), kUser, kUser), 0);
    ChildSetup user;
    user.switchUser = true;
    user.uid = kUser;

    // The module does not exist: a refusal found after the render would say so instead.
    const ToolRun run = runTool({"render", key, input, "-o", mine, "--mix", rootmix, "--plugin",
                                 folder.path("none.so"), "--quiet"},
                                user);
    EXPECT_EQ(run.exitCode, kOutput);
    EXPECT_EQ(run.err, "quorvane: error: " + rootmix +
                           ": cannot be replaced (Operation not permitted: it belongs to another "
                           "user in a shared folder)\n");
    EXPECT_EQ(readText(mine), "the user's");
    EXPECT_EQ(readText(rootmix), "root's");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(shared), {}), 2);

    // Its own files the user replaces there.
    const ToolRun own = runTool(render({"-o", mine}), user);
    EXPECT_EQ(own.exitCode, 0) << own.err;
    EXPECT_EQ(readAudio(mine).frames(), 3000u);
}

TEST_F(Safety, AReplacementRefusedAtTheEndPutsBackThoseBeforeIt) {
    // A folder takes the mix's name while the render runs: the output, already in place by
    // then, goes back to what it was.
    writeAudio(input, noiseAudio(1, 100000, 48000, 2)); // about 3 s through the slow stand-in
    const std::string output = folder.path("a.wav"), mix = folder.path("b.wav");
    writeText(output, "keep me");
    const ScratchFolder streams;
    const pid_t pid = startTool({"render", key, input, "-o", output, "--mix", mix, "--plugin",
                                 fakeModule("fake_slow"), "--block", "64", "--quiet"},
                                streams.path("out"), streams.path("err"));
    for (int i = 0; i < 400 && hidden(folder).size() < 2; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(hidden(folder).size(), 2u) << "the render never started its outputs";
    mkdir(mix.c_str(), 0755);
    EXPECT_EQ(waitTool(pid), kOutput);
    EXPECT_EQ(readText(streams.path("err")),
              "quorvane: error: " + mix + ": cannot be replaced (Is a directory)\n");
    EXPECT_EQ(readText(output), "keep me");
    EXPECT_EQ(typeOf(mix), S_IFDIR);
    EXPECT_EQ(hidden(folder), std::vector<std::string>{});
}

TEST_F(Safety, EverySignalThatEndsTheToolRemovesItsTemporaryFiles) {
    writeAudio(input, noiseAudio(1, 100000, 48000, 2)); // about 3 s through the slow stand-in
    const std::string output = folder.path("out.wav");
    writeText(output, "keep me");
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM}) {
        const ScratchFolder streams;
        const pid_t pid = startTool({"render", key, input, "-o", output, "--plugin",
                                     fakeModule("fake_slow"), "--block", "64"},
                                    streams.path("out"), streams.path("err"));
        for (int i = 0; i < 400 && hidden(folder).empty(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ASSERT_EQ(hidden(folder).size(), 1u) << "the render never started its output";
        kill(pid, signal);
        EXPECT_EQ(waitTool(pid), 130) << strsignal(signal);
        EXPECT_EQ(readText(streams.path("err")),
                  "quorvane: error: interrupted; no output was written\n");
        EXPECT_EQ(readText(output), "keep me");
        EXPECT_EQ(hidden(folder), std::vector<std::string>{}) << strsignal(signal);
    }

    // The file-size limit: an output error, not a silent death.
    ChildSetup limited;
    limited.fileSizeLimit = 20000;
    const ToolRun tooLarge = runTool(render({"-o", output}), limited);
    EXPECT_EQ(tooLarge.exitCode, kOutput);
    EXPECT_EQ(tooLarge.err,
              "quorvane: error: " + output + ": cannot be written (File too large)\n");
    EXPECT_EQ(readText(output), "keep me");
    EXPECT_EQ(hidden(folder), std::vector<std::string>{});

    // A closed pipe on standard output: an output error.
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    close(pipeEnds[0]);
    ChildSetup broken;
    broken.standardOutput = pipeEnds[1];
    const ToolRun closed = runTool(render({"-o", "-"}), broken);
    close(pipeEnds[1]);
    EXPECT_EQ(closed.exitCode, kOutput);
    EXPECT_EQ(closed.err, "quorvane: error: standard output: cannot be written (Broken pipe)\n");
    EXPECT_EQ(hidden(folder), std::vector<std::string>{});
}

TEST_F(Safety, NonFiniteSamplesAreToldAndPassAsTheyAre) {
    // A NaN in every 1000 input samples; the key and the input as large as floats go where the
    // mix adds them, so it overflows.
    Audio in = noiseAudio(2, 3000, 48000, 2), k = noiseAudio(1, 3000, 48000, 1);
    for (size_t i = 0; i < in.samples.size(); i += 1000)
        in.samples[i] = std::nanf("");
    k.samples[11] = 3.0e38f;
    in.samples[22] = in.samples[23] = 3.0e38f;
    writeAudio(input, in);
    writeAudio(key, k);
    const std::string out = folder.path("out.wav"), mix = folder.path("mix.wav");
    const ToolRun run = runTool({"render", key, input, "-o", out, "--mix", mix, "--plugin", delay});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "quorvane: warning: " + input +
                           ": 6 samples read are not finite (NaN or infinity)\n"
                           "quorvane: warning: " +
                           out +
                           ": 6 samples written are not finite (NaN or infinity)\n"
                           "quorvane: warning: " +
                           mix + ": 8 samples written are not finite (NaN or infinity)\n");
    EXPECT_NE(run.out.find("; not finite: 6 samples read in " + input + ", 6 samples written in " +
                           out + ", 8 samples written in " + mix + "\n"),
              std::string::npos)
        << run.out;
    // The sound is what the module made of it.
    const Audio written = readAudio(out);
    for (size_t i = 0; i < in.samples.size(); ++i)
        EXPECT_EQ(std::isnan(written.samples[i]), std::isnan(in.samples[i])) << i;
    EXPECT_EQ(readAudio(mix).samples[22], INFINITY);
}

TEST_F(Safety, ValuesThatLookLikeOptionsAreRefusedAndDashIsStandardOutput) {
    struct Case {
        std::vector<std::string> args;
        std::string error;
    };
    const std::string out = folder.path("out.wav");
    const Case cases[] = {
        {render({"-o", "--mix"}), "--output: lacks its value ('--mix' is an option; a file of "
                                  "that name is ./--mix) (see --help)"},
        {{"render", key, input, "-o", out, "--mix", "--quiet"},
         "--mix: lacks its value ('--quiet' is an option; a file of that name is ./--quiet) (see "
         "--help)"},
        {{"plot", key, input, "-o", "--quiet"},
         "--output: lacks its value ('--quiet' is an "
         "option; a file of that name is ./--quiet) (see "
         "--help)"},
        {render({"-o", "-", "--mix", "-"}), "-: is named twice; choose another file"},
    };
    ChildSetup inFolder;
    inFolder.folder = folder.path("");
    for (const Case& c : cases) {
        const ToolRun run = runTool(c.args, inFolder);
        EXPECT_EQ(run.exitCode, 2) << run.err;
        EXPECT_EQ(run.err, "quorvane: error: " + c.error + "\n");
    }
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"input.wav", "key.wav"}));

    // ./--quiet names a file.
    EXPECT_EQ(runTool(render({"-o", "./--quiet.wav"}), inFolder).exitCode, 0);
    EXPECT_EQ(readAudio(folder.path("--quiet.wav")).frames(), 3000u);

    // "-": standard output, in the input's format; the summary goes to standard error.
    ChildSetup toFile = inFolder;
    toFile.standardOutput = open(folder.path("stdout").c_str(), O_WRONLY | O_CREAT, 0644);
    const ToolRun run = runTool({"render", key, input, "-o", "-", "--plugin", delay}, toFile);
    close(toFile.standardOutput);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err.rfind("standard output: 2 channels at 48000 Hz", 0), 0u) << run.err;
    EXPECT_EQ(readAudio(folder.path("stdout")).samples, readAudio(input).samples);
    EXPECT_FALSE(exists(folder.path("-")));
}

TEST_F(Safety, NamesFormatsAndRatesThatWorkAndThoseThatDoNot) {
    // A name as long as the file system takes: the temporary name fits too.
    const std::string longest = folder.path(std::string(251, 'n') + ".wav");
    EXPECT_EQ(runTool(render({"-o", longest})).exitCode, 0);
    EXPECT_EQ(readAudio(longest).frames(), 3000u);
    std::remove(longest.c_str());

    // Every format the help lists is written; none it does not.
    const std::string help = runTool({"render", "--help"}).out;
    const size_t from = help.find("(aif") + 1;
    std::string list = help.substr(from, help.find(')', from) - from);
    for (const char* never : {"sd2", "mp2", "m1a"})
        EXPECT_EQ(list.find(never), std::string::npos) << never;
    writeAudio(input, noiseAudio(1, 3000, 48000, 2));
    for (size_t at = 0; at < list.size();) {
        const size_t end = std::min(list.find(", ", at), list.size());
        const std::string out = folder.path("out." + list.substr(at, end - at));
        const ToolRun run = runTool(render({"-o", out}));
        EXPECT_EQ(run.exitCode, 0) << out << ": " << run.err;
        if (out.ends_with(".raw"))
            EXPECT_EQ(std::filesystem::file_size(out), 3000u * 4) << out; // no header: floats
        else
            EXPECT_EQ(readAudio(out).frames(), 3000u) << out;
        std::remove(out.c_str());
        at = end + 2;
    }

    // Refused with one line before anything is read or loaded: the module does not exist.
    const std::vector<std::string> before = folder.entries();
    writeAudio(input, noiseAudio(1, 3000, 44100, 2));
    writeAudio(key, noiseAudio(1, 0, 384000, 2)); // a key without frames is silence
    const std::string loud = folder.path("loud.wav");
    writeAudio(loud, noiseAudio(1, 3000, 384000, 2));
    const std::string none = folder.path("none.so");
    struct Case {
        std::vector<std::string> args;
        std::string error;
    };
    const std::string opus = folder.path("out.opus"), ogg = folder.path("out.ogg");
    const Case cases[] = {
        {{"render", key, input, "-o", opus, "--plugin", none},
         opus + ": Opus cannot be written at 44100 Hz (it takes 8000, 12000, 16000, 24000 or "
                "48000 Hz)"},
        {{"render", key, loud, "-o", ogg, "--plugin", none},
         ogg + ": OGG cannot hold 1 channel at 384000 Hz"},
        {{"snapshot", "-o", folder.path("s.wav")},
         folder.path("s.wav") + ": pictures are written as PNG; give the file a .png name"},
        {{"plot", key, input, "-o", folder.path("p.jpg")},
         folder.path("p.jpg") + ": pictures are written as PNG; give the file a .png name"},
        {{"snapshot", "--set", "0=nan", "-o", folder.path("s.png")},
         "--set: '0=nan' has no finite value (see --help)"},
    };
    for (const Case& c : cases) {
        const ToolRun run = runTool(c.args);
        EXPECT_EQ(run.exitCode, 2) << run.err;
        EXPECT_EQ(run.err, "quorvane: error: " + c.error + "\n");
    }
    std::remove(loud.c_str());
    const ToolRun silentKey = runTool(render({"-o", folder.path("out.wav")}));
    EXPECT_EQ(silentKey.exitCode, 0) << silentKey.err;
    EXPECT_EQ(readAudio(folder.path("out.wav")).samples, readAudio(input).samples);
}

TEST(Help, EveryOptionHasItsDescriptionApartFromItsName) {
    // An option's name and its description are two columns, or the description starts on the
    // next line: never one space between them, which reads as one long name.
    for (const char* command : {"render", "plot", "info", "snapshot", "edit", "demo"}) {
        const std::string help = runTool({command, "--help"}).out;
        std::istringstream lines(help);
        std::vector<std::string> all;
        for (std::string line; std::getline(lines, line);)
            all.push_back(line);
        for (size_t i = 0; i < all.size(); ++i) {
            const std::string& line = all[i];
            if (line.rfind("  -", 0) != 0 || line.find("  ", 2) != std::string::npos) continue;
            // A name alone on its line: the description follows, indented.
            ASSERT_LT(i + 1, all.size()) << command << ": " << line;
            EXPECT_EQ(all[i + 1].find_first_not_of(' '), 30u) << command << ": " << line;
        }
    }
}
