// Frequency-domain ducking processor. The arithmetic runs step by step in single precision, in a
// fixed order, so the output bits never depend on the build or the block division; the helpers
// below each run one linear pass with its state in locals.

#include "engine/duckingprocessor.h"

#include "engine/duckinglaw.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace quorvane {

namespace {

constexpr double kPi = 3.14159265358979323846;

// work[j] = frame[j] * w[j].
void applyWindow(const float* __restrict frame, const float* __restrict w, float* __restrict work,
                 uint32_t n) {
    for (uint32_t j = 0; j < n; ++j) {
        work[j] = frame[j] * w[j];
    }
}

// mag[j] = |spectrum[j]| for the first count bins.
void magnitudes(const float* __restrict spectrum, float* __restrict mag, uint32_t count) {
    for (uint32_t j = 0; j < count; ++j) {
        mag[j] = ducking::magnitude(spectrum[2 * j], spectrum[2 * j + 1]);
    }
}

// One-pole smoothing of the key's magnitudes into the state, with the flush of tiny values and
// of values that are not finite; the result is also copied to key, which the bin passes use.
void smoothTime(float* __restrict state, float* __restrict key, uint32_t count) {
    for (uint32_t j = 0; j < count; ++j) {
        const float v = ducking::smoothedKey(state[j], key[j]);
        state[j] = v;
        key[j] = v;
    }
}

// Smoothing across bins: upward with the lower neighbour's coefficient, then downward with the
// upper neighbour's.
void smoothBins(float* __restrict k, const float* __restrict c, uint32_t count) {
    float prev = k[0];
    for (uint32_t j = 1; j < count; ++j) {
        prev = ducking::smoothedAcross(prev, k[j], c[j - 1]);
        k[j] = prev;
    }
    float next = k[count - 1];
    for (uint32_t j = count - 1; j-- > 0;) {
        next = ducking::smoothedAcross(next, k[j], c[j + 1]);
        k[j] = next;
    }
}

// Channel 1's spectrum times the ducking gain of each bin.
void applyGains(const float* __restrict key, const float* __restrict ducked,
                float* __restrict spectrum, uint32_t count) {
    for (uint32_t j = 0; j < count; ++j) {
        const float g = ducking::duckingGain(key[j], ducked[j]);
        spectrum[2 * j] = spectrum[2 * j] * g;
        spectrum[2 * j + 1] = spectrum[2 * j + 1] * g;
    }
}

// acc[j] += work[j] * w[j] below n - hop; acc[j] = work[j] * w[j] from there on.
void overlapAdd(const float* __restrict work, const float* __restrict w, float* __restrict acc,
                uint32_t n, uint32_t hop) {
    const uint32_t split = n - hop;
    for (uint32_t j = 0; j < split; ++j) {
        acc[j] = acc[j] + work[j] * w[j];
    }
    for (uint32_t j = split; j < n; ++j) {
        acc[j] = work[j] * w[j];
    }
}

} // namespace

uint32_t DuckingProcessor::frameLengthFor(float designSampleRate) {
    if (designSampleRate > 60000.0f) {
        return 4096;
    }
    if (designSampleRate < 28000.0f) {
        return 1024;
    }
    return 2048;
}

