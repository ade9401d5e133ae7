#pragma once

#include <filesystem>

namespace vantorel::test {

// Points HOME and the XDG folders (config, data, state, cache, runtime) at a fresh folder of
// this test program's own, so nothing a test runs (Qt's settings, the station's settings,
// records and caches, child processes) reads or writes the real home. Called first thing in
// main(): test discovery runs the program too, outside ctest's environment. The folder is
// removed when the program exits. Returns it.
std::filesystem::path UseScratchHome();

}  // namespace vantorel::test
