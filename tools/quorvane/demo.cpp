// quorvane demo: synthesises a key and a bed, ducks the bed under the key through the built
// plug-in, draws the picture and says how much the bed was turned down where.

#include "audiofile.h"
#include "command.h"
#include "demosignals.h"
#include "plotpicture.h"
#include "renderer.h"
#include "snapshot.h"
#include "toolerror.h"

#include <CLI/CLI.hpp>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace quorvane::cli {
namespace {

constexpr int kRate = 44100;
constexpr double kSeconds = 10.0;
constexpr double kWindowSeconds = 0.05;
// A window's key is strong within this many dB of the loudest window, silent below kSilentDb.
constexpr double kStrongWithinDb = 10.0;
constexpr double kSilentDb = -80.0;

struct DemoFiles {
    std::string key, input, ducked, picture, panel;
};

void writeFile(const std::string& path, const std::vector<float>& samples, int channels) {
    AudioWriter writer(path, kRate, channels, SF_FORMAT_WAV | SF_FORMAT_PCM_24);
    writer.write(samples.data(), int64_t(samples.size()) / channels);
    writer.commit();
}

// Energy per window of one file, summed over its channels.
std::vector<double> windowEnergies(const std::string& path, int64_t window) {
    AudioReader reader(path);
    std::vector<float> block(size_t(window) * reader.channels());
    std::vector<double> energies;
    for (int64_t got; (got = reader.read(block.data(), window)) > 0;) {
        double sum = 0.0;
        for (size_t i = 0; i < size_t(got) * reader.channels(); ++i)
            sum += double(block[i]) * block[i];
        energies.push_back(sum);
    }
    return energies;
}

struct Reduction {
    double strongDb = 0.0, silentDb = 0.0;
    size_t strongWindows = 0, silentWindows = 0, windows = 0;
};

// How much lower the ducked bed is than the bed, in windows where the key is strong and where
// it is silent, measured on the files as written.
Reduction measureReduction(const DemoFiles& files) {
    const auto window = static_cast<int64_t>(kWindowSeconds * kRate);
    const std::vector<double> key = windowEnergies(files.key, window);
    const std::vector<double> bed = windowEnergies(files.input, window);
    const std::vector<double> ducked = windowEnergies(files.ducked, window);
    double loudest = 0.0;
    for (double e : key)
        loudest = std::max(loudest, e);

    Reduction r;
    r.windows = std::min({key.size(), bed.size(), ducked.size()});
    double strongBed = 0, strongDucked = 0, silentBed = 0, silentDucked = 0;
    for (size_t w = 0; w < r.windows; ++w) {
        const double keyDb = 10.0 * std::log10(key[w] / double(window) + 1e-30);
        if (key[w] >= loudest * std::pow(10.0, -kStrongWithinDb / 10.0)) {
            strongBed += bed[w];
            strongDucked += ducked[w];
            ++r.strongWindows;
        } else if (keyDb < kSilentDb) {
            silentBed += bed[w];
            silentDucked += ducked[w];
            ++r.silentWindows;
        }
    }
    const auto db = [](double before, double after) {
        return before > 0.0 && after > 0.0 ? 10.0 * std::log10(before / after) : 0.0;
    };
    r.strongDb = db(strongBed, strongDucked);
    r.silentDb = db(silentBed, silentDucked);
    return r;
}

void printSummary(const DemoFiles& files, const RenderResult& render, const Reduction& r) {
    const auto row = [](const std::string& name, const std::string& text) {
        std::printf("%-26s %s\n", name.c_str(), text.c_str());
    };
    row(files.key, "key: vocal-like formant bursts in two phrases, mono");
    row(files.input, "input: a sustained two-chord pad, stereo");
    row(files.ducked, "the pad ducked under the key");
    row(files.picture, "spectrograms of key, input and output, and the gain reduction");
    row(files.panel, "the editor of a fresh instance");
    char text[200];
    std::snprintf(text, sizeof(text), "%d samples (%.1f ms at %d Hz), compensated", render.latency,
                  1000.0 * render.latency / render.sampleRate, render.sampleRate);
    row("latency", text);
    std::snprintf(text, sizeof(text), "the pad is %.1f dB lower (%zu of %zu windows of %.0f ms)",
                  r.strongDb, r.strongWindows, r.windows, 1000.0 * kWindowSeconds);
    row("where the key is strong", text);
    std::snprintf(text, sizeof(text), "the pad is %.1f dB lower (%zu of %zu windows)", r.silentDb,
                  r.silentWindows, r.windows);
    row("where the key is silent", text);
    std::snprintf(text, sizeof(text),
                  "%.1f s of audio in %.2f s: real-time factor %.0f (seconds of audio per "
                  "second of processing)",
                  render.audioSeconds(), render.seconds, render.realTimeFactor());
    row("render", text);
}

int runDemo(const std::string& folder) {
    // Folder and names.
    std::error_code error;
    fs::create_directories(folder, error);
    if (error || !fs::is_directory(folder))
        throw fileError(kExitOutput, folder,
                        "cannot create the folder (" + (error ? error.message() : "not a folder") +
                            ")");
    const fs::path dir(folder);
    const DemoFiles files{(dir / "key.wav").string(), (dir / "input.wav").string(),
                          (dir / "ducked.wav").string(), (dir / "picture.png").string(),
                          (dir / "panel.png").string()};

    // Material.
    const DemoSignals demo = synthesiseDemo(kRate, kSeconds);
    writeFile(files.key, demo.key, 1);
    writeFile(files.input, demo.bed, 2);

    // Render, timed on its own; then the picture, from a second pass with the analysis.
    RenderSettings settings;
    const RenderResult render = renderFiles(files.key, files.input, {files.ducked, ""}, settings);
    renderAndPlot(files.key, files.input, {}, settings, files.picture, "ducked.wav");

    // The editor's panel, as a host would first show it.
    SnapshotOptions panel;
    panel.output = files.panel;
    runSnapshot(panel);

    // What it did.
    printSummary(files, render, measureReduction(files));
    return kExitOk;
}

} // namespace

void registerDemoCommand(CLI::App& app, CommandRunner& run) {
    auto folder = std::make_shared<std::string>("demo-out");
    CLI::App* demo = app.add_subcommand(
        "demo", "Synthesise a 10-second example (vocal-like bursts over a chord pad), duck it "
                "through the built Quorvane.so and write key.wav, input.wav, ducked.wav, "
                "picture.png and panel.png with a short summary.");
    demo->add_option("-o,--output", *folder, "The folder to write into (default demo-out)")
        ->type_name("DIR");
    demo->callback([folder, &run] { run = [folder] { return runDemo(*folder); }; });
}

} // namespace quorvane::cli