DuckingProcessor::DuckingProcessor(float rate, simd::Path path) : designSampleRate_(rate) {
    n_ = frameLengthFor(rate);
    bins_ = n_ / 2 + 1;
    hop_ = n_ / 8;
    const uint32_t n = n_;
    const uint32_t h = hop_;

    fft_.init(Fft::kReal, n, path);

    // Window: raised cosine in double, stored as float, scaled so that the squares of the eight
    // windows overlapping at any sample sum to 1.
    window_.assign(n, 0.0f);
    for (uint32_t i = 0; i < n; ++i) {
        const double phase = 2.0 * kPi * (static_cast<double>(i) + 0.5) / static_cast<double>(n);
        window_[i] = static_cast<float>(1.0 - std::cos(phase));
    }
    float sum = 0.0f;
    for (uint32_t k = 0; k < 8; ++k) {
        const float v = window_[k * h];
        const float square = v * v;
        sum = sum + square;
    }
    const float root = std::sqrt(sum);
    const float scale = 1.0f / root;
    for (uint32_t i = 0; i < n; ++i) {
        window_[i] = window_[i] * scale;
    }

    // Zeroed buffers.
    for (uint32_t ch = 0; ch < kChannels; ++ch) {
        input_[ch].assign(n, 0.0f);
        accumulator_[ch].assign(2 * n + h, 0.0f);
        spectrum_[ch].assign(2 * static_cast<size_t>(n), 0.0f);
        magnitude_[ch].assign(bins_, 0.0f);
    }
    // N for the frame; the vector paths use a second N for a second time signal.
    work_.assign(2 * static_cast<size_t>(n), 0.0f);
    keyState_.assign(bins_, 0.0f);
    for (auto& staging : staging_) {
        staging.assign(kMinStaging, 0.0f);
    }

    // Bin smoothing coefficients, single precision; the exponential is evaluated in double and
    // rounded once, which gives the correctly rounded single-precision value on every platform.
    coefficients_.assign(bins_, 0.0f);
    const float frameSeconds = static_cast<float>(n) / rate;
    for (uint32_t i = 0; i < bins_; ++i) {
        const float f = rate * static_cast<float>(i) / static_cast<float>(n);
        const float b = ducking::kBandwidthShare * std::max(f, ducking::kBandwidthFloorHz);
        const float width = frameSeconds * b;
        const float x = -1.0f / width;
        const float e = static_cast<float>(std::exp(static_cast<double>(x)));
        coefficients_[i] = 1.0f - e;
    }

    reset();
}

void DuckingProcessor::compactAccumulators() noexcept {
    const uint32_t shift = accRead_;
    if (shift == 0) {
        return;
    }
    // Frame steps write only below N + H (the ready count is at most H at a frame step), and so
    // does the move below, so positions from N + H on stay 0, as they would in accumulators
    // shifted after every chunk. Between two frame steps at most 2H samples are read out, so
    // shift + N + H never passes 2N + H.
    const size_t live = static_cast<size_t>(n_) + hop_;
    for (uint32_t ch = 0; ch < kChannels; ++ch) {
        float* acc = accumulator_[ch].data();
        std::memmove(acc, acc + shift, live * sizeof(float));
    }
    accRead_ = 0;
}

void DuckingProcessor::reset() {
    compactAccumulators();
    fill_ = n_ - hop_;
    ready_ = hop_;
}

bool DuckingProcessor::growStaging(uint32_t length) noexcept {
    try {
        std::vector<float> a(length, 0.0f);
        std::vector<float> b(length, 0.0f);
        staging_[0].swap(a);
        staging_[1].swap(b);
    } catch (...) {
        return false;
    }
    return true;
}

bool DuckingProcessor::reserve(int32_t maxBlock) noexcept {
    if (maxBlock <= 0) {
        return true;
    }
    const uint32_t length = std::min(static_cast<uint32_t>(maxBlock), kMaxStaging);
    if (length <= staging_[0].size()) {
        return true;
    }
    return growStaging(length);
}

void DuckingProcessor::process(const float* const* inputs, float* const* outputs,
                               int32_t n) noexcept {
    if (n <= 0) {
        return;
    }
    const uint32_t length = static_cast<uint32_t>(n);
    const uint32_t piece = static_cast<uint32_t>(staging_[0].size());

    // A block longer than the staging runs in staging-sized pieces. Each piece reads all of its
    // input before it writes its output, so inputs and outputs may share memory, and the output
    // bits are those of any other division of the stream.
    for (uint32_t p = 0; p < length;) {
        const uint32_t k = std::min(piece, length - p);
        const float* in[kChannels];
        for (uint32_t ch = 0; ch < kChannels; ++ch) {
            const float* source = inputs != nullptr ? inputs[ch] : nullptr;
            in[ch] = source != nullptr ? source + p : nullptr;
        }
        run(in, k);
        for (uint32_t ch = 0; ch < kChannels; ++ch) {
            float* out = outputs != nullptr ? outputs[ch] : nullptr;
            if (out != nullptr) {
                std::memcpy(out + p, staging_[ch].data(), k * sizeof(float));
            }
        }
        p += k;
    }
}

