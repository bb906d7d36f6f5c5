#pragma once
// Streams a key and an input file through one plug-in instance per input channel: the channel
// goes to input 1, the key to input 0, and output 1 is kept. Reading, the instances (side by
// side, each on its own channel) and writing overlap on their own threads, so the output does
// not depend on the thread count. Memory does not grow with the length of the files.

#include "outputformat.h"

#include <cstdint>
#include <string>

namespace quorvane::cli {

class OutputSet;
class ProgressBar;

struct RenderSettings {
    std::string pluginPath; // empty: the Quorvane.so built or installed with the tool
    int32_t blockSize = 512;
    // Drop the first N output frames and feed N silent frames after the end, so the output
    // lines up with the input and has its length. Without it the output is N frames longer.
    bool compensateLatency = true;
    // Show a progress bar on a terminal.
    bool progress = true;
    // Threads for the render; 0: one per processor. Never more than the channels and two (one
    // reading, one writing). With 1, reading, processing and writing take turns on the calling
    // thread; with more, they overlap.
    int jobs = 0;
    // Sample format of the files written.
    SampleBits bits = SampleBits::Input;
    // A bar of the caller's, shared by several renders (a batch): the render reports to it
    // progressBase plus the input frames done, instead of drawing a bar of its own.
    ProgressBar* progressBar = nullptr;
    int64_t progressBase = 0;
};

// The audio files a render writes; an empty name is not written.
struct RenderTargets {
    std::string output; // the ducked input
    std::string mix;    // the key plus the ducked input, as they line up in the output
};

struct RenderResult {
    int32_t latency = 0; // frames, as the module reported it
    int64_t frames = 0;  // input frames
    int64_t written = 0; // output frames
    int sampleRate = 0;
    int keySampleRate = 0; // before resampling to sampleRate
    int channels = 0;
    int threads = 1;      // that ran the instances
    double seconds = 0.0; // wall time of loading, processing and writing
    // Samples that were NaN or infinite: read from the key and the input, written to the output
    // and the mix.
    int64_t keyNonFinite = 0, inputNonFinite = 0, outputNonFinite = 0, mixNonFinite = 0;
    double audioSeconds() const { return sampleRate > 0 ? double(frames) / sampleRate : 0.0; }
    // Seconds of audio per second of processing: above 1 is faster than real time.
    double realTimeFactor() const { return seconds > 0 ? audioSeconds() / seconds : 0.0; }
};

// Sees the signals as they pass, mixed to mono and in the input's time.
class RenderObserver {
public:
    virtual ~RenderObserver() = default;
    // Before the first frames: the input's rate and length.
    virtual void begin(int sampleRate, int64_t frames) = 0;
    // The next count frames of the key (as the plug-in gets it) and of the input.
    virtual void inputFrames(const float* key, const float* input, int32_t count) = 0;
    // The next count frames of the output, aligned with the input whatever the compensation.
    virtual void outputFrames(const float* output, int32_t count) = 0;
    // After the last frames, before any file of the render is put in place: whatever the
    // observer writes itself must be complete when this returns.
    virtual void end(const RenderResult& result) = 0;
};

// Renders keyPath and inputPath into the targets (in INPUT's rate and channel count; the format
// follows each name and settings.bits). A key at another rate is resampled to INPUT's. Every
// target is checked and started before the render; none replaces an existing file unless all
// were written. Throws ToolError; never leaves a partial output file. With outputs, the targets
// join that set and the caller commits it with its own files; without, they are committed here.
RenderResult renderFiles(const std::string& keyPath, const std::string& inputPath,
                         const RenderTargets& targets, const RenderSettings& settings,
                         RenderObserver* observer = nullptr, OutputSet* outputs = nullptr);

} // namespace quorvane::cli
