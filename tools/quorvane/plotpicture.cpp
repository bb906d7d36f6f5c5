#include "plotpicture.h"

#include "outputfile.h"
#include "pngfile.h"
#include "toolerror.h"

#include "gui/platform/raster/rasterfont.h"
#include "gui/platform/raster/rasteroffscreen.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>

namespace quorvane::cli {
namespace {

using platform::Point;
using platform::Rect;
using platform::TextAlign;

// Layout, in pixels.
constexpr int32_t kPlotWidth = 960; // one analysis column per pixel
constexpr int32_t kPlotHeight = 170;
constexpr int32_t kLeft = 100;
constexpr int32_t kHeading = 44;
constexpr int32_t kTitle = 22;
constexpr int32_t kBelow = 50; // ticks, tick labels, axis label, gap
constexpr int32_t kPanel = kTitle + kPlotHeight + kBelow;
constexpr int32_t kBarLeft = kLeft + kPlotWidth + 22;
constexpr int32_t kBarWidth = 16;
constexpr int32_t kWidth = kBarLeft + kBarWidth + 64;
constexpr int32_t kHeight = kHeading + 4 * kPanel;
constexpr double kLowestHz = 20.0;

// Levels shown: spectrograms over kRangeDb below the loudest cell, reduction down to kMaxCutDb.
constexpr float kRangeDb = 90.0f;
constexpr float kMaxCutDb = 30.0f;

struct Stop {
    float at;
    uint8_t r, g, b;
};
using Palette = std::array<Stop, 5>;
constexpr Palette kLevelPalette = {{{0.0f, 0, 0, 8},
                                    {0.25f, 62, 16, 112},
                                    {0.5f, 182, 54, 82},
                                    {0.75f, 248, 142, 34},
                                    {1.0f, 252, 250, 196}}};
constexpr Palette kCutPalette = {{{0.0f, 12, 22, 40},
                                  {0.3f, 24, 86, 150},
                                  {0.6f, 56, 176, 172},
                                  {0.85f, 170, 230, 150},
                                  {1.0f, 246, 252, 200}}};

constexpr uint32_t kBackground = raster::rgb(26, 27, 32);
constexpr uint32_t kNoSignal = raster::rgb(48, 49, 56);
constexpr platform::Colour kText = 0xE6E2DE; // platform colours: red + 256 green + 65536 blue
constexpr platform::Colour kDim = 0xA8A4A0;
constexpr platform::Colour kAxis = 0x9C9894;
constexpr platform::Colour kGrid = 0x807C78;

uint32_t colourAt(const Palette& palette, float t) {
    t = std::clamp(t, 0.0f, 1.0f);
    size_t i = 1;
    while (i + 1 < palette.size() && t > palette[i].at)
        ++i;
    const Stop& a = palette[i - 1];
    const Stop& b = palette[i];
    const float f = (t - a.at) / (b.at - a.at);
    const auto mix = [f](uint8_t x, uint8_t y) {
        return static_cast<uint32_t>(std::lround(x + (y - x) * f));
    };
    return raster::rgb(mix(a.r, b.r), mix(a.g, b.g), mix(a.b, b.b));
}

std::string formatNumber(double value, int decimals) {
    char text[32];
    std::snprintf(text, sizeof(text), "%.*f", decimals, value);
    return text;
}

std::string hertzLabel(double hz) {
    return hz >= 1000.0 ? formatNumber(hz / 1000.0, 0) + "k" : formatNumber(hz, 0);
}

// Seconds between time ticks: the smallest pleasant step that gives at most 12 ticks.
double timeStep(double seconds) {
    for (double step : {0.01, 0.02, 0.05, 0.1, 0.2, 0.5, 1.0, 2.0, 5.0, 10.0, 15.0, 30.0, 60.0,
                        120.0, 300.0, 600.0, 1200.0, 1800.0, 3600.0})
        if (seconds / step <= 12.0) return step;
    return 7200.0;
}

// Draws on the offscreen surface: text, lines and the heat maps.
class Canvas {
public:
    Canvas() : surface_(raster::RasterOffscreen::create(kWidth, kHeight)) {
        if (!surface_) throw std::bad_alloc();
        surface_->pixels().fill(kBackground);
    }

    platform::Device& device() { return surface_->device(); }
    raster::PixelBuffer& pixels() { return surface_->pixels(); }

    void text(const std::string& s, Rect box, TextAlign align, platform::Colour colour,
              int32_t size = 12, bool bold = false) {
        platform::FontSpec font;
        font.height = size;
        font.weight = bold ? 700 : 400;
        device().setFont(font);
        device().setTextColour(colour);
        device().drawText(s.c_str(), box, align, false);
    }

    void line(Point from, Point to, platform::Colour colour, bool dotted = false) {
        device().setPen(colour, dotted ? platform::PenStyle::kDotted : platform::PenStyle::kSolid);
        device().moveTo(from);
        device().lineTo(to);
    }

private:
    std::unique_ptr<raster::RasterOffscreen> surface_;
};

// One panel: title, heat map from cell(column, row) → colour, axes and colour scale.
struct Panel {
    std::string title;
    std::string unit;
    const Palette* palette;
    float top;      // level at the top of the colour scale (brightest)
    float bottom;   // level at the bottom (darkest)
    float tickStep; // size of one tick step, in dB
};

class PlotPainter {
public:
    PlotPainter(Canvas& canvas, const Sonogram& axis) : canvas_(canvas), axis_(axis) {}

