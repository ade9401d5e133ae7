#include "console/program_start.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <string_view>

namespace vantorel::console {

namespace {

bool IsSet(const char* value) {
    return value != nullptr && value[0] != '\0';
}

// The platform plugin QT_QPA_PLATFORM names, without its options after a colon; empty when
// unset.
std::string_view PlatformName(const DisplayEnvironment& environment) {
    if (!IsSet(environment.qpaPlatform)) {
        return {};
    }
    const std::string_view platform(environment.qpaPlatform);
    return platform.substr(0, platform.find(':'));
}

}  // namespace

const char* ProgramVersion() {
    return VANTOREL_VERSION;
}

DisplayEnvironment CurrentDisplayEnvironment() {
    return {std::getenv("QT_QPA_PLATFORM"), std::getenv("DISPLAY"), std::getenv("WAYLAND_DISPLAY")};
}

std::optional<std::string> MissingDisplayReason(const DisplayEnvironment& environment) {
    if (IsSet(environment.qpaPlatform)) {
        // "xcb" and "wayland" (with their options after a colon) need a display server; every
        // other platform plugin (offscreen, vnc, eglfs, ...) brings its own screen.
        const std::string_view name = PlatformName(environment);
        if (name == "xcb") {
            return IsSet(environment.x11Display)
                       ? std::nullopt
                       : std::optional<std::string>("no display: DISPLAY is not set");
        }
        if (name.starts_with("wayland")) {
            return IsSet(environment.waylandDisplay)
                       ? std::nullopt
                       : std::optional<std::string>("no display: WAYLAND_DISPLAY is not set");
        }
        return std::nullopt;
    }
    if (IsSet(environment.x11Display) || IsSet(environment.waylandDisplay)) {
        return std::nullopt;
    }
    return "no display: neither DISPLAY nor WAYLAND_DISPLAY is set";
}

bool XDisplayAnswers(const char* name, std::string& why) {
    xcb_connection_t* const connection = xcb_connect(name, nullptr);
    const int error = xcb_connection_has_error(connection);
    xcb_disconnect(connection);  // also for a connection in error, as xcb asks
    if (error == 0) {
        return true;
    }
    why = error == XCB_CONN_CLOSED_PARSE_ERR ? "its name cannot be read"
          : error == XCB_CONN_CLOSED_EXT_NOTSUPPORTED || error == XCB_CONN_ERROR
              ? "no X server answers there"
              : "the X server refused the connection";
    return false;
}

std::optional<std::string> DisplayProblem(const DisplayEnvironment& environment) {
    if (auto missing = MissingDisplayReason(environment)) {
        return missing;
    }
    const std::string_view platform = PlatformName(environment);
    const bool bX11 = platform.empty() ? !IsSet(environment.waylandDisplay) : platform == "xcb";
    std::string why;
    if (bX11 && !XDisplayAnswers(environment.x11Display, why)) {
        return "cannot open display " + std::string(environment.x11Display) + " (" + why + ")";
    }
    return std::nullopt;
}

}  // namespace vantorel::console
