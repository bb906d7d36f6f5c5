#pragma once
// Streams mono audio into a fixed grid of mean power: columns over the file's duration, rows
// over a logarithmic frequency axis. Its memory depends on the grid, not on the file's length.

#include "engine/fft.h"

#include <cstdint>
#include <vector>

namespace quorvane::cli {

class Sonogram {
public:
    // frames: the length of the stream to come; rows run from lowestHz to half the rate.
    Sonogram(double sampleRate, int64_t frames, int32_t columns, int32_t rows, double lowestHz);

    // Adds the next count samples.
    void push(const float* samples, int32_t count);
    // Analyses what is left and fills columns that no frame reached from their neighbours.
    void finish();

    int32_t columns() const { return columns_; }
    int32_t rows() const { return rows_; }
    double lowestHz() const { return lowestHz_; }
    double highestHz() const { return sampleRate_ / 2.0; }
    double seconds() const { return double(frames_) / sampleRate_; }
    // Mean power of a cell in dB, 0 dB being a full-scale sine; row 0 is the lowest band.
    // Silence reads as kSilentDb.
    float level(int32_t column, int32_t row) const;
    // The frequency at a height between 0 (bottom) and 1 (top) of the row axis.
    double frequencyAt(double height) const;

    static constexpr float kSilentDb = -200.0f;
    // Analysis frame length for a rate: about 46 ms, a power of two.
    static uint32_t frameLengthFor(double sampleRate);

private:
    // Which bins a row reads: their mean when the row spans any bin centre, else the power
    // interpolated between two neighbouring bins.
    struct RowBins {
        uint32_t first;
        uint32_t count; // 0: interpolate between first and first + 1
        float fraction;
    };

    void analyseFrame();
    void addToColumn(int32_t column);

    double sampleRate_;
    int64_t frames_;
    int32_t columns_;
    int32_t rows_;
    double lowestHz_;
    uint32_t length_;
    uint32_t hop_;
    Fft fft_;
    std::vector<float> window_;
    float scale_ = 1.0f;
    std::vector<float> frame_; // the samples of the frame being filled
    uint32_t fill_ = 0;
    int64_t frameIndex_ = 0; // frames analysed; frame m is centred on sample m × hop
    std::vector<float> work_;
    std::vector<float> spectrum_;
    std::vector<float> power_;
    std::vector<RowBins> rowBins_;
    std::vector<double> sums_; // columns × rows
    std::vector<uint32_t> counts_;
};

} // namespace quorvane::cli