    void heading(const std::string& text) {
        canvas_.text(text, {kLeft, 8, kWidth - 10, kHeading - 8}, TextAlign::kLeft, kText, 16,
                     true);
    }

    // Draws panel number index; value(column, row) answers the level, or NaN for no signal.
    void panel(int index, const Panel& panel, const std::function<float(int32_t, int32_t)>& value) {
        const int32_t top = kHeading + index * kPanel + kTitle;
        canvas_.text(panel.title, {kLeft, top - kTitle, kBarLeft, top - 2}, TextAlign::kLeft, kText,
                     13, true);
        heatMap(top, panel, value);
        frequencyAxis(top);
        timeAxis(top + kPlotHeight);
        colourScale(top, panel);
    }

private:
    void heatMap(int32_t top, const Panel& panel,
                 const std::function<float(int32_t, int32_t)>& value) {
        raster::PixelBuffer& pixels = canvas_.pixels();
        const float span = panel.top - panel.bottom;
        for (int32_t column = 0; column < kPlotWidth; ++column)
            for (int32_t row = 0; row < kPlotHeight; ++row) {
                const float level = value(column, row);
                const uint32_t colour =
                    std::isnan(level) ? kNoSignal
                                      : colourAt(*panel.palette, (level - panel.bottom) / span);
                pixels.set(kLeft + column, top + kPlotHeight - 1 - row, colour);
            }
    }

    void frequencyAxis(int32_t top) {
        canvas_.text("frequency (Hz)", {0, top - kTitle, kLeft - 8, top - 2}, TextAlign::kRight,
                     kDim, 11);
        const double low = axis_.lowestHz(), high = axis_.highestHz();
        for (double decade = 10.0; decade < high; decade *= 10.0)
            for (double mantissa : {1.0, 2.0, 5.0}) {
                const double hz = decade * mantissa;
                if (hz < low || hz > high) continue;
                const double height = std::log(hz / low) / std::log(high / low);
                const int32_t y =
                    top + kPlotHeight - 1 - static_cast<int32_t>(height * kPlotHeight);
                canvas_.line({kLeft - 5, y}, {kLeft, y}, kAxis);
                if (mantissa == 1.0) canvas_.line({kLeft, y}, {kLeft + kPlotWidth, y}, kGrid, true);
                canvas_.text(hertzLabel(hz), {0, y - 8, kLeft - 8, y + 8}, TextAlign::kRight, kDim,
                             11);
            }
        canvas_.line({kLeft - 1, top - 1}, {kLeft - 1, top + kPlotHeight + 1}, kAxis);
    }

    void timeAxis(int32_t y) {
        const double seconds = axis_.seconds();
        const double step = timeStep(seconds);
        const int decimals = step < 0.1 ? 2 : step < 1.0 ? 1 : 0;
        canvas_.line({kLeft - 1, y}, {kLeft + kPlotWidth + 1, y}, kAxis);
        for (int i = 0; i * step <= seconds + 1e-9; ++i) {
            const int32_t x =
                kLeft + static_cast<int32_t>(std::lround(i * step / seconds * kPlotWidth));
            canvas_.line({x, y}, {x, y + 5}, kAxis);
            canvas_.text(formatNumber(i * step, decimals), {x - 40, y + 6, x + 40, y + 20},
                         TextAlign::kCenter, kDim, 11);
        }
        canvas_.text("time (s)", {kLeft, y + 20, kLeft + kPlotWidth, y + 36}, TextAlign::kCenter,
                     kDim, 11);
    }

    void colourScale(int32_t top, const Panel& panel) {
        raster::PixelBuffer& pixels = canvas_.pixels();
        for (int32_t row = 0; row < kPlotHeight; ++row) {
            const uint32_t colour = colourAt(*panel.palette, float(row) / (kPlotHeight - 1));
            for (int32_t x = kBarLeft; x < kBarLeft + kBarWidth; ++x)
                pixels.set(x, top + kPlotHeight - 1 - row, colour);
        }
        canvas_.text(panel.unit, {kBarLeft - 10, top - kTitle, kWidth, top - 2}, TextAlign::kLeft,
                     kDim, 11);
        const float span = panel.top - panel.bottom;
        const int ticks = static_cast<int>(std::lround(std::fabs(span / panel.tickStep)));
        for (int i = 0; i <= ticks; ++i) {
            const float level = panel.bottom + span * float(i) / float(ticks);
            const int32_t y =
                top + kPlotHeight - 1 -
                static_cast<int32_t>(std::lround(float(i) / float(ticks) * float(kPlotHeight - 1)));
            canvas_.line({kBarLeft + kBarWidth, y}, {kBarLeft + kBarWidth + 4, y}, kAxis);
            canvas_.text(formatNumber(level, 0), {kBarLeft + kBarWidth + 6, y - 8, kWidth, y + 8},
                         TextAlign::kLeft, kDim, 11);
        }
    }

