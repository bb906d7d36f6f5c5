#include "outputfile.h"

#include "interrupt.h"
#include "toolerror.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace quorvane::cli {
namespace {

constexpr int kMaxLinks = 40; // as the kernel follows them
constexpr int kCapFowner = 3; // the capability that overrides a sticky folder
constexpr size_t kCopyBytes = 65536;

mode_t currentUmask() {
    const mode_t mask = umask(0);
    umask(mask);
    return mask;
}

// The destination through its symbolic links, which may end at a name that does not exist yet.
std::string followLinks(const std::string& path) {
    std::string current = path;
    for (int hops = 0;; ++hops) {
        struct stat status {};
        if (lstat(current.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return current;
        if (hops == kMaxLinks)
            throw fileError(kExitOutput, path,
                            "cannot be written (" + std::string(std::strerror(ELOOP)) + ")");
        std::error_code error;
        const fs::path link = fs::read_symlink(current, error);
        if (error)
            throw fileError(kExitOutput, path, "cannot be written (" + error.message() + ")");
        current =
            link.is_absolute() ? link.string() : (fs::path(current).parent_path() / link).string();
    }
}

// "dir/.name.XXXXXX", the name cut (at a character's start) so the whole fits the folder's
// longest name.
std::string temporaryPattern(const fs::path& folder, const std::string& name) {
    long longest = pathconf(folder.c_str(), _PC_NAME_MAX);
    if (longest <= 0) longest = 255;
    std::string stem = name;
    const size_t room = static_cast<size_t>(std::max(longest - 8, 1L));
    if (stem.size() > room) {
        size_t cut = room;
        while (cut > 0 && (static_cast<unsigned char>(stem[cut]) & 0xC0) == 0x80)
            --cut;
        stem.resize(cut);
    }
    return (folder / ("." + stem + ".XXXXXX")).string();
}

bool hasCapability(int capability) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("CapEff:", 0) == 0)
            return (std::strtoull(line.c_str() + 7, nullptr, 16) >> capability) & 1;
    return geteuid() == 0;
}

// An anonymous file for the bytes of a stream until the end of the command.
int anonymousFile() {
    const char* folder = std::getenv("TMPDIR");
    const std::string dir = folder && *folder ? folder : "/tmp";
    int descriptor = open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (descriptor >= 0) return descriptor;
    std::string name = dir + "/.quorvane.XXXXXX";
    descriptor = mkostemp(name.data(), O_CLOEXEC);
    if (descriptor >= 0) unlink(name.c_str());
    return descriptor;
}

bool writeAll(int descriptor, const char* bytes, size_t count) {
    while (count > 0) {
        const ssize_t done = write(descriptor, bytes, count);
        if (done < 0) {
            if (errno != EINTR) return false;
            throwIfInterrupted();
            continue;
        }
        bytes += done;
        count -= static_cast<size_t>(done);
    }
    return true;
}

} // namespace

// --- OutputFile -------------------------------------------------------------------------------

OutputFile::OutputFile(const std::string& destination)
    : destination_(destination == "-" ? "standard output" : destination),
      standardOutput_(destination == "-") {
    try {
        if (standardOutput_) {
            if (isatty(STDOUT_FILENO) == 1)
                throw ToolError(kExitOutput,
                                "standard output is a terminal; send it to a file or a pipe");
            startStream(STDOUT_FILENO);
            return;
        }
        // Devices and FIFOs, also behind links (/dev/stdout), are written into as any program
        // writes into them; a FIFO's open waits for its reader.
        struct stat status {};
        if (stat(destination.c_str(), &status) == 0 &&
            (S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode) || S_ISFIFO(status.st_mode))) {
            int descriptor = -1;
            while ((descriptor = open(destination.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC)) < 0) {
                if (errno != EINTR) fail("cannot be opened for writing", errno);
                throwIfInterrupted();
            }
            ownsStream_ = true;
            startStream(descriptor);
            return;
        }

        // Files: the link's target is replaced, the link stays.
        if (fs::path(destination).filename().empty())
            throw fileError(kExitOutput, destination, "is not a file name");
        target_ = followLinks(destination);
        if (stat(target_.c_str(), &status) != 0) {
            if (errno != ENOENT) fail("cannot be written", errno);
            startReplacement();
            return;
        }
        if (S_ISDIR(status.st_mode)) throw fileError(kExitOutput, destination, "is a folder");
        if (!S_ISREG(status.st_mode))
            throw fileError(kExitOutput, destination,
                            "is neither a file, a device nor a FIFO and cannot be written");
        existed_ = true;
        ownerUid_ = status.st_uid;
        ownerGid_ = status.st_gid;
        mode_ = status.st_mode;
        startReplacement();
    } catch (...) {
        release();
        throw;
    }
}

