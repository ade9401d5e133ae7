#pragma once

#include <string>
#include <vector>

namespace vantorel::host {

// Starts argv[0] (a path, or a name looked up in PATH) with the other entries as its
// arguments, in a session of its own with no terminal, its input and output on /dev/null.
// Returns once the program has been executed (true) or has failed to be (false); never
// waits for the program itself.
bool SpawnDetached(const std::vector<std::string>& argv);

}  // namespace vantorel::host
