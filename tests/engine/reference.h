#pragma once
// A straightforward version of the processor for comparison: the accumulators are shifted after
// every output chunk and every pass is a plain loop. It uses the engine's Fft (tested on its own)
// and computes its own window and coefficients. Includes the flush of values that are not finite.

#include "engine/fft.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace quorvane::testing {

class ReferenceDucker {
public:
    explicit ReferenceDucker(float rate) {
        n = rate > 60000.0f ? 4096 : rate < 28000.0f ? 1024 : 2048;
        b = n / 2 + 1;
        h = n / 8;
        fft.init(0, n);
        w.resize(n);
        for (uint32_t i = 0; i < n; ++i) {
            w[i] = static_cast<float>(
                1.0 - std::cos(2.0 * 3.14159265358979323846 * (i + 0.5) / static_cast<double>(n)));
        }
        float s = 0.0f;
        for (uint32_t k = 0; k < 8; ++k) {
            float sq = w[k * h] * w[k * h];
            s += sq;
        }
        float root = std::sqrt(s);
        float scale = 1.0f / root;
        for (float& v : w) {
            v *= scale;
        }
        for (int ch = 0; ch < 2; ++ch) {
            in[ch].assign(n, 0.0f);
            acc[ch].assign(2 * n + h, 0.0f);
            spectrum[ch].assign(2 * n, 0.0f);
            mag[ch].assign(b, 0.0f);
        }
        work.assign(n, 0.0f);
        state.assign(b, 0.0f);
        c.resize(b);
        for (uint32_t i = 0; i < b; ++i) {
            float f = rate * static_cast<float>(i) / static_cast<float>(n);
            float bw = 0.03f * std::max(f, 700.0f);
            float nr = static_cast<float>(n) / rate;
            float x = -1.0f / (nr * bw);
            c[i] = 1.0f - static_cast<float>(std::exp(static_cast<double>(x)));
        }
        reset();
    }

    void reset() {
        fill = n - h;
        ready = h;
    }

    // Null channels as in the engine: a null input is silence, a null output is skipped.
    void process(const float* const* inputs, float* const* outputs, int32_t count) {
        if (count <= 0) {
            return;
        }
        const uint32_t len = static_cast<uint32_t>(count);
        if (staging[0].size() < len) {
            staging[0].resize(len);
            staging[1].resize(len);
        }
        uint32_t p = 0, q = 0;
        while (p < len) {
            uint32_t k = std::min({n - fill, h, len - p});
            for (int ch = 0; ch < 2; ++ch) {
                for (uint32_t j = 0; j < k; ++j) {
                    in[ch][fill + j] = inputs[ch] ? inputs[ch][p + j] : 0.0f;
                }
            }
            fill += k;
            p += k;
            if (fill == n) {
                frameStep();
                ready += h;
                for (int ch = 0; ch < 2; ++ch) {
                    for (uint32_t j = 0; j + h < n; ++j) {
                        in[ch][j] = in[ch][j + h];
                    }
                }
                fill -= h;
            }
            uint32_t m = std::min(len - q, ready);
            for (int ch = 0; ch < 2; ++ch) {
                for (uint32_t j = 0; j < m; ++j) {
                    staging[ch][q + j] = acc[ch][j];
                }
                for (uint32_t j = 0; j + m < acc[ch].size(); ++j) {
                    acc[ch][j] = acc[ch][j + m];
                }
            }
            q += m;
            ready -= m;
        }
        for (int ch = 0; ch < 2; ++ch) {
            if (outputs[ch]) {
                for (uint32_t j = 0; j < len; ++j) {
                    outputs[ch][j] = staging[ch][j];
                }
            }
        }
    }

    void frameStep() {
        for (int ch = 0; ch < 2; ++ch) {
            for (uint32_t j = 0; j < n; ++j) {
                work[j] = in[ch][j] * w[j];
            }
            fft.forwardReal(work.data(), spectrum[ch].data());
            for (uint32_t j = 0; j < b; ++j) {
                float re = spectrum[ch][2 * j], im = spectrum[ch][2 * j + 1];
                mag[ch][j] = std::sqrt(re * re + im * im);
            }
        }
        for (uint32_t j = 0; j < b; ++j) {
            state[j] = state[j] + (mag[0][j] - state[j]) * 0.1f;
            if (state[j] < 1e-20f) {
                state[j] = 0.0f;
            }
            if (!std::isfinite(state[j])) {
                state[j] = 0.0f;
            }
        }
        std::vector<float>& K = mag[0];
        K = state;
        for (uint32_t j = 1; j < b; ++j) {
            K[j] = K[j - 1] + (K[j] - K[j - 1]) * c[j - 1];
        }
        for (uint32_t j = b - 1; j-- > 0;) {
            K[j] = K[j + 1] + (K[j] - K[j + 1]) * c[j + 1];
        }
        for (uint32_t j = 0; j < b; ++j) {
            float r = K[j] / (mag[1][j] + 1e-20f);
            float g = 1.0f / (r + 1.0f);
            spectrum[1][2 * j] *= g;
            spectrum[1][2 * j + 1] *= g;
        }
        for (int ch = 0; ch < 2; ++ch) {
            fft.inverseReal(spectrum[ch].data(), work.data());
            for (uint32_t j = 0; j < n - h; ++j) {
                acc[ch][ready + j] += work[j] * w[j];
            }
            for (uint32_t j = n - h; j < n; ++j) {
                acc[ch][ready + j] = work[j] * w[j];
            }
        }
    }

    uint32_t n, b, h, fill = 0, ready = 0;
    Fft fft;
    std::vector<float> w, c, work, state;
    std::vector<float> in[2], acc[2], spectrum[2], mag[2], staging[2];
};

} // namespace quorvane::testing
