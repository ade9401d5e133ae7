#include "host/detached_spawn.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>

#include "link/platform/linux/unique_fd.h"

namespace vantorel::host {

using link::linux_platform::UniqueFd;

namespace {

// argv[0] as an executable path, found through PATH when it names no directory.
std::string ResolveProgram(const std::string& program) {
    if (program.empty() || program.find('/') != std::string::npos) {
        return program;
    }
    const char* path = std::getenv("PATH");
    std::string_view dirs = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    while (!dirs.empty()) {
        const size_t colon = dirs.find(':');
        const std::string_view dir = dirs.substr(0, colon);
        std::string candidate = std::string(dir.empty() ? "." : dir) + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        dirs = colon == std::string_view::npos ? std::string_view{} : dirs.substr(colon + 1);
    }
    return program;
}

// In the forked children only async-signal-safe calls are made.
[[noreturn]] void ExecGrandchild(const char* program, char* const* args, int reportFd) {
    // A session of its own: no controlling terminal to prompt on, no signals of ours.
    static_cast<void>(::setsid());
    const int devNull = ::open("/dev/null", O_RDWR);
    if (devNull >= 0) {
        ::dup2(devNull, STDIN_FILENO);
        ::dup2(devNull, STDOUT_FILENO);
        ::dup2(devNull, STDERR_FILENO);
    }
    ::execv(program, args);
    const int error = errno;
    [[maybe_unused]] const ssize_t written = ::write(reportFd, &error, sizeof error);
    ::_exit(127);
}

}  // namespace

bool SpawnDetached(const std::vector<std::string>& argv) {
    if (argv.empty()) {
        return false;
    }
    const std::string program = ResolveProgram(argv.front());
    std::vector<std::string> owned(argv);
    std::vector<char*> args;
    for (std::string& arg : owned) {
        args.push_back(arg.data());
    }
    args.push_back(nullptr);

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        return false;
    }
    UniqueFd readEnd(fds[0]);
    UniqueFd writeEnd(fds[1]);

    const pid_t child = ::fork();
    if (child < 0) {
        return false;
    }
    if (child == 0) {
        // The intermediate child leaves at once, so the program is reparented and reaped
        // by the system rather than by the station.
        const pid_t grandchild = ::fork();
        if (grandchild == 0) {
            ExecGrandchild(program.c_str(), args.data(), writeEnd.Get());
        }
        ::_exit(grandchild < 0 ? 1 : 0);
    }
    writeEnd.Reset();
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return false;
    }
    // The pipe closes on a successful exec; a failed one writes its errno first.
    int execError = 0;
    ssize_t got;
    do {
        got = ::read(readEnd.Get(), &execError, sizeof execError);
    } while (got < 0 && errno == EINTR);
    return got == 0;
}

}  // namespace vantorel::host
