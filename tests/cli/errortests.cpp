// Bad input: one line on standard error naming the file and the problem, a distinct exit code,
// and no output file, no temporary file, and an existing output left as it was.

#include "testfiles.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <thread>

using namespace clitest;

namespace {

constexpr int kUsage = 2;
constexpr int kInput = 3;
constexpr int kPlugin = 4;
constexpr int kOutput = 5;
constexpr int kInterrupted = 130;

Audio tone(int channels, int sampleRate = 44100, size_t frames = 2000) {
    Audio audio;
    audio.channels = channels;
    audio.sampleRate = sampleRate;
    audio.samples = noise(frames * channels, 0.3f, 99);
    return audio;
}

class Errors : public ::testing::Test {
protected:
    void SetUp() override {
        writeAudio(key, tone(1));
        writeAudio(input, tone(2));
        writeText(output, "keep me");
    }

    // Runs render, then checks the error line, the exit code and that nothing was written.
    void expectFailure(std::vector<std::string> args, int exitCode, const std::string& file,
                       const std::string& problem) {
        const std::vector<std::string> before = folder.entries();
        const ToolRun run = runTool(args);
        EXPECT_EQ(run.exitCode, exitCode) << run.err;
        const std::string expected = "quorvane: error: " + file + ": " + problem;
        EXPECT_EQ(run.err.rfind(expected, 0), 0u) << "got: " << run.err << "want: " << expected;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_EQ(readText(output), "keep me");
        EXPECT_EQ(folder.entries(), before);
    }

    std::vector<std::string> render(const std::string& k, const std::string& in,
                                    const std::string& out, const std::string& module) {
        return {"render", k, in, "-o", out, "--plugin", module, "--quiet"};
    }

    ScratchFolder folder;
    std::string key = folder.path("key.wav");
    std::string input = folder.path("input.wav");
    std::string output = folder.path("out.wav");
    std::string delay = fakeModule("fake_delay");
};

} // namespace

TEST_F(Errors, MissingFiles) {
    const std::string missing = folder.path("missing.wav");
    expectFailure(render(missing, input, output, delay), kInput, missing, "no such file");
    expectFailure(render(key, missing, output, delay), kInput, missing, "no such file");
    expectFailure(render(key, folder.path(""), output, delay), kInput, folder.path(""),
                  "is a folder");
}

TEST_F(Errors, UnreadableFile) {
    if (geteuid() == 0) GTEST_SKIP() << "root reads every file";
    chmod(key.c_str(), 0);
    expectFailure(render(key, input, output, delay), kInput, key, "cannot be read");
}

TEST_F(Errors, FilesThatAreNotAudio) {
    const std::string text = folder.path("notes.txt");
    writeText(text, "these are words, not samples\n");
    expectFailure(render(text, input, output, delay), kInput, text, "not a readable audio file");
    std::remove(text.c_str());

    const std::string empty = folder.path("empty.wav");
    writeText(empty, "");
    expectFailure(render(key, empty, output, delay), kInput, empty, "is empty");
    std::remove(empty.c_str());

    const std::string noFrames = folder.path("silent.wav");
    Audio nothing;
    writeAudio(noFrames, nothing);
    expectFailure(render(key, noFrames, output, delay), kInput, noFrames,
                  "holds no audio (0 frames)");
    std::remove(noFrames.c_str());
}

TEST_F(Errors, AnEncodingThatCannotBeDecoded) {
    // A well-formed header with an encoding tag that no decoder knows.
    std::string wav = std::string("RIFF") + std::string("\x2c\x00\x00\x00", 4) + "WAVEfmt " +
                      std::string("\x10\x00\x00\x00\x34\x12\x01\x00\x44\xac\x00\x00"
                                  "\x88\x58\x01\x00\x02\x00\x10\x00",
                                  20) +
                      "data" + std::string("\x08\x00\x00\x00", 4) + std::string(8, '\x01');
    const std::string odd = folder.path("odd.wav");
    writeText(odd, wav);
    expectFailure(render(key, odd, output, delay), kInput, odd, "not a readable audio file");
    std::remove(odd.c_str());
}

