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

// "WAV (Microsoft), Signed 16 bit PCM" for a libsndfile format code.
std::string describeFormat(int format);

// Bits of an integer sample encoding (8, 16, 24, 32), or 0 for every other encoding.
int integerBits(int format);

class AudioReader {
public:
    // Opens and checks the file; ToolError with kExitInput naming it when it is missing,
    // unreadable, empty, not audio or holds no frames.
    explicit AudioReader(const std::string& path);
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

private:
    std::string path_;
    SF_INFO info_{};
    SNDFILE* file_ = nullptr;
    int bits_ = 0;
    std::vector<int32_t> scratch_;
};

class AudioWriter {
public:
    // Starts a new file in a temporary place beside path; nothing appears at path before
    // commit(). ToolError with kExitOutput when the file cannot be created or libsndfile cannot
    // write the format with this layout.
    AudioWriter(const std::string& path, int sampleRate, int channels, int format);
    ~AudioWriter();
    AudioWriter(const AudioWriter&) = delete;
    AudioWriter& operator=(const AudioWriter&) = delete;

    // Appends count interleaved frames.
    void write(const float* interleaved, int64_t count);
    // Completes the file in its temporary place.
    void finish();
    // Puts the file in place, completing it first if need be.
    void commit();

private:
    std::unique_ptr<OutputFile> output_;
    SNDFILE* file_ = nullptr;
    int channels_ = 0;
    int bits_ = 0;
    std::vector<int32_t> scratch_;
};

} // namespace quorvane::cli
