#include "gui/platform/x11/urilist.h"

#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane::x11 {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// %XX sequences decoded; false when one decodes to a zero byte, which no path can contain.
bool percentDecode(const std::string& in, std::string& out) {
    out.clear();
    for (size_t i = 0; i < in.size(); i++) {
        int high = i + 2 < in.size() ? hexValue(in[i + 1]) : -1;
        int low = i + 2 < in.size() ? hexValue(in[i + 2]) : -1;
        if (in[i] != '%' || high < 0 || low < 0) {
            out += in[i];
            continue;
        }
        char c = char(high * 16 + low);
        if (c == '\0') return false;
        out += c;
        i += 2;
    }
    return true;
}

bool isLocalHost(const std::string& host) {
    if (host.empty() || host == "localhost") return true;
    char name[HOST_NAME_MAX + 1] = {};
    return gethostname(name, sizeof name - 1) == 0 && host == name;
}

// The path of one file URI line, or false for anything that is not a local file.
bool pathOfUri(const std::string& uri, std::string& path) {
    static const std::string kScheme = "file://";
    if (uri.size() <= kScheme.size() || uri.compare(0, kScheme.size(), kScheme) != 0) return false;
    size_t slash = uri.find('/', kScheme.size());
    if (slash == std::string::npos) return false;
    if (!isLocalHost(uri.substr(kScheme.size(), slash - kScheme.size()))) return false;
    return percentDecode(uri.substr(slash), path) && !path.empty();
}

} // namespace

std::vector<std::string> pathsFromUriList(const char* list, size_t size) {
    std::vector<std::string> paths;
    size_t start = 0;
    while (start < size) {
        // one line, without its CR LF or LF
        size_t end = start;
        while (end < size && list[end] != '\n')
            end++;
        std::string line(list + start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t zero = line.find('\0');
        if (zero != std::string::npos) line.resize(zero);
        // keep local files
        std::string path;
        if (line.empty() || line[0] == '#') continue;
        if (pathOfUri(line, path)) paths.push_back(path);
    }
    return paths;
}

std::string resolveLink(const std::string& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    char* target = realpath(path.c_str(), nullptr);
    if (!target) return path;
    std::string resolved(target);
    free(target);
    return resolved;
}

std::string dropPath(const std::string& path) {
    if (path.size() >= kDropPathSize) return {};
    std::string resolved = resolveLink(path);
    if (resolved.size() >= kDropPathSize) return {};
    return resolved;
}

} // namespace quorvane::x11
