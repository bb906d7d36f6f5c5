#pragma once
// Helpers of the command-line tests: a scratch folder, small audio files through libsndfile, and
// the tool run as a child process.

#include <sndfile.h>
#include <sys/types.h>

#include <string>
#include <vector>

namespace clitest {

// A fresh folder under the system's temporary folder, removed with everything in it.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    std::string path(const std::string& name) const { return root_ + "/" + name; }
    // Names of everything in the folder, hidden files included, sorted.
    std::vector<std::string> entries() const;

private:
    std::string root_;
};

struct Audio {
    int sampleRate = 44100;
    int channels = 1;
    int format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    std::vector<float> samples; // interleaved
    size_t frames() const { return channels > 0 ? samples.size() / channels : 0; }
    float at(size_t frame, int channel) const { return samples[frame * channels + channel]; }
};

void writeAudio(const std::string& path, const Audio& audio);
// Reads the file as it is stored: integer files come back in their own steps (value / 2^31 of
// the left-aligned sample), so equal files give equal floats.
Audio readAudio(const std::string& path);
void writeText(const std::string& path, const std::string& text);
std::string readText(const std::string& path);
bool exists(const std::string& path);

// Deterministic test signals.
std::vector<float> noise(size_t count, float amplitude, uint32_t seed);
std::vector<float> sine(size_t count, double frequency, double sampleRate, float amplitude);
// Interleaves per-channel signals of equal length.
std::vector<float> interleave(const std::vector<std::vector<float>>& channels);

struct ToolRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// The built tool, the built plug-in and a stand-in module by name.
std::string toolPath();
std::string quorvaneModule();
std::string fakeModule(const std::string& name);

// Starts the tool with args; its standard output and error go to the given files.
pid_t startTool(const std::vector<std::string>& args, const std::string& outPath,
                const std::string& errPath);
// Waits for a started tool and answers its exit code (128 + signal when a signal ended it).
int waitTool(pid_t pid);
// Runs the tool to the end and collects what it printed.
ToolRun runTool(const std::vector<std::string>& args);

// What the child process sets up before it becomes the tool.
struct ChildSetup {
    uid_t uid = 0; // with switchUser: the user (and group) it runs as
    bool switchUser = false;
    long long fileSizeLimit = -1; // bytes a file may grow to, -1 for no limit
    int standardOutput = -1;      // a descriptor for its standard output instead of a capture
    std::string folder;           // its working folder, "" for the test's own
};
// Runs the tool to the end in a child set up so; run.out is empty when standardOutput is given.
ToolRun runTool(const std::vector<std::string>& args, const ChildSetup& setup);

} // namespace clitest
