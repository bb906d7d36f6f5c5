#include "sonogram.h"

#include <algorithm>
#include <cmath>

namespace quorvane::cli {

uint32_t Sonogram::frameLengthFor(double sampleRate) {
    uint32_t length = 256;
    while (length < 0.046 * sampleRate && length < 65536)
        length *= 2;
    return length;
}

Sonogram::Sonogram(double sampleRate, int64_t frames, int32_t columns, int32_t rows,
                   double lowestHz)
    : sampleRate_(sampleRate), frames_(std::max<int64_t>(frames, 1)),
      columns_(std::max(columns, 1)), rows_(std::max(rows, 1)), lowestHz_(lowestHz),
      length_(frameLengthFor(sampleRate)) {
    // Hop: at least two frames per column where the file is short, a quarter frame at most.
    const int64_t perColumn = frames_ / (2 * columns_);
    hop_ = static_cast<uint32_t>(std::clamp<int64_t>(perColumn, 16, length_ / 4));

    // Window and transform: a raised cosine, scaled so that a full-scale sine peaks at 0 dB.
    fft_.init(Fft::kReal, length_);
    window_.resize(length_);
    double sum = 0.0;
    for (uint32_t i = 0; i < length_; ++i) {
        window_[i] = static_cast<float>(0.5 - 0.5 * std::cos(2.0 * M_PI * (i + 0.5) / length_));
        sum += window_[i];
    }
    scale_ = static_cast<float>(2.0 / sum);
    work_.resize(length_);
    spectrum_.resize(2 * size_t(length_));
    power_.resize(length_ / 2 + 1);

    // Rows: logarithmic bands from lowestHz to Nyquist.
    const double binWidth = sampleRate_ / length_;
    for (int32_t r = 0; r < rows_; ++r) {
        const double low = frequencyAt(double(r) / rows_) / binWidth;
        const double high = frequencyAt(double(r + 1) / rows_) / binWidth;
        const auto first = static_cast<uint32_t>(std::ceil(low));
        const auto end = static_cast<uint32_t>(std::min(std::ceil(high), length_ / 2 + 1.0));
        if (end > first) {
            rowBins_.push_back({first, end - first, 0.0f});
        } else {
            const double centre = std::sqrt(low * high);
            const auto below = std::min(static_cast<uint32_t>(centre), length_ / 2 - 1);
            rowBins_.push_back({below, 0, static_cast<float>(centre - below)});
        }
    }

    // Grid, and half a frame of silence so that frame 0 is centred on sample 0.
    sums_.assign(size_t(columns_) * rows_, 0.0);
    counts_.assign(size_t(columns_), 0);
    frame_.assign(length_, 0.0f);
    fill_ = length_ / 2;
}

double Sonogram::frequencyAt(double height) const {
    return lowestHz_ * std::pow(highestHz() / lowestHz_, height);
}

void Sonogram::push(const float* samples, int32_t count) {
    while (count > 0) {
        const uint32_t take = std::min<uint32_t>(length_ - fill_, static_cast<uint32_t>(count));
        std::copy(samples, samples + take, frame_.begin() + fill_);
        fill_ += take;
        samples += take;
        count -= static_cast<int32_t>(take);
        if (fill_ == length_) {
            analyseFrame();
            std::copy(frame_.begin() + hop_, frame_.end(), frame_.begin());
            fill_ -= hop_;
        }
    }
}

void Sonogram::analyseFrame() {
    // Column: where the frame's centre falls; frames centred past the end are dropped.
    const int64_t centre = frameIndex_ * int64_t(hop_);
    ++frameIndex_;
    if (centre >= frames_) return;
    const auto column = static_cast<int32_t>(centre * columns_ / frames_);

    // Spectrum: windowed frame, power per bin.
    for (uint32_t i = 0; i < length_; ++i)
        work_[i] = frame_[i] * window_[i];
    fft_.forwardReal(work_.data(), spectrum_.data());
    for (uint32_t k = 0; k <= length_ / 2; ++k) {
        const float re = spectrum_[2 * k] * scale_;
        const float im = spectrum_[2 * k + 1] * scale_;
        power_[k] = re * re + im * im;
    }
    addToColumn(column);
}

void Sonogram::addToColumn(int32_t column) {
    double* cells = &sums_[size_t(column) * rows_];
    for (int32_t r = 0; r < rows_; ++r) {
        const RowBins& bins = rowBins_[r];
        double value = 0.0;
        if (bins.count > 0) {
            for (uint32_t k = bins.first; k < bins.first + bins.count; ++k)
                value += power_[k];
            value /= double(bins.count);
        } else {
            value = power_[bins.first] +
                    (power_[bins.first + 1] - power_[bins.first]) * double(bins.fraction);
        }
        cells[r] += value;
    }
    ++counts_[column];
}

void Sonogram::finish() {
    // Flush: silence after the end until the last frame centred inside the stream is done.
    const std::vector<float> silence(hop_, 0.0f);
    while (frameIndex_ * int64_t(hop_) < frames_)
        push(silence.data(), int32_t(hop_));

    // Empty columns (short streams) take the nearest analysed column to their left; leading
    // ones the first analysed column.
    const auto copyColumn = [&](int32_t from, int32_t to) {
        std::copy_n(&sums_[size_t(from) * rows_], rows_, &sums_[size_t(to) * rows_]);
        counts_[size_t(to)] = counts_[size_t(from)];
    };
    int32_t source = -1;
    for (int32_t c = 0; c < columns_; ++c) {
        if (counts_[c] > 0)
            source = c;
        else if (source >= 0)
            copyColumn(source, c);
    }
    const auto first = std::find_if(counts_.begin(), counts_.end(), [](uint32_t n) { return n; });
    if (first == counts_.end()) return;
    for (int32_t c = 0; c < int32_t(first - counts_.begin()); ++c)
        copyColumn(int32_t(first - counts_.begin()), c);
}

float Sonogram::level(int32_t column, int32_t row) const {
    const uint32_t count = counts_[size_t(column)];
    const double power = count > 0 ? sums_[size_t(column) * rows_ + row] / count : 0.0;
    return power > 1e-20 ? static_cast<float>(10.0 * std::log10(power)) : kSilentDb;
}

} // namespace quorvane::cli
