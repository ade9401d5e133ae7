#include "line/request_guard.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <optional>

namespace vantorel::line {

namespace {

HeadVerdict Refuse(int status, std::string code, std::string detail) {
    return {HeadVerdict::Kind::Refuse, status, std::move(code), std::move(detail), 0};
}

bool EqualsIgnoringCase(std::string_view left, std::string_view right) {
    return left.size() == right.size() &&
           std::equal(left.begin(), left.end(), right.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

bool IsTokenChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) ||
           std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

// The request line's checks; nothing when it is a GET the routes may serve.
std::optional<HeadVerdict> CheckRequestLine(std::string_view line, const RequestBounds& bounds) {
    const size_t firstSpace = line.find(' ');
    const size_t lastSpace = line.rfind(' ');
    if (firstSpace == std::string_view::npos || firstSpace == lastSpace) {
        return Refuse(400, "bad_request_line", "the request line is not METHOD TARGET VERSION");
    }
    const std::string_view method = line.substr(0, firstSpace);
    const std::string_view target = line.substr(firstSpace + 1, lastSpace - firstSpace - 1);
    const std::string_view version = line.substr(lastSpace + 1);
    if (version != "HTTP/1.1" && version != "HTTP/1.0") {
        return Refuse(505, "bad_version", "only HTTP/1.0 and HTTP/1.1 are served");
    }
    if (target.size() > bounds.mostTargetBytes) {
        return Refuse(414, "target_too_long", "the request target is too long");
    }
    if (method != "GET") {
        return Refuse(405, "method_not_allowed", "the station's interface is read-only: GET only");
    }
    const bool bVisible =
        std::all_of(target.begin(), target.end(), [](char c) { return c > 0x20 && c < 0x7F; });
    if (target.empty() || target.front() != '/' || !bVisible || IsHostilePath(target)) {
        return Refuse(400, "bad_path", "the path is not one the station serves");
    }
    return std::nullopt;
}

}  // namespace

bool IsHostilePath(std::string_view target) {
    const std::string_view path = target.substr(0, target.find('?'));
    std::string decoded;
    for (size_t at = 0; at < path.size(); ++at) {
        char c = path[at];
        if (c == '%') {
            const int high = at + 2 < path.size() ? HexValue(path[at + 1]) : -1;
            const int low = high >= 0 ? HexValue(path[at + 2]) : -1;
            if (low < 0) {
                return true;  // a broken escape
            }
            c = static_cast<char>(high * 16 + low);
            at += 2;
            if (c == '/' || c == '%') {
                return true;  // an encoded separator or a double encoding
            }
        }
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F || c == '\\') {
            return true;
        }
        decoded.push_back(c);
    }
    return decoded.find("..") != std::string::npos || decoded.find("//") != std::string::npos;
}

HeadVerdict CheckRequestHead(std::string_view received, const RequestBounds& bounds) {
    const size_t lineEnd = received.find("\r\n");
    if (lineEnd == std::string_view::npos) {
        if (received.size() > bounds.mostTargetBytes + 32) {
            return Refuse(414, "target_too_long", "the request line is too long");
        }
        return {};
    }
    if (auto refused = CheckRequestLine(received.substr(0, lineEnd), bounds)) {
        return *refused;
    }
    const size_t headEnd = received.find("\r\n\r\n");
    const size_t headBytes = headEnd == std::string_view::npos ? received.size() : headEnd + 4;
    if (headBytes > bounds.mostHeadBytes) {
        return Refuse(431, "head_too_large", "the request's headers are too large");
    }
    // Every complete header line with its CRLF.
    std::string_view fields =
        received.substr(lineEnd + 2, headEnd == std::string_view::npos ? std::string_view::npos
                                                                       : headEnd - lineEnd);
    size_t lines = 0;
    while (!fields.empty()) {
        const size_t end = fields.find("\r\n");
        if (end == std::string_view::npos && headEnd == std::string_view::npos) {
            break;  // the last line is still arriving
        }
        const std::string_view field = fields.substr(0, end);
        fields = end == std::string_view::npos ? std::string_view() : fields.substr(end + 2);
        if (field.empty()) {
            continue;
        }
        if (++lines > bounds.mostHeaderLines) {
            return Refuse(431, "too_many_headers", "the request has too many header lines");
        }
        const size_t colon = field.find(':');
        if (colon == std::string_view::npos || colon == 0 || field.front() == ' ' ||
            field.front() == '\t') {
            return Refuse(400, "bad_header", "a header line is not NAME: VALUE");
        }
        const std::string_view name = field.substr(0, colon);
        const std::string_view value = Trimmed(field.substr(colon + 1));
        // What HTTP allows, so Qt's parser never meets a head it refuses.
        if (!std::all_of(name.begin(), name.end(), IsTokenChar) ||
            std::any_of(value.begin(), value.end(), [](char c) {
                const auto byte = static_cast<unsigned char>(c);
                return (byte < 0x20 && c != '\t') || byte == 0x7F;
            })) {
            return Refuse(400, "bad_header",
                          "a header's name or value holds a character HTTP does not allow");
        }
        if (EqualsIgnoringCase(name, "Transfer-Encoding")) {
            return Refuse(413, "body_not_accepted", "the station's requests carry no body");
        }
        if (EqualsIgnoringCase(name, "Content-Length")) {
            uint64_t length = 0;
            const auto [end, error] =
                std::from_chars(value.data(), value.data() + value.size(), length);
            if (error != std::errc() || end != value.data() + value.size()) {
                return Refuse(400, "bad_header", "Content-Length is not a number");
            }
            if (length != 0) {
                return Refuse(413, "body_not_accepted", "the station's requests carry no body");
            }
        }
    }
    if (headEnd == std::string_view::npos) {
        return {};
    }
    return {HeadVerdict::Kind::Accept, 0, {}, {}, headBytes};
}

}  // namespace vantorel::line
