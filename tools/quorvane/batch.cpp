#include "batch.h"

#include "audiofile.h"
#include "outputfile.h"
#include "outputformat.h"
#include "pluginmodule.h"
#include "progressbar.h"
#include "toolerror.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <new>

namespace quorvane::cli {
namespace {

namespace fs = std::filesystem;

// An input that passed the checks: where it goes, and its length for the progress bar.
struct Job {
    std::string input;
    std::string output;
    int64_t frames = 0;
    double seconds = 0.0;
};

void checkFolder(const std::string& folder) {
    struct stat info = {};
    if (stat(folder.c_str(), &info) != 0)
        throw fileError(kExitOutput, folder, "no such folder; create it first");
    if (!S_ISDIR(info.st_mode)) throw fileError(kExitOutput, folder, "is not a folder");
}

// The refusals that concern the whole batch: two inputs written as one file, or an output that
// would replace the key or an input before it is read.
void checkNames(const BatchRequest& request) {
    std::map<std::string, std::string> claimed; // output name to the input that claims it
    for (const std::string& input : request.inputs) {
        const std::string output = batchOutputPath(request, input);
        const auto [at, fresh] = claimed.emplace(fs::path(output).filename().string(), input);
        if (!fresh && at->second == input)
            throw fileError(kExitUsage, input, "is named twice; name each input once");
        if (!fresh)
            throw fileError(kExitUsage, output,
                            "would be written for both " + at->second + " and " + input +
                                "; rename one of them");
        for (const std::string* source : {&request.key, &input})
            if (samePath(output, *source))
                throw fileError(kExitUsage, output,
                                "is the same file as " + *source +
                                    "; choose another --output-dir or --format");
        for (const std::string& other : request.inputs)
            if (samePath(output, other))
                throw fileError(kExitUsage, output,
                                "would replace the input " + other +
                                    " before it is read; choose another --output-dir or --format");
    }
}

void checkFormat(const std::string& format) {
    const std::string stand = "output." + format;
    try {
        checkOutputExtension(stand);
    } catch (const ToolError& e) {
        // The message names the stand-in file; name the option instead.
        throw ToolError(e.exitCode(),
                        "--format " + format + std::string(e.what()).substr(stand.size()));
    }
}

size_t position(const BatchRequest& request, const std::string& input) {
    return static_cast<size_t>(std::find(request.inputs.begin(), request.inputs.end(), input) -
                               request.inputs.begin());
}

} // namespace

std::string batchOutputPath(const BatchRequest& request, const std::string& input) {
    fs::path name = fs::path(input).filename();
    if (!request.format.empty()) name.replace_extension(request.format);
    return (fs::path(request.folder) / name).string();
}

BatchResult renderBatch(const BatchRequest& request, const RenderSettings& settings) {
    const auto start = std::chrono::steady_clock::now();

    // The batch as a whole: any refusal here comes before anything is read or written.
    checkFolder(request.folder);
    if (!request.format.empty()) checkFormat(request.format);
    checkNames(request);
    { const AudioReader key(request.key); }
    // Loaded once for the batch, so a module that cannot be loaded stops it before it starts.
    const PluginModule module(pluginPathOrDefault(settings.pluginPath));
    RenderSettings each = settings;
    each.pluginPath = module.path();

    // Each input: readable audio with a format for its output, else set aside.
    BatchResult result;
    std::vector<Job> jobs;
    int64_t totalFrames = 0;
    double totalSeconds = 0.0;
    for (const std::string& input : request.inputs) {
        try {
            const AudioReader reader(input);
            Job job{input, batchOutputPath(request, input), reader.frames(),
                    double(reader.frames()) / reader.sampleRate()};
            chooseOutputFormat(job.output, reader.format(), reader.channels(), reader.sampleRate(),
                               settings.bits);
            totalFrames += job.frames;
            totalSeconds += job.seconds;
            jobs.push_back(std::move(job));
        } catch (const ToolError& e) {
            result.failures.push_back({input, e.what(), e.exitCode()});
        }
    }

    // Render: one bar for the batch; a failure sets the input aside and the batch goes on.
    ProgressBar bar("rendering " + std::to_string(jobs.size()) + " files", totalFrames,
                    totalSeconds, settings.progress);
    each.progressBar = &bar;
    for (const Job& job : jobs) {
        try {
            const RenderResult rendered =
                renderFiles(request.key, job.input, {job.output, ""}, each);
            result.written.push_back(job.output);
            result.audioSeconds += rendered.audioSeconds();
            result.threads = std::max(result.threads, rendered.threads);
        } catch (const ToolError& e) {
            if (e.exitCode() == kExitInterrupted) {
                bar.finish();
                throw ToolError(kExitInterrupted,
                                "interrupted; " + std::to_string(result.written.size()) +
                                    " files were complete and written, " + job.output +
                                    " and the ones after it were not");
            }
            result.failures.push_back({job.input, e.what(), e.exitCode()});
        } catch (const std::bad_alloc&) {
            result.failures.push_back({job.input, job.input + ": out of memory", kExitFailure});
        }
        each.progressBase += job.frames;
    }
    bar.finish();
    // Failures in the order the inputs were named, whenever they were found.
    std::stable_sort(result.failures.begin(), result.failures.end(),
                     [&](const BatchFailure& a, const BatchFailure& b) {
                         return position(request, a.input) < position(request, b.input);
                     });
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return result;
}

} // namespace quorvane::cli
