#include "tests/bench/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string_view>
#include <thread>

extern char** environ;

namespace vantorel::bench::test {

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const std::vector<std::string>& extraEnv, const std::string& stdoutPath,
                           const std::string& stderrPath) {
    std::vector<std::string> argStrings{program};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& arg : argStrings) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);

    // The extra entries replace inherited ones of the same name: getenv takes the first.
    const auto overridden = [&](std::string_view entry) {
        const std::string_view name = entry.substr(0, entry.find('='));
        return std::any_of(extraEnv.begin(), extraEnv.end(), [&](const std::string& extra) {
            return extra.size() > name.size() && extra.compare(0, name.size(), name) == 0 &&
                   extra[name.size()] == '=';
        });
    };
    std::vector<std::string> envStrings;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (!overridden(*entry)) {
            envStrings.emplace_back(*entry);
        }
    }
    envStrings.insert(envStrings.end(), extraEnv.begin(), extraEnv.end());
    std::vector<char*> envp;
    for (auto& entry : envStrings) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, stdoutPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, stderrPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (::posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) {
        m_pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
}

ChildProcess::~ChildProcess() {
    Terminate();
}

int ChildProcess::Wait(std::chrono::milliseconds bound) {
    if (m_pid <= 0) {
        return -1;
    }
    const auto deadline = std::chrono::steady_clock::now() + bound;
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(m_pid, &status, WNOHANG);
        if (done == m_pid) {
            m_pid = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (done < 0 || std::chrono::steady_clock::now() > deadline) {
            Terminate();
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

bool ChildProcess::HasEnded() {
    int status = 0;
    if (m_pid > 0 && ::waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_pid = -1;
    }
    return m_pid <= 0;
}

void ChildProcess::Interrupt() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
    }
}

void ChildProcess::Terminate() {
    if (m_pid <= 0) {
        return;
    }
    ::kill(m_pid, SIGKILL);
    int status = 0;
    ::waitpid(m_pid, &status, 0);
    m_pid = -1;
}

std::string ReadText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::vector<std::string>& extraEnv, const std::string& scratchDir,
                     std::chrono::milliseconds bound) {
    const std::string outPath = scratchDir + "/run.out";
    const std::string errPath = scratchDir + "/run.err";
    RunResult result;
    {
        ChildProcess child(program, args, extraEnv, outPath, errPath);
        result.exitCode = child.Wait(bound);
    }
    result.out = ReadText(outPath);
    result.err = ReadText(errPath);
    return result;
}

}  // namespace vantorel::bench::test
