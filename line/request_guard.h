#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vantorel::line {

// How much of a request the station reads before it answers: every endpoint is a GET, so a
// request is a head alone, and a small one.
struct RequestBounds {
    size_t mostHeadBytes = 8 * 1024;
    size_t mostHeaderLines = 48;
    size_t mostTargetBytes = 2048;
};

// What to do with the bytes a client sent so far.
struct HeadVerdict {
    enum class Kind { Incomplete, Accept, Refuse };
    Kind kind = Kind::Incomplete;
    // Refuse: the HTTP status and the error's code and detail for the JSON answer.
    int status = 0;
    std::string code;
    std::string detail;
    // Accept: how many bytes the head takes, its blank line included.
    size_t headBytes = 0;
};

// Looks at a request head before Qt's parser does: the request line must be a GET of an
// origin-form target without traversal or control characters, the head must end within the
// bounds, and no body may follow (no Content-Length but 0, no Transfer-Encoding).
HeadVerdict CheckRequestHead(std::string_view received, const RequestBounds& bounds = {});

// True when a request target's path (percent-decoded, any query left off) could reach outside
// the fixed routes: "..", "\\", "//", a NUL or other control character, an encoded slash.
bool IsHostilePath(std::string_view target);

}  // namespace vantorel::line
