#pragma once
// The files the tool writes. Nothing a user already has is touched before every output of a
// command is complete: a regular file (or a new name) is written under a temporary name beside
// it and put in place at the end; a device, a FIFO or standard output ("-") is opened at once but
// gets its bytes only at the end, from a temporary copy. A symbolic link is written through: its
// target is replaced, the link stays.

#include <memory>
#include <string>
#include <vector>

#include <sys/types.h>

namespace quorvane::cli {

class OutputFile {
public:
    // Checks the destination and starts it; ToolError with kExitOutput when it is a folder, its
    // folder takes no new file, an existing file there could not be replaced, or a device or FIFO
    // cannot be opened for writing. Opening a FIFO waits for its reader.
    explicit OutputFile(const std::string& destination);
    // Removes the temporary file unless it was committed.
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // The name as the user gave it ("standard output" for "-"), for messages.
    const std::string& destination() const { return destination_; }
    // The temporary file, open for reading, writing and seeking; it stays owned by this object
    // (hand a dup() to code that closes what it is given).
    int descriptor() const { return descriptor_; }
    // True for standard output, devices and FIFOs, which are written through, not replaced.
    bool writesThrough() const { return stream_; }
    // Flushes the temporary file to its disk; ToolError with kExitOutput when that fails.
    void finish();

private:
    friend class OutputSet;
    void startReplacement();
    void startStream(int descriptor);
    void copyToStream();
    void release() noexcept;
    [[noreturn]] void fail(const std::string& what, int error) const;

    std::string destination_;
    std::string target_;        // where the file lands: the destination through its links
    std::string temporaryPath_; // beside target_; empty for streams, whose copy has no name
    int descriptor_ = -1;
    int streamDescriptor_ = -1; // the device, FIFO or standard output written through
    bool standardOutput_ = false;
    bool stream_ = false;
    bool ownsStream_ = false;
    bool finished_ = false;
    bool committed_ = false;
    bool existed_ = false; // target_ was a file before
    uid_t ownerUid_ = 0;
    gid_t ownerGid_ = 0;
    mode_t mode_ = 0;
};

// The outputs of one command, started together and put in place together.
class OutputSet {
public:
    OutputSet() = default;
    ~OutputSet();
    OutputSet(const OutputSet&) = delete;
    OutputSet& operator=(const OutputSet&) = delete;

    // Starts one more output (see OutputFile); a refusal throws before anything was written, and
    // the outputs started so far are dropped with the set.
    OutputFile& add(const std::string& destination);
    // True when one of the outputs is standard output.
    bool writesStandardOutput() const;
    // Finishes every output and puts them all in place, or none: streams get their bytes first,
    // then every file replaces its destination; when one cannot, those already replaced are put
    // back. ToolError with kExitOutput naming the output that failed.
    void commit();

private:
    std::vector<std::unique_ptr<OutputFile>> files_;
};

// True when both paths name the same file, or would once the second is created.
bool samePath(const std::string& a, const std::string& b);

} // namespace quorvane::cli
