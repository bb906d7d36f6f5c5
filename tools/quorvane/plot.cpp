// quorvane plot: renders KEY and INPUT through the plug-in and draws the picture of the render,
// without writing the ducked audio.

#include "command.h"
#include "nonfinite.h"
#include "plotpicture.h"
#include "toolerror.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <memory>
#include <string>

namespace quorvane::cli {
namespace {

struct PlotOptions {
    std::string key;
    std::string input;
    std::string picture;
    std::string pluginPath;
    int32_t blockSize = 512;
    bool quiet = false;
};

int runPlot(const PlotOptions& options) {
    RenderSettings settings;
    settings.pluginPath = options.pluginPath;
    settings.blockSize = options.blockSize;
    settings.progress = !options.quiet;
    const RenderResult result =
        renderAndPlot(options.key, options.input, {}, settings, options.picture);
    const std::string note = reportNonFinite(result, options.key, options.input, {});
    if (!options.quiet)
        std::fprintf(options.picture == "-" ? stderr : stdout,
                     "%s: %.2f s at %d Hz; rendered and drawn in %.2f s%s\n",
                     options.picture.c_str(), result.audioSeconds(), result.sampleRate,
                     result.seconds, note.c_str());
    return kExitOk;
}

} // namespace

void registerPlotCommand(CLI::App& app, CommandRunner& run) {
    auto options = std::make_shared<PlotOptions>();
    CLI::App* plot = app.add_subcommand(
        "plot", "Render INPUT under KEY through the plug-in and draw one PNG with the "
                "spectrograms of the key, the input and the output and the gain reduction.");
    plot->add_option("KEY", options->key, "The key")->required();
    plot->add_option("INPUT", options->input, "The signal to duck")->required();
    plot->add_option("-o,--output", options->picture,
                     "The PNG picture to write (- for standard output)")
        ->type_name("PICTURE.png")
        ->required();
    addPluginOption(*plot, options->pluginPath);
    plot->add_option("--block", options->blockSize, "Frames per processing block (default 512)")
        ->type_name("N")
        ->check(CLI::Range(1, 1 << 20));
    plot->add_flag("--quiet", options->quiet, "Print nothing but errors and warnings");
    plot->callback([options, &run] { run = [options] { return runPlot(*options); }; });
}

} // namespace quorvane::cli
