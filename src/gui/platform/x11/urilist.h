#pragma once
// Dropped file lists: the local paths named by a text/uri-list.

#include <cstddef>
#include <string>
#include <vector>

namespace quorvane::x11 {

// Bytes of the text each dropped path is handed over in, terminating zero included.
inline constexpr size_t kDropPathSize = 1024;

// The paths of the local file:// URIs in list (lines ending in CR LF or LF; '#' lines are
// comments), percent-decoded. URIs of other schemes or other hosts, and paths that decode to a
// zero byte, are left out. Never throws except std::bad_alloc.
std::vector<std::string> pathsFromUriList(const char* list, size_t size);

// A symbolic link is replaced by the canonical path of what it points to; anything else, or a
// link whose target cannot be found, stays as it is.
std::string resolveLink(const std::string& path);

// The path to hand over: the link resolved, or empty when the result does not fit into
// kDropPathSize bytes (a path is never cut).
std::string dropPath(const std::string& path);

} // namespace quorvane::x11