OutputFile::~OutputFile() {
    release();
}

void OutputFile::release() noexcept {
    if (descriptor_ >= 0) close(descriptor_);
    descriptor_ = -1;
    if (ownsStream_ && streamDescriptor_ >= 0) close(streamDescriptor_);
    streamDescriptor_ = -1;
    if (!committed_ && !temporaryPath_.empty()) unlink(temporaryPath_.c_str());
    temporaryPath_.clear();
}

void OutputFile::startReplacement() {
    // Place: beside the file, so that putting it in place is a rename on one file system.
    const fs::path target(target_);
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::string name = temporaryPattern(folder, target.filename().string());
    descriptor_ = mkostemp(name.data(), O_CLOEXEC);
    if (descriptor_ < 0)
        throw fileError(kExitOutput, destination_,
                        "cannot create a file in " + folder.string() + " (" + std::strerror(errno) +
                            ")");
    temporaryPath_ = name;
    if (!existed_) return;

    // Replaceable: a shared (sticky) folder keeps other users' files from being renamed over,
    // and an immutable or append-only file cannot be replaced at all. Found now, not after the
    // work is done.
    struct stat folderStatus {};
    if (stat(folder.c_str(), &folderStatus) == 0 && (folderStatus.st_mode & S_ISVTX) &&
        geteuid() != ownerUid_ && geteuid() != folderStatus.st_uid && !hasCapability(kCapFowner))
        throw fileError(kExitOutput, destination_,
                        "cannot be replaced (" + std::string(std::strerror(EPERM)) +
                            ": it belongs to another user in a shared folder)");
    const int existing = open(target_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (existing >= 0) {
        int flags = 0;
        const bool fixed = ioctl(existing, FS_IOC_GETFLAGS, &flags) == 0 &&
                           (flags & (FS_IMMUTABLE_FL | FS_APPEND_FL)) != 0;
        close(existing);
        if (fixed)
            throw fileError(kExitOutput, destination_,
                            "cannot be replaced (" + std::string(std::strerror(EPERM)) +
                                ": it is immutable or append-only)");
    }
}

void OutputFile::startStream(int descriptor) {
    stream_ = true;
    streamDescriptor_ = descriptor;
    descriptor_ = anonymousFile();
    if (descriptor_ < 0) fail("cannot be written: no room for its temporary copy", errno);
}

void OutputFile::finish() {
    if (finished_) return;
    // Devices and some file systems take no fsync; their errors show in the copy or the close.
    if (fsync(descriptor_) != 0 && errno != EINVAL && errno != EROFS)
        fail("cannot be written", errno);
    finished_ = true;
}

void OutputFile::copyToStream() {
    if (lseek(descriptor_, 0, SEEK_SET) != 0) fail("cannot be written", errno);
    std::vector<char> buffer(kCopyBytes);
    for (;;) {
        const ssize_t got = read(descriptor_, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) fail("cannot be written", errno);
        if (got == 0) break;
        if (!writeAll(streamDescriptor_, buffer.data(), static_cast<size_t>(got)))
            fail("cannot be written", errno);
    }
    if (ownsStream_) {
        const int descriptor = streamDescriptor_;
        streamDescriptor_ = -1;
        if (close(descriptor) != 0 && errno != EINTR) fail("cannot be written", errno);
    }
    committed_ = true;
}

void OutputFile::fail(const std::string& what, int error) const {
    throw fileError(kExitOutput, destination_, what + " (" + std::strerror(error) + ")");
}

// --- OutputSet --------------------------------------------------------------------------------

OutputSet::~OutputSet() = default;

OutputFile& OutputSet::add(const std::string& destination) {
    files_.push_back(std::make_unique<OutputFile>(destination));
    return *files_.back();
}

bool OutputSet::writesStandardOutput() const {
    for (const auto& file : files_)
        if (file->standardOutput_) return true;
    return false;
}

void OutputSet::commit() {
    // Complete: every file on its disk, with the mode and owner it will have.
    const mode_t fresh = 0666 & ~currentUmask();
    for (const auto& file : files_) {
        file->finish();
        if (file->writesThrough()) continue;
        if (file->existed_) {
            // Set-user and set-group bits are not carried over to a file the user did not make.
            if (fchown(file->descriptor_, file->ownerUid_, file->ownerGid_) != 0 &&
                fchown(file->descriptor_, static_cast<uid_t>(-1), file->ownerGid_) != 0) {
                // Not ours to give: the file stays ours, as any new file would be.
            }
            fchmod(file->descriptor_, file->mode_ & 07777 & ~mode_t(S_ISUID | S_ISGID));
        } else {
            fchmod(file->descriptor_, fresh);
        }
        const int descriptor = file->descriptor_;
        file->descriptor_ = -1;
        if (close(descriptor) != 0 && errno != EINTR) file->fail("cannot be written", errno);
    }

    // Streams first: a device that refuses its bytes stops the command before any file is
    // replaced.
    for (const auto& file : files_)
        if (file->writesThrough()) file->copyToStream();

    // Files: each exchanged with the one it replaces, so that a refusal can put back those
    // replaced before it; the old files go once all are in place.
    enum class Placed { Exchanged, Created, Renamed };
    std::vector<std::pair<OutputFile*, Placed>> placed;
    for (const auto& file : files_) {
        if (file->writesThrough()) continue;
        const char* from = file->temporaryPath_.c_str();
        const char* to = file->target_.c_str();
        // What is there now: a file to exchange, nothing, or something else that stays.
        struct stat present {};
        const bool exists = lstat(to, &present) == 0;
        Placed how = exists ? Placed::Exchanged : Placed::Created;
        int done = -1;
        if (exists && !S_ISREG(present.st_mode)) {
            errno = S_ISDIR(present.st_mode) ? EISDIR : EEXIST;
        } else {
            done = renameat2(AT_FDCWD, from, AT_FDCWD, to,
                             exists ? RENAME_EXCHANGE : RENAME_NOREPLACE);
            if (done != 0 && (errno == EINVAL || errno == ENOSYS)) {
                how = Placed::Renamed; // a file system that cannot exchange: plain replacement
                done = std::rename(from, to);
            }
        }
        if (done != 0) {
            const int error = errno;
            for (auto back = placed.rbegin(); back != placed.rend(); ++back) {
                const char* temporary = back->first->temporaryPath_.c_str();
                const char* target = back->first->target_.c_str();
                if (back->second == Placed::Exchanged)
                    renameat2(AT_FDCWD, temporary, AT_FDCWD, target, RENAME_EXCHANGE);
                else if (back->second == Placed::Created)
                    std::rename(target, temporary);
            }
            file->fail("cannot be replaced", error);
        }
        placed.emplace_back(file.get(), how);
    }
    for (const auto& [file, how] : placed) {
        if (how == Placed::Exchanged) unlink(file->temporaryPath_.c_str());
        file->committed_ = true;
    }
}

bool samePath(const std::string& a, const std::string& b) {
    // Existing files: same device and inode, which also catches hard and symbolic links.
    std::error_code error;
    if (fs::equivalent(a, b, error)) return true;
    // Otherwise compare resolved names.
    const auto resolve = [](const std::string& path) {
        std::error_code failure;
        fs::path resolved = fs::weakly_canonical(fs::absolute(path), failure);
        return failure ? fs::absolute(path).lexically_normal() : resolved;
    };
    return resolve(a) == resolve(b);
}

} // namespace quorvane::cli
