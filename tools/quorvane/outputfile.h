#pragma once
// A file written beside its destination under a temporary name and renamed over it only when it
// is complete, so a failure or an interrupt never leaves a partial file and never touches an
// existing file of that name before the new one is done.

#include <string>

namespace quorvane::cli {

class OutputFile {
public:
    // Creates the temporary file in the destination's folder (ToolError with kExitOutput when
    // that fails).
    explicit OutputFile(const std::string& destination);
    // Removes the temporary file unless it was committed.
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    const std::string& destination() const { return destination_; }
    // The open descriptor of the temporary file; whoever takes it closes it.
    int releaseDescriptor();
    // Renames the file over the destination. It takes the mode and, where the process may give
    // it, the owner of the file it replaces; a new file gets the mode the umask leaves.
    void commit();

private:
    std::string destination_;
    std::string temporaryPath_;
    int descriptor_ = -1;
    bool committed_ = false;
};

// True when both paths name the same file, or would once the second is created.
bool samePath(const std::string& a, const std::string& b);

} // namespace quorvane::cli
