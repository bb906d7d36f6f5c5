#pragma once
// Audio files through libsndfile, as interleaved float frames. Integer files are read and
// written at their own precision: a sample that comes back unchanged is written back exactly,
// and values beyond full scale clip instead of wrapping.

#include <sndfile.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quorvane::cli {

class OutputFile;
class OutputSet;

// "WAV (Microsoft), Signed 16 bit PCM" for a libsndfile format code.
std::string describeFormat(int format);

// Bits of an integer sample encoding (8, 16, 24, 32), or 0 for every other encoding.
int integerBits(int format);

class AudioReader {
public:
    // Opens and checks the file; ToolError with kExitInput naming it when it is missing,
    // unreadable, empty, not audio, or holds no frames unless noFrames allows that.
    explicit AudioReader(const std::string& path, bool noFrames = false);
    ~AudioReader();
    AudioReader(const AudioReader&) = delete;
    AudioReader& operator=(const AudioReader&) = delete;

    const std::string& path() const { return path_; }
    int sampleRate() const { return info_.samplerate; }
    int channels() const { return info_.channels; }
    int64_t frames() const { return info_.frames; }
    int format() const { return info_.format; }

    // Reads up to count frames into interleaved (channels × count floats); answers how many were
    // read, fewer than asked only at the end of the file.
    int64_t read(float* interleaved, int64_t count);
    // Samples read so far that were NaN or infinite.
    int64_t nonFiniteSamples() const { return nonFinite_; }

private:
    std::string path_;
    SF_INFO info_{};
    SNDFILE* file_ = nullptr;
    int bits_ = 0;
    int64_t nonFinite_ = 0;
    std::vector<int32_t> scratch_;
};

class AudioWriter {
public:
    // Starts the audio file in file's temporary place; nothing appears under its name before the
    // file's set is committed. ToolError with kExitOutput when libsndfile cannot write the format
    // with this layout. file must outlive the writer.
    AudioWriter(OutputFile& file, int sampleRate, int channels, int format);
    // The same into an output of its own, put in place by commit().
    AudioWriter(const std::string& path, int sampleRate, int channels, int format);
    ~AudioWriter();
    AudioWriter(const AudioWriter&) = delete;
    AudioWriter& operator=(const AudioWriter&) = delete;

    // Appends count interleaved frames; ToolError with kExitOutput when any byte of them cannot
    // be written (a full disk, a file-size limit), whatever the format.
    void write(const float* interleaved, int64_t count);
    // Completes the file in its temporary place and flushes it to its disk.
    void finish();
    // Puts a writer's own output in place, completing it first if need be.
    void commit();
    // Samples handed to write() that were NaN or infinite.
    int64_t nonFiniteSamples() const { return nonFinite_; }

    // Where libsndfile's bytes go: the file's descriptor, with the first error kept.
    struct Sink {
        int descriptor = -1;
        int error = 0;
    };

private:
    void open(int sampleRate, int channels, int format);
    [[noreturn]] void fail(const std::string& what, const char* libraryText) const;

    std::unique_ptr<OutputSet> own_;
    OutputFile* output_ = nullptr;
    Sink sink_;
    SNDFILE* file_ = nullptr;
    int channels_ = 0;
    int bits_ = 0;
    int64_t nonFinite_ = 0;
    std::vector<int32_t> scratch_;
};

} // namespace quorvane::cli
