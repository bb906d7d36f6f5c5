// quorvane render: ducks INPUT under KEY through the plug-in and writes OUTPUT, the mix of key
// and ducked input, or both.

#include "batch.h"
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
#include <vector>

namespace quorvane::cli {
namespace {

struct RenderOptions {
    std::string key;
    std::vector<std::string> inputs;
    RenderTargets targets;
    std::string folder; // --output-dir: a batch
    std::string format;
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

void printBatchSummary(const BatchRequest& request, const BatchResult& result) {
    std::printf("%s: %zu of %zu files written, %.2f s of audio; rendered in %.2f s on %d thread%s "
                "(real-time factor %.1f)\n",
                request.folder.c_str(), result.written.size(), request.inputs.size(),
                result.audioSeconds, result.seconds, result.threads, result.threads == 1 ? "" : "s",
                result.seconds > 0 ? result.audioSeconds / result.seconds : 0.0);
}

RenderSettings renderSettings(const RenderOptions& options) {
    RenderSettings settings;
    settings.pluginPath = options.pluginPath;
    settings.blockSize = options.blockSize;
    settings.compensateLatency = !options.noLatencyCompensation;
    settings.progress = !options.quiet;
    settings.jobs = options.jobs;
    settings.bits = parseSampleBits(options.bits);
    return settings;
}

int runBatch(const RenderOptions& options) {
    if (!options.targets.output.empty() || !options.targets.mix.empty() || !options.picture.empty())
        throw ToolError(kExitUsage, "render: --output-dir writes each INPUT under its own name; "
                                    "it does not go with -o, --mix or --plot");
    BatchRequest request{options.key, options.inputs, options.folder, options.format};
    if (!request.format.empty() && request.format.front() == '.') request.format.erase(0, 1);
    const BatchResult result = renderBatch(request, renderSettings(options));
    if (!options.quiet) printBatchSummary(request, result);
    if (result.failures.empty()) return kExitOk;
    std::fprintf(stderr, "quorvane: error: %zu of %zu inputs were not rendered:\n",
                 result.failures.size(), request.inputs.size());
    for (const BatchFailure& failure : result.failures)
        std::fprintf(stderr, "  %s\n", failure.reason.c_str());
    return result.failures.front().exitCode;
}

int runRender(const RenderOptions& options) {
    if (!options.folder.empty()) return runBatch(options);
    if (options.inputs.size() > 1)
        throw ToolError(kExitUsage, "render: several inputs are written with --output-dir DIR, "
                                    "each under its own name (see --help)");
    if (!options.format.empty())
        throw ToolError(kExitUsage, "render: --format goes with --output-dir; with -o the "
                                    "name's extension picks the format");
    if (options.targets.output.empty() && options.targets.mix.empty())
        throw ToolError(kExitUsage, "render: name the ducked file with -o OUTPUT, the mix with "
                                    "--mix MIX, or both (see --help)");
    const RenderSettings settings = renderSettings(options);
    const std::string& input = options.inputs.front();
    const RenderResult result =
        options.picture.empty()
            ? renderFiles(options.key, input, options.targets, settings)
            : renderAndPlot(options.key, input, options.targets, settings, options.picture);
    const std::string note = reportNonFinite(result, options.key, input, options.targets);
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
                      "); the sample format follows INPUT where the format can hold it. With "
                      "--output-dir DIR, several INPUTs are ducked under the one KEY, each "
                      "written to DIR under its own name.");
    render
        ->add_option("KEY", options->key,
                     "The key: its channel of the same index when it has as many channels as "
                     "INPUT, else its mono mix; resampled to INPUT's rate if need be; padded "
                     "with silence or cut to INPUT's length")
        ->required();
    render
        ->add_option("INPUT", options->inputs,
                     "The signal to duck; several with --output-dir, each rendered on its own")
        ->required();
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
    render
        ->add_option("--output-dir", options->folder,
                     "Render every INPUT under KEY and write each into this folder under its "
                     "own name; an INPUT that fails is named at the end and the others are "
                     "still written")
        ->type_name("DIR");
    render
        ->add_option("--format", options->format,
                     "With --output-dir: write every output in this format (an extension such "
                     "as flac) instead of its INPUT's")
        ->type_name("EXT");
    addPluginOption(*render, options->pluginPath);
    render
        ->add_option("--bits", options->bits,
                     "Sample format of the files written: 16, 24 or 32-bit integer, or float "
                     "(default: INPUT's where the format holds it, else the closest)")
        ->type_name("BITS")
        ->check(CLI::IsMember({"16", "24", "32", "float"}));
    render
        ->add_option("--jobs", options->jobs,
                     "Threads that read, render the channels side by side and write, all at "
                     "once (default: one per processor, at most one per channel and two); the "
                     "output is the same for any N")
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
