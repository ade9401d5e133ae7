#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace vantorel::bench::test {

// A program started with its output going to files, killed if it is still running when the
// object goes (a failed test leaves no process behind).
class ChildProcess {
public:
    // Starts `program` with `args`; the environment is this process's plus `extraEnv`
    // ("NAME=value"). Output goes to `stdoutPath` and `stderrPath`.
    ChildProcess(const std::string& program, const std::vector<std::string>& args,
                 const std::vector<std::string>& extraEnv, const std::string& stdoutPath,
                 const std::string& stderrPath);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return m_pid > 0; }
    // The exit code once it exited within `bound`; -1 when it did not (it is then killed),
    // 128 + signal when a signal ended it.
    int Wait(std::chrono::milliseconds bound);
    // Whether it has ended by now (it is then reaped); never waits.
    bool HasEnded();
    // Asks it to end (SIGTERM).
    void Interrupt();
    void Terminate();

private:
    pid_t m_pid = -1;
};

// What a finished run printed and how it ended.
struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs a program to its end (at most `bound`), output captured.
RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::vector<std::string>& extraEnv, const std::string& scratchDir,
                     std::chrono::milliseconds bound);

std::string ReadText(const std::string& path);

}  // namespace vantorel::bench::test
