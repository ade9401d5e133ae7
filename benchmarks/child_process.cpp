#include "benchmarks/child_process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "link/platform/linux/unique_fd.h"

extern char** environ;

namespace vantorel::benchmarks {

std::optional<ChildOutput> RunChildProcess(std::vector<std::string> words) {
    using link::linux_platform::UniqueFd;
    int ends[2];
    if (words.empty() || ::pipe2(ends, O_CLOEXEC) != 0) {
        return std::nullopt;
    }
    UniqueFd readEnd(ends[0]);
    UniqueFd writeEnd(ends[1]);

    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.Get(), STDOUT_FILENO);
    pid_t child = -1;
    const int spawned =
        ::posix_spawn(&child, words.front().c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        return std::nullopt;
    }
    writeEnd.Reset();

    ChildOutput output;
    char buffer[512];
    for (;;) {
        const ssize_t got = ::read(readEnd.Get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        output.text.append(buffer, static_cast<size_t>(got));
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    output.bExitedZero = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return output;
}

}  // namespace vantorel::benchmarks
