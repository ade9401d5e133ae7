#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace vantorel {

// Files the operator names that are not images (a port map, the settings file) are read only
// when they are regular files of a bounded size, so that a FIFO never blocks the reader and a
// device such as /dev/zero never fills the memory. Nothing but a regular file is ever opened.

enum class FileCheck {
    Usable,    // a regular file of at most the bound
    Missing,   // no file of that name
    Unusable,  // anything else: the error says what it is
};

// Looks at `path` (following symbolic links) without opening it. `error` says why a file is
// not usable, in words for the operator: "not a regular file but a FIFO".
FileCheck CheckBoundedRegularFile(const std::string& path, size_t maxBytes, std::string& error);

// The whole content of the regular file at `path`, at most `maxBytes` of it; nullopt, with
// `error` saying why, for a missing or unreadable file, anything that is no regular file, and
// a file larger than the bound (also one that grows beyond it while being read).
std::optional<std::string> ReadBoundedRegularFile(const std::string& path, size_t maxBytes,
                                                  std::string& error);

}  // namespace vantorel
