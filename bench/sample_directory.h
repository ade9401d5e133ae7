#pragma once

#include <string>

namespace vantorel::bench {

// Where the bench keeps its sample image set: $XDG_DATA_HOME/vantorel/sample-images, else
// ~/.local/share/vantorel/sample-images.
std::string DefaultSampleDirectory();

// Writes the synthetic sample set into `directory` unless a complete one is there already
// (an interrupted write is redone). False, with the reason, when it cannot be written.
bool EnsureSampleSet(const std::string& directory, std::string& error);

// The files of the set that the bench chooses for a run: EBoot and PDA.
std::string SampleEbootPath(const std::string& directory);
std::string SamplePdaPath(const std::string& directory);

}  // namespace vantorel::bench
