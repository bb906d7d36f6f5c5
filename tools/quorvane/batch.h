#pragma once
// Several inputs ducked under one key, each written under its own name in one folder. What can
// be found wrong with the command as a whole (the folder, the key, the module, the format, two
// inputs that would be written as one file, an output that is an input) is refused before
// anything is rendered; an input that cannot be rendered is set aside with its reason while the
// others are still written.

#include "renderer.h"

#include <string>
#include <vector>

namespace quorvane::cli {

struct BatchRequest {
    std::string key;
    std::vector<std::string> inputs;
    std::string folder; // where the outputs go
    std::string format; // extension of every output ("flac"); empty: each input's own
};

struct BatchFailure {
    std::string input;
    std::string reason; // the message, naming the file
    int exitCode = 0;
};

struct BatchResult {
    std::vector<std::string> written; // the output files, in the order of the inputs
    std::vector<BatchFailure> failures;
    double audioSeconds = 0.0; // of the inputs written
    double seconds = 0.0;      // wall time of the whole batch
    int threads = 1;
};

// The file the batch writes for input: its name in the folder, with the format's extension
// when one is asked for.
std::string batchOutputPath(const BatchRequest& request, const std::string& input);

// Renders every input with settings (one progress bar for the batch). Throws ToolError, with
// nothing written, when the command as a whole is refused or when interrupted before the first
// file is complete; inputs that fail are in the result.
BatchResult renderBatch(const BatchRequest& request, const RenderSettings& settings);

} // namespace quorvane::cli