    Canvas& canvas_;
    const Sonogram& axis_;
};

float loudest(const Sonogram& s) {
    float top = Sonogram::kSilentDb;
    for (int32_t c = 0; c < s.columns(); ++c)
        for (int32_t r = 0; r < s.rows(); ++r)
            top = std::max(top, s.level(c, r));
    return top;
}

} // namespace

void PlotCollector::begin(int sampleRate, int64_t frames) {
    const auto make = [&] {
        return std::make_unique<Sonogram>(sampleRate, frames, kPlotWidth, kPlotHeight, kLowestHz);
    };
    key_ = make();
    input_ = make();
    output_ = make();
}

void PlotCollector::inputFrames(const float* key, const float* input, int32_t count) {
    key_->push(key, count);
    input_->push(input, count);
}

void PlotCollector::outputFrames(const float* output, int32_t count) {
    output_->push(output, count);
}

void PlotCollector::end(const RenderResult&) {
    key_->finish();
    input_->finish();
    output_->finish();
}

void writePlot(const PlotCollector& plot, const PlotLabels& labels, OutputFile& file) {
    // Scales: the spectrograms share one, from the loudest cell of the three down.
    const float top = std::ceil(std::max({loudest(plot.key()), loudest(plot.input()),
                                          loudest(plot.output()), -120.0f}) /
                                10.0f) *
                      10.0f;
    const float floor = top - kRangeDb;
    const auto levels = [floor](const Sonogram& s) {
        return [&s, floor](int32_t c, int32_t r) { return std::max(s.level(c, r), floor); };
    };

    // Panels.
    Canvas canvas;
    PlotPainter painter(canvas, plot.input());
    painter.heading(labels.heading);
    const Panel level{"", "dBFS", &kLevelPalette, top, floor, 15.0f};
    Panel panel = level;
    panel.title = "Key: " + labels.key;
    painter.panel(0, panel, levels(plot.key()));
    panel.title = "Input: " + labels.input;
    painter.panel(1, panel, levels(plot.input()));
    panel.title = "Output: " + labels.output;
    painter.panel(2, panel, levels(plot.output()));
    const Panel cut{"Gain reduction (output against input, dB; grey where the input is silent)",
                    "dB",
                    &kCutPalette,
                    -kMaxCutDb,
                    0.0f,
                    6.0f};
    painter.panel(3, cut, [&](int32_t c, int32_t r) {
        const float in = plot.input().level(c, r);
        if (in < floor) return std::nanf("");
        return std::clamp(plot.output().level(c, r) - in, -kMaxCutDb, 0.0f);
    });

    // File.
    const raster::PixelBuffer& pixels = canvas.pixels();
    const std::string problem =
        writePng(dup(file.descriptor()), pixels.width(), pixels.height(), pixels.data().data());
    if (!problem.empty())
        throw fileError(kExitOutput, file.destination(), "cannot be written (" + problem + ")");
}

namespace {

// The picture is drawn once the render has ended, before its files are put in place.
class PictureTarget : public PlotCollector {
public:
    PictureTarget(OutputFile& file, std::string key, std::string input, std::string output)
        : file_(file), key_(std::move(key)), input_(std::move(input)), output_(std::move(output)) {}

    void end(const RenderResult& result) override {
        PlotCollector::end(result);
        char heading[256];
        std::snprintf(heading, sizeof(heading), "%s ducked under %s  (%d Hz, %.1f s, latency %d)",
                      input_.c_str(), key_.c_str(), result.sampleRate, result.audioSeconds(),
                      result.latency);
        writePlot(*this, {heading, key_, input_, output_}, file_);
    }

private:
    OutputFile& file_;
    std::string key_, input_, output_;
};

} // namespace

RenderResult renderAndPlot(const std::string& key, const std::string& input,
                           const RenderTargets& targets, const RenderSettings& settings,
                           const std::string& picture, const std::string& outputName) {
    // Check: the picture replaces none of the audio files.
    for (const std::string* other : {&key, &input, &targets.output, &targets.mix})
        if (!other->empty() && samePath(picture, *other))
            throw fileError(kExitUsage, picture,
                            "is the same file as " + *other + "; choose another picture file");

    checkPictureName(picture);

    // Start the picture's file, so that a picture that cannot be written stops the render
    // before it begins; it is put in place with the audio files, or none of them is.
    OutputSet outputs;
    OutputFile& file = outputs.add(picture);
    const auto name = [](const std::string& path) {
        return std::filesystem::path(path).filename().string();
    };
    const std::string output = !targets.output.empty() ? name(targets.output)
                               : !outputName.empty()   ? outputName
                                                       : "ducked " + name(input);
    PictureTarget target(file, name(key), name(input), output);
    const RenderResult result = renderFiles(key, input, targets, settings, &target, &outputs);
    outputs.commit();
    return result;
}

} // namespace quorvane::cli
