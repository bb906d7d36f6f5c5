#include "outputfile.h"

#include "toolerror.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace quorvane::cli {
namespace {

std::string errnoText() {
    return std::strerror(errno);
}

mode_t currentUmask() {
    const mode_t mask = umask(0);
    umask(mask);
    return mask;
}

} // namespace

OutputFile::OutputFile(const std::string& destination) : destination_(destination) {
    // Place: same folder as the destination, so the final rename cannot cross file systems.
    const fs::path target(destination);
    if (target.filename().empty()) throw fileError(kExitOutput, destination, "is not a file name");
    std::error_code error;
    if (fs::is_directory(target, error)) throw fileError(kExitOutput, destination, "is a folder");
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");

    // Create: a hidden name that mkstemp makes unique.
    std::string pattern = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    descriptor_ = mkstemp(name.data());
    if (descriptor_ < 0)
        throw fileError(kExitOutput, destination,
                        "cannot create a file in " + folder.string() + " (" + errnoText() + ")");
    temporaryPath_ = name.data();
}

OutputFile::~OutputFile() {
    if (descriptor_ >= 0) close(descriptor_);
    if (!committed_) unlink(temporaryPath_.c_str());
}

int OutputFile::releaseDescriptor() {
    const int descriptor = descriptor_;
    descriptor_ = -1;
    return descriptor;
}

void OutputFile::commit() {
    if (descriptor_ >= 0) {
        close(descriptor_);
        descriptor_ = -1;
    }
    // A file being replaced lends the new one its owner (where we may give it) and its mode;
    // a new file gets what the umask leaves.
    struct stat existing {};
    if (stat(destination_.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
        if (chown(temporaryPath_.c_str(), existing.st_uid, existing.st_gid) != 0 &&
            chown(temporaryPath_.c_str(), static_cast<uid_t>(-1), existing.st_gid) != 0) {
            // Not ours to give: the file stays ours, as any new file would be.
        }
        chmod(temporaryPath_.c_str(), existing.st_mode & 07777);
    } else {
        chmod(temporaryPath_.c_str(), 0666 & ~currentUmask());
    }
    if (std::rename(temporaryPath_.c_str(), destination_.c_str()) != 0)
        throw fileError(kExitOutput, destination_, "cannot be replaced (" + errnoText() + ")");
    committed_ = true;
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
