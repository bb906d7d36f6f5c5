#pragma once
// quorvane edit: a small host that shows the plug-in's editor in a window of its own.

namespace CLI {
class App;
}

#include "command.h"

namespace quorvane::cli {

// Adds "edit [--plugin PATH] [--seconds N]" to app.
void registerEditCommand(CLI::App& app, CommandRunner& run);

} // namespace quorvane::cli