void DuckingProcessor::run(const float* const* in, uint32_t n) noexcept {
    const uint32_t frame = n_;
    const uint32_t hop = hop_;

    uint32_t p = 0;
    uint32_t q = 0;
    while (p < n) {
        // Take in one chunk.
        const uint32_t k = std::min(std::min(frame - fill_, hop), n - p);
        for (uint32_t ch = 0; ch < kChannels; ++ch) {
            float* dst = input_[ch].data() + fill_;
            if (in[ch] != nullptr) {
                std::memcpy(dst, in[ch] + p, k * sizeof(float));
            } else {
                std::fill(dst, dst + k, 0.0f);
            }
        }
        fill_ += k;
        p += k;

        // A full frame: process it and move the frames on by one hop.
        if (fill_ == frame) {
            frameStep();
            ready_ += hop;
            for (uint32_t ch = 0; ch < kChannels; ++ch) {
                float* f = input_[ch].data();
                std::memmove(f, f + hop, (frame - hop) * sizeof(float));
            }
            fill_ -= hop;
        }

        // Give out what is finished.
        const uint32_t m = std::min(n - q, ready_);
        for (uint32_t ch = 0; ch < kChannels; ++ch) {
            std::memcpy(staging_[ch].data() + q, accumulator_[ch].data() + accRead_,
                        m * sizeof(float));
        }
        accRead_ += m;
        q += m;
        ready_ -= m;
    }
}

simd::FrameBuffers DuckingProcessor::frameBuffers() {
    simd::FrameBuffers frame{};
    frame.n = n_;
    frame.bins = bins_;
    frame.hop = hop_;
    frame.window = window_.data();
    frame.coefficients = coefficients_.data();
    frame.keyState = keyState_.data();
    frame.work = work_.data();
    for (uint32_t ch = 0; ch < kChannels; ++ch) {
        frame.input[ch] = input_[ch].data();
        frame.spectrum[ch] = spectrum_[ch].data();
        frame.magnitude[ch] = magnitude_[ch].data();
        frame.accumulator[ch] = accumulator_[ch].data();
    }
    frame.accShift = accRead_;
    frame.ready = ready_;
    return frame;
}

void DuckingProcessor::frameStep() {
    if (const simd::Kernels* kernels = fft_.kernels(); kernels != nullptr) {
        // The kernel moves the accumulators down itself, under other work.
        kernels->frameStep(fft_.tables(), frameBuffers());
        accRead_ = 0;
        return;
    }

    // Finished output moves to the front before this frame adds to it.
    compactAccumulators();

    const uint32_t n = n_;
    const uint32_t bins = bins_;
    const float* w = window_.data();
    float* work = work_.data();

    // Spectra and magnitudes of both channels.
    for (uint32_t ch = 0; ch < kChannels; ++ch) {
        applyWindow(input_[ch].data(), w, work, n);
        fft_.forwardReal(work, spectrum_[ch].data());
        magnitudes(spectrum_[ch].data(), magnitude_[ch].data(), bins);
    }

    // The key: smoothed over time into the state, then across bins on a copy.
    float* key = magnitude_[0].data();
    smoothTime(keyState_.data(), key, bins);
    smoothBins(key, coefficients_.data(), bins);

    // Channel 1 turned down bin by bin.
    applyGains(key, magnitude_[1].data(), spectrum_[1].data(), bins);

    // Back to time and overlap-added behind the finished samples.
    for (uint32_t ch = 0; ch < kChannels; ++ch) {
        fft_.inverseReal(spectrum_[ch].data(), work);
        overlapAdd(work, w, accumulator_[ch].data() + ready_, n, hop_);
    }
}

} // namespace quorvane
