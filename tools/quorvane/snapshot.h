#pragma once
// quorvane snapshot: the editor's picture of an instance made in this process, as a PNG file.

#include "command.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace quorvane::cli {

struct SnapshotOptions {
    // Parameter changes applied in order after the program, as a host sets them.
    std::vector<std::pair<int32_t, float>> sets;
    int32_t program = -1; // -1: the instance's own program 0
    std::string output;
};

// Makes the instance on the headless back end, opens its editor through the dispatcher, selects
// the program, applies the changes, idles the editor until nothing is left to redraw and writes
// the window's picture. Answers kExitOk; a failure throws ToolError.
int runSnapshot(const SnapshotOptions& options);

// Adds the snapshot subcommand to app; when it is chosen, its runner is stored in run.
void registerSnapshotCommand(CLI::App& app, CommandRunner& run);

} // namespace quorvane::cli
