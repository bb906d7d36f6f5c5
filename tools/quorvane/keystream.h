#pragma once
// The key as the render reads it: the key file's frames, resampled to the input's rate when the
// file has another one, so that key and input run in the same time.

#include "audiofile.h"

#include <soxr.h>

#include <cstdint>
#include <string>
#include <vector>

namespace quorvane::cli {

class KeyStream {
public:
    // Opens the key file (ToolError with kExitInput as AudioReader does) for reading at rate; a
    // key without frames is silence.
    KeyStream(const std::string& path, int rate);
    ~KeyStream();
    KeyStream(const KeyStream&) = delete;
    KeyStream& operator=(const KeyStream&) = delete;

    const std::string& path() const { return reader_.path(); }
    int channels() const { return reader_.channels(); }
    // The file's own rate; resampled() when it is not the rate asked for.
    int fileRate() const { return reader_.sampleRate(); }
    bool resampled() const { return resampler_ != nullptr; }
    // Frames at the asked rate, as the file's length converts.
    int64_t frames() const { return frames_; }

    // Reads up to count frames at the asked rate into interleaved; answers how many were read,
    // fewer than asked only at the end.
    int64_t read(float* interleaved, int64_t count);
    // Samples of the file read so far that were NaN or infinite.
    int64_t nonFiniteSamples() const { return reader_.nonFiniteSamples(); }

private:
    AudioReader reader_;
    int64_t frames_ = 0;
    soxr_t resampler_ = nullptr;
    std::vector<float> pending_; // file frames read but not yet taken by the resampler
    size_t pendingAt_ = 0;       // frames of pending_ taken
    size_t pendingFrames_ = 0;
    bool fileEnded_ = false;
    bool drained_ = false;
};

} // namespace quorvane::cli
