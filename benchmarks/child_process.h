#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vantorel::benchmarks {

// What a child process wrote to its standard output, and whether it exited with 0.
struct ChildOutput {
    std::string text;
    bool bExitedZero = false;
};

// Starts `words[0]` with `words` as its arguments, reads its standard output to the end and
// waits for it; nullopt when it could not be started.
std::optional<ChildOutput> RunChildProcess(std::vector<std::string> words);

}  // namespace vantorel::benchmarks
