#pragma once
// Each command lives in its own file and adds itself to the command line here.

#include <functional>
#include <string>

namespace CLI {
class App;
}

namespace quorvane::cli {

// What main runs once the command line is parsed; answers the exit code.
using CommandRunner = std::function<int()>;

// Each registration adds one subcommand to app; when that subcommand is chosen on the command
// line, its runner is stored in run.
void registerInfoCommand(CLI::App& app, CommandRunner& run);
void registerRenderCommand(CLI::App& app, CommandRunner& run);
void registerPlotCommand(CLI::App& app, CommandRunner& run);
void registerDemoCommand(CLI::App& app, CommandRunner& run);
// edit [--plugin PATH] [--seconds N]: a small host that shows the editor in a window of its own.
void registerEditCommand(CLI::App& app, CommandRunner& run);

// The --plugin PATH option every command that loads a module shares.
void addPluginOption(CLI::App& command, std::string& path);

} // namespace quorvane::cli
