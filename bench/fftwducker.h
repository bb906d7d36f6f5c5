#pragma once
// The ducking engine's frame step on FFTW's real transforms, for comparison in the benchmarks
// only: the same framing, window, coefficients and ducking law as the engine, with its
// transforms replaced by single-precision r2c and c2r plans. Not bit-identical to the engine (FFTW
// orders its arithmetic differently), and never part of the plug-in.

#include "engine/duckinglaw.h"
#include "engine/duckingprocessor.h"

#include <fftw3.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace quorvane::bench {

class FftwDucker {
public:
    explicit FftwDucker(float rate) {
        // The window and coefficients of the engine built for the same rate.
        const DuckingProcessor engine(rate);
        n_ = engine.frameLength();
        bins_ = n_ / 2 + 1;
        hop_ = engine.hop();
        window_ = engine.window();
        coefficients_ = engine.coefficients();
        work_ = fftwf_alloc_real(n_);
        for (int ch = 0; ch < 2; ++ch) {
            input_[ch].assign(n_, 0.0f);
            accumulator_[ch].assign(2 * n_ + hop_, 0.0f);
            magnitude_[ch].assign(bins_, 0.0f);
            spectrum_[ch] = fftwf_alloc_complex(bins_);
        }
        keyState_.assign(bins_, 0.0f);
        forward_ = fftwf_plan_dft_r2c_1d(static_cast<int>(n_), work_, spectrum_[0], FFTW_MEASURE);
        inverse_ = fftwf_plan_dft_c2r_1d(static_cast<int>(n_), spectrum_[0], work_, FFTW_MEASURE);
        std::fill(work_, work_ + n_, 0.0f);
        fill_ = n_ - hop_;
        ready_ = hop_;
    }
    ~FftwDucker() {
        fftwf_destroy_plan(forward_);
        fftwf_destroy_plan(inverse_);
        fftwf_free(work_);
        fftwf_free(spectrum_[0]);
        fftwf_free(spectrum_[1]);
    }
    FftwDucker(const FftwDucker&) = delete;
    FftwDucker& operator=(const FftwDucker&) = delete;

    // Blocks up to the length of outputs; the outputs double as staging.
    void process(const float* const* in, float* const* out, uint32_t count) {
        uint32_t p = 0;
        uint32_t q = 0;
        while (p < count) {
            const uint32_t k = std::min({n_ - fill_, hop_, count - p});
            for (int ch = 0; ch < 2; ++ch) {
                std::memcpy(input_[ch].data() + fill_, in[ch] + p, k * sizeof(float));
            }
            fill_ += k;
            p += k;
            if (fill_ == n_) {
                frameStep();
                ready_ += hop_;
                for (int ch = 0; ch < 2; ++ch) {
                    float* f = input_[ch].data();
                    std::memmove(f, f + hop_, (n_ - hop_) * sizeof(float));
                }
                fill_ -= hop_;
            }
            const uint32_t m = std::min(count - q, ready_);
            for (int ch = 0; ch < 2; ++ch) {
                std::memcpy(out[ch] + q, accumulator_[ch].data() + read_, m * sizeof(float));
            }
            read_ += m;
            q += m;
            ready_ -= m;
        }
    }

private:
    void frameStep() {
        // Finished output read so far leaves the accumulators once per frame, as in the engine.
        for (int ch = 0; ch < 2; ++ch) {
            float* acc = accumulator_[ch].data();
            std::memmove(acc, acc + read_, (n_ + hop_) * sizeof(float));
        }
        read_ = 0;
        for (int ch = 0; ch < 2; ++ch) {
            for (uint32_t j = 0; j < n_; ++j) {
                work_[j] = input_[ch][j] * window_[j];
            }
            fftwf_execute_dft_r2c(forward_, work_, spectrum_[ch]);
            for (uint32_t j = 0; j < bins_; ++j) {
                magnitude_[ch][j] = ducking::magnitude(spectrum_[ch][j][0], spectrum_[ch][j][1]);
            }
        }
        float* key = magnitude_[0].data();
        for (uint32_t j = 0; j < bins_; ++j) {
            const float v = ducking::smoothedKey(keyState_[j], key[j]);
            keyState_[j] = v;
            key[j] = v;
        }
        const float* c = coefficients_.data();
        float prev = key[0];
        for (uint32_t j = 1; j < bins_; ++j) {
            prev = ducking::smoothedAcross(prev, key[j], c[j - 1]);
            key[j] = prev;
        }
        float next = key[bins_ - 1];
        for (uint32_t j = bins_ - 1; j-- > 0;) {
            next = ducking::smoothedAcross(next, key[j], c[j + 1]);
            key[j] = next;
        }
        for (uint32_t j = 0; j < bins_; ++j) {
            const float g = ducking::duckingGain(key[j], magnitude_[1][j]);
            spectrum_[1][j][0] *= g;
            spectrum_[1][j][1] *= g;
        }
        const float scale = 1.0f / static_cast<float>(n_);
        for (int ch = 0; ch < 2; ++ch) {
            fftwf_execute_dft_c2r(inverse_, spectrum_[ch], work_);
            float* acc = accumulator_[ch].data() + ready_;
            for (uint32_t j = 0; j < n_ - hop_; ++j) {
                acc[j] = acc[j] + work_[j] * scale * window_[j];
            }
            for (uint32_t j = n_ - hop_; j < n_; ++j) {
                acc[j] = work_[j] * scale * window_[j];
            }
        }
    }

    uint32_t n_, bins_, hop_, fill_, ready_, read_ = 0;
    std::vector<float> window_, coefficients_, keyState_;
    std::vector<float> input_[2], accumulator_[2], magnitude_[2];
    float* work_;
    fftwf_complex* spectrum_[2];
    fftwf_plan forward_;
    fftwf_plan inverse_;
};

} // namespace quorvane::bench
