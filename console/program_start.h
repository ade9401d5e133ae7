#pragma once

#include <optional>
#include <string>

namespace vantorel::console {

// What the window programs settle before Qt starts: their version, and whether there is a
// display to open a window on at all (Qt aborts the process when there is none).

// The station's version, as the package and the window title carry it.
const char* ProgramVersion();

// The environment variables that decide where Qt opens its windows; null or empty when unset.
struct DisplayEnvironment {
    const char* qpaPlatform = nullptr;     // QT_QPA_PLATFORM
    const char* x11Display = nullptr;      // DISPLAY
    const char* waylandDisplay = nullptr;  // WAYLAND_DISPLAY
};

DisplayEnvironment CurrentDisplayEnvironment();

// Why no window can open, as one line for the operator; nullopt when one can (a display is
// named, or Qt is told to use a platform that needs none, such as offscreen).
std::optional<std::string> MissingDisplayReason(const DisplayEnvironment& environment);

// As MissingDisplayReason, and when the window would open on an X display, whether that
// display answers at all: Qt aborts the process (status 134) when it does not.
std::optional<std::string> DisplayProblem(const DisplayEnvironment& environment);

// Whether the X display `name` accepts a connection; false with the reason otherwise.
bool XDisplayAnswers(const char* name, std::string& why);

}  // namespace vantorel::console