TEST_F(Errors, OutputThatIsAnInput) {
    const ToolRun toKey = runTool(render(key, input, key, delay));
    EXPECT_EQ(toKey.exitCode, kUsage);
    EXPECT_EQ(toKey.err, "quorvane: error: " + key +
                             ": is the same file as KEY; choose another output file\n");
    // The same file under another name.
    const std::string other = folder.path("./sub/../input.wav");
    mkdir(folder.path("sub").c_str(), 0755);
    const ToolRun toInput = runTool(render(key, input, other, delay));
    EXPECT_EQ(toInput.exitCode, kUsage);
    EXPECT_NE(toInput.err.find("is the same file as INPUT"), std::string::npos);
    rmdir(folder.path("sub").c_str());
    EXPECT_EQ(readAudio(input).samples, tone(2).samples);
    EXPECT_EQ(readAudio(key).samples, tone(1).samples);
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"input.wav", "key.wav", "out.wav"}));
}

TEST_F(Errors, ModulesThatCannotBeUsed) {
    const std::string missing = folder.path("none.so");
    expectFailure(render(key, input, output, missing), kPlugin, missing, "no such module file");

    const std::string junk = folder.path("junk.so");
    writeText(junk, "not a library");
    expectFailure(render(key, input, output, junk), kPlugin, junk, "cannot be loaded: ");
    std::remove(junk.c_str());

    const std::string noEntry = fakeModule("fake_no_entry");
    expectFailure(render(key, input, output, noEntry), kPlugin, noEntry,
                  "has no plug-in entry (neither VSTPluginMain nor main is exported)");
    const std::string nullEntry = fakeModule("fake_null_entry");
    expectFailure(render(key, input, output, nullEntry), kPlugin, nullEntry,
                  "its entry VSTPluginMain returned no effect");
    const std::string mono = fakeModule("fake_mono");
    expectFailure(render(key, input, output, mono), kPlugin, mono,
                  "has 1 inputs and 1 outputs; a key and a signal need at least 2 of each");
}

TEST_F(Errors, InfoOnAModuleThatCannotBeUsed) {
    const std::string nullEntry = fakeModule("fake_null_entry");
    const ToolRun run = runTool({"info", "--plugin", nullEntry});
    EXPECT_EQ(run.exitCode, kPlugin);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err,
              "quorvane: error: " + nullEntry + ": its entry VSTPluginMain returned no effect\n");
}

TEST_F(Errors, AnOutputFolderThatDoesNotExist) {
    const std::string nowhere = folder.path("no/such/folder/out.wav");
    const ToolRun run = runTool(render(key, input, nowhere, delay));
    EXPECT_EQ(run.exitCode, kOutput);
    EXPECT_EQ(run.err.rfind("quorvane: error: " + nowhere + ": cannot create a file in ", 0), 0u)
        << run.err;
    EXPECT_FALSE(exists(nowhere));
}

TEST_F(Errors, BadCommandLines) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{},
          {"render", key, input},
          {"render", key, input, "-o"},
          {"render", key, input, "-o", output, "--block", "0"},
          {"frobnicate"},
          {"info", "--sample-rate", "-5"},
          {"info", "--sample-rate", "nan"},
          {"info", "--sample-rate", "inf"},
          {"info", "--sample-rate", "-nan"}}) {
        const ToolRun run = runTool(args);
        EXPECT_EQ(run.exitCode, kUsage) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_EQ(run.err.rfind("quorvane: error: ", 0), 0u) << run.err;
    }
    EXPECT_EQ(readText(output), "keep me");
}

TEST_F(Errors, AnInterruptLeavesNoOutputBehind) {
    // The slow stand-in sleeps 2 ms per 64-frame block: about 3 s for this file.
    Audio longInput = tone(1, 44100, 100000);
    writeAudio(input, longInput);
    const ScratchFolder streams;
    const pid_t pid = startTool(
        {"render", key, input, "-o", output, "--plugin", fakeModule("fake_slow"), "--block", "64"},
        streams.path("out"), streams.path("err"));
    // Wait until the temporary output exists, then interrupt.
    for (int i = 0; i < 400 && folder.entries().size() < 4; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(folder.entries().size(), 4u) << "the render never started its output";
    kill(pid, SIGINT);
    EXPECT_EQ(waitTool(pid), kInterrupted);
    EXPECT_EQ(readText(streams.path("err")),
              "quorvane: error: interrupted; no output was written\n");
    EXPECT_EQ(readText(output), "keep me");
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"input.wav", "key.wav", "out.wav"}));
}
