#pragma once
// The audio path of the effect: key (channel 0) passes through, channel 1 is turned down in
// every bin by the share the smoothed key has there; both are delayed by the frame length N.

#include "engine/fft.h"

#include <cstdint>
#include <vector>

namespace quorvane {

class DuckingProcessor {
public:
    static constexpr uint32_t kChannels = 2;
    // Staging length per channel: kMinStaging from construction, grown by reserve up to
    // kMaxStaging. Longer blocks run in staging-sized pieces.
    static constexpr uint32_t kMinStaging = 1024;
    static constexpr uint32_t kMaxStaging = 8192;

    // N for a design sample rate: 4096 above 60000 Hz, 1024 below 28000 Hz, else 2048.
    static uint32_t frameLengthFor(float designSampleRate);

    // Builds window, coefficients and zeroed buffers for the rate, then resets. The frame steps
    // run on path (the scalar code where this processor cannot run it); every path gives the
    // same output bits. Throws std::bad_alloc when memory runs out; nothing else throws.
    explicit DuckingProcessor(float designSampleRate, simd::Path path = simd::bestPath());

    // Stored only: N, window and coefficients stay as they were built.
    void setDesignSampleRate(float rate) { designSampleRate_ = rate; }
    float designSampleRate() const { return designSampleRate_; }

    // Fill count N - H, ready count H; no buffer is cleared, so the tail still comes out.
    void reset();

    // Grows the staging buffers towards maxBlock samples, never beyond kMaxStaging and never
    // shrinking them. False when memory cannot be had; the old staging then stays in use. Only
    // while the audio thread is not processing (the host's resume).
    bool reserve(int32_t maxBlock) noexcept;

    // Audio thread. Runs one block of any length and overwrites both outputs; never allocates.
    // Inputs and outputs may be the same memory. A null input reads as silence, a null output
    // is skipped, n <= 0 does nothing.
    void process(const float* const* inputs, float* const* outputs, int32_t n) noexcept;

    uint32_t frameLength() const { return n_; }
    uint32_t hop() const { return hop_; }
    const std::vector<float>& window() const { return window_; }
    const std::vector<float>& coefficients() const { return coefficients_; }
    const std::vector<float>& keyState() const { return keyState_; }

private:
    void frameStep();
    simd::FrameBuffers frameBuffers();
    bool growStaging(uint32_t length) noexcept;
    void compactAccumulators() noexcept;
    // Takes in n samples of each input (n at most the staging length) and puts the n finished
    // output samples into the staging buffers.
    void run(const float* const* inputs, uint32_t n) noexcept;

    float designSampleRate_;
    std::vector<float> input_[kChannels];       // N each
    std::vector<float> accumulator_[kChannels]; // 2N + H each
    std::vector<float> staging_[kChannels];     // kMinStaging .. kMaxStaging each
    std::vector<float> magnitude_[kChannels];   // B each
    std::vector<float> keyState_;               // B
    std::vector<float> spectrum_[kChannels];    // N complex each
    uint32_t fill_ = 0;
    uint32_t ready_ = 0;
    std::vector<float> window_;       // N
    std::vector<float> work_;         // 2N: the vector frame step keeps two time signals
    std::vector<float> coefficients_; // B
    Fft fft_;
    uint32_t n_ = 0;
    uint32_t bins_ = 0;
    uint32_t hop_ = 0;
    // Index of accumulator position 0: finished output is read from here, and the accumulators
    // are moved back to the front once per frame step instead of once per output chunk.
    uint32_t accRead_ = 0;
};

} // namespace quorvane
