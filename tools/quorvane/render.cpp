// quorvane render: ducks INPUT under KEY through the plug-in and writes OUTPUT.

#include "command.h"
#include "plotpicture.h"
#include "renderer.h"
#include "toolerror.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <memory>
#include <string>

namespace quorvane::cli {
namespace {

struct RenderOptions {
    std::string key;
    std::string input;
    std::string output;
    std::string pluginPath;
    std::string picture;
    int32_t blockSize = 512;
    bool noLatencyCompensation = false;
    bool quiet = false;
};

void printSummary(const RenderOptions& options, const RenderResult& result) {
    std::printf("%s: %d channel%s at %d Hz, %.2f s; latency %d samples %s; rendered in %.2f s "
                "(real-time factor %.1f)\n",
                options.output.c_str(), result.channels, result.channels == 1 ? "" : "s",
                result.sampleRate, result.audioSeconds(), result.latency,
                options.noLatencyCompensation ? "kept" : "compensated", result.seconds,
                result.realTimeFactor());
}

int runRender(const RenderOptions& options) {
    RenderSettings settings;
    settings.pluginPath = options.pluginPath;
    settings.blockSize = options.blockSize;
    settings.compensateLatency = !options.noLatencyCompensation;
    settings.progress = !options.quiet;
    const RenderResult result =
        options.picture.empty()
            ? renderFiles(options.key, options.input, options.output, settings)
            : renderAndPlot(options.key, options.input, options.output, settings, options.picture);
    if (!options.quiet) printSummary(options, result);
    return kExitOk;
}

} // namespace

void registerRenderCommand(CLI::App& app, CommandRunner& run) {
    auto options = std::make_shared<RenderOptions>();
    CLI::App* render = app.add_subcommand(
        "render", "Duck INPUT under KEY through the plug-in: one instance per channel of INPUT, "
                  "the key on input 0, the channel on input 1, output 1 written to OUTPUT in "
                  "INPUT's rate, channel count and format.");
    render
        ->add_option("KEY", options->key,
                     "The key: its channel of the same index when it has as many channels as "
                     "INPUT, else its mono mix; padded with silence or cut to INPUT's length")
        ->required();
    render->add_option("INPUT", options->input, "The signal to duck")->required();
    render->add_option("-o,--output", options->output, "The ducked file to write")
        ->type_name("OUTPUT")
        ->required();
    addPluginOption(*render, options->pluginPath);
    render->add_option("--block", options->blockSize, "Frames per processing block (default 512)")
        ->type_name("N")
        ->check(CLI::Range(1, 1 << 20));
    render->add_flag("--no-latency-compensation", options->noLatencyCompensation,
                     "Keep the plug-in's delay: OUTPUT starts with it and runs that much longer "
                     "than INPUT");
    render
        ->add_option("--plot", options->picture,
                     "Also draw the spectrograms of key, input and output and the gain "
                     "reduction into this PNG file")
        ->type_name("PICTURE.png");
    render->add_flag("--quiet", options->quiet, "Print nothing but errors");
    render->callback([options, &run] { run = [options] { return runRender(*options); }; });
}

} // namespace quorvane::cli
