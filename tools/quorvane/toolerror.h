#pragma once
// The one kind of failure the tool reports: a message naming the file and the problem, and the
// exit code the process ends with.

#include <stdexcept>
#include <string>

namespace quorvane::cli {

// Exit codes of the tool.
enum ExitCode : int {
    kExitOk = 0,
    kExitFailure = 1,      // anything not listed below
    kExitUsage = 2,        // the command line is wrong
    kExitInput = 3,        // an input file is missing, unreadable, not audio, empty or mismatched
    kExitPlugin = 4,       // the module cannot be loaded or cannot do the job
    kExitOutput = 5,       // the output cannot be written
    kExitInterrupted = 130 // stopped by a signal; nothing was written
};

class ToolError : public std::runtime_error {
public:
    ToolError(int exitCode, const std::string& message)
        : std::runtime_error(message), exitCode_(exitCode) {}
    int exitCode() const { return exitCode_; }

private:
    int exitCode_;
};

// "path: problem", the shape of every message about a file.
inline ToolError fileError(int exitCode, const std::string& path, const std::string& problem) {
    return ToolError(exitCode, path + ": " + problem);
}

} // namespace quorvane::cli
