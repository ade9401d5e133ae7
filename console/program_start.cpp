#include "console/program_start.h"

#include <cstdlib>
#include <string_view>

namespace vantorel::console {

namespace {

bool IsSet(const char* value) {
    return value != nullptr && value[0] != '\0';
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
        const std::string_view platform(environment.qpaPlatform);
        const std::string_view name = platform.substr(0, platform.find(':'));
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

}  // namespace vantorel::console
