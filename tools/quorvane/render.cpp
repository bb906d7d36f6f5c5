// quorvane render: ducks INPUT under KEY through the plug-in and writes OUTPUT, the mix of key
// and ducked input, or both.

#include "command.h"
#include "nonfinite.h"
#include "outputformat.h"
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
    RenderTargets targets;
    std::string pluginPath;
    std::string picture;
    std::string bits;
    int32_t blockSize = 512;
    int jobs = 0;
    bool noLatencyCompensation = false;
    bool quiet = false;
};

void printSummary(const RenderOptions& options, const RenderResult& result, const std::string& note,
                  std::FILE* stream) {
    const auto shown = [](const std::string& name) {
        return name == "-" ? std::string("standard output") : name;
    };
    const RenderTargets& targets = options.targets;
    std::string files = shown(targets.output.empty() ? targets.mix : targets.output);
    if (!targets.output.empty() && !targets.mix.empty())
        files += " and the mix " + shown(targets.mix);
    std::string resampled;
    if (result.keySampleRate != result.sampleRate)
        resampled = "; key resampled from " + std::to_string(result.keySampleRate) + " Hz";
    std::fprintf(stream,
                 "%s: %d channel%s at %d Hz, %.2f s%s; latency %d samples %s; rendered in %.2f s "
                 "on %d thread%s (real-time factor %.1f)%s\n",
                 files.c_str(), result.channels, result.channels == 1 ? "" : "s", result.sampleRate,
                 result.audioSeconds(), resampled.c_str(), result.latency,
                 options.noLatencyCompensation ? "kept" : "compensated", result.seconds,
                 result.threads, result.threads == 1 ? "" : "s", result.realTimeFactor(),
                 note.c_str());
}

int runRender(const RenderOptions& options) {
    if (options.targets.output.empty() && options.targets.mix.empty())
        throw ToolError(kExitUsage, "render: name the ducked file with -o OUTPUT, the mix with "
                                    "--mix MIX, or both (see --help)");
    RenderSettings settings;
    settings.pluginPath = options.pluginPath;
    settings.blockSize = options.blockSize;
    settings.compensateLatency = !options.noLatencyCompensation;
    settings.progress = !options.quiet;
    settings.jobs = options.jobs;
    settings.bits = parseSampleBits(options.bits);
    const RenderResult result =
        options.picture.empty()
            ? renderFiles(options.key, options.input, options.targets, settings)
            : renderAndPlot(options.key, options.input, options.targets, settings, options.picture);
    const std::string note = reportNonFinite(result, options.key, options.input, options.targets);
    // Standard output may be one of the files; the summary then goes with the messages.
    const bool toStandardOutput =
        options.targets.output == "-" || options.targets.mix == "-" || options.picture == "-";
    if (!options.quiet) printSummary(options, result, note, toStandardOutput ? stderr : stdout);
    return kExitOk;
}

std::string extensionList() {
    std::string list;
    for (const std::string& extension : writableExtensions())
        list += (list.empty() ? "" : ", ") + extension;
    return list;
}

} // namespace

void registerRenderCommand(CLI::App& app, CommandRunner& run) {
    auto options = std::make_shared<RenderOptions>();
    CLI::App* render = app.add_subcommand(
        "render", "Duck INPUT under KEY through the plug-in: one instance per channel of INPUT, "
                  "the key on input 0, the channel on input 1, output 1 written to OUTPUT in "
                  "INPUT's rate and channel count. The format follows the name (" +
                      extensionList() +
                      "); the sample format follows INPUT where the format can hold it.");
    render
        ->add_option("KEY", options->key,
                     "The key: its channel of the same index when it has as many channels as "
                     "INPUT, else its mono mix; resampled to INPUT's rate if need be; padded "
                     "with silence or cut to INPUT's length")
        ->required();
    render->add_option("INPUT", options->input, "The signal to duck")->required();
    render
        ->add_option("-o,--output", options->targets.output,
                     "The ducked file to write (- for standard output)")
        ->type_name("OUTPUT");
    render
        ->add_option("--mix", options->targets.mix,
                     "Also write the key added to the ducked signal, lined up as they sound "
                     "(the key's channel, or its mono mix, on every channel): a voice-over "
                     "finished in one go")
        ->type_name("MIX");
    addPluginOption(*render, options->pluginPath);
    render
        ->add_option("--bits", options->bits,
                     "Sample format of the files written: 16, 24 or 32-bit integer, or float "
                     "(default: INPUT's where the format holds it, else the closest)")
        ->type_name("BITS")
        ->check(CLI::IsMember({"16", "24", "32", "float"}));
    render
        ->add_option("--jobs", options->jobs,
                     "Threads that render the channels side by side (default: one per "
                     "processor, at most one per channel); the output is the same for any N")
        ->type_name("N")
        ->check(CLI::Range(1, 1024));
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
    render->add_flag("--quiet", options->quiet, "Print nothing but errors and warnings");
    render->callback([options, &run] { run = [options] { return runRender(*options); }; });
}

} // namespace quorvane::cli
