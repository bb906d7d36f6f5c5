#pragma once
// The picture of a render: spectrograms of the key, the input and the output over time, and the
// gain reduction, each with a time axis, a logarithmic frequency axis and a colour scale.

#include "renderer.h"
#include "sonogram.h"

#include <memory>
#include <string>

namespace quorvane::cli {

class OutputFile;

// Collects the three spectrograms while a render streams.
class PlotCollector : public RenderObserver {
public:
    void begin(int sampleRate, int64_t frames) override;
    void inputFrames(const float* key, const float* input, int32_t count) override;
    void outputFrames(const float* output, int32_t count) override;
    // Completes the analysis.
    void end(const RenderResult& result) override;

    const Sonogram& key() const { return *key_; }
    const Sonogram& input() const { return *input_; }
    const Sonogram& output() const { return *output_; }

private:
    std::unique_ptr<Sonogram> key_, input_, output_;
};

// What the picture says about the files.
struct PlotLabels {
    std::string heading; // top line
    std::string key;     // file names shown in the panel titles
    std::string input;
    std::string output;
};

// Draws the picture with the raster engine and writes it as PNG into file, which stays in its
// temporary place.
void writePlot(const PlotCollector& plot, const PlotLabels& labels, OutputFile& file);

// Renders KEY and INPUT (into the targets that are named) and draws the picture of the render
// to picture. The picture must not be one of the other files (ToolError with kExitUsage); it is
// started before the render and put in place with the audio files. outputName names the output
// in the picture when targets.output is empty.
RenderResult renderAndPlot(const std::string& key, const std::string& input,
                           const RenderTargets& targets, const RenderSettings& settings,
                           const std::string& picture, const std::string& outputName = "");

} // namespace quorvane::cli
