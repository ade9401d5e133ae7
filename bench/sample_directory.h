#pragma once

#include <string>

namespace vantorel::bench {

// Where the bench keeps its sample image set: $XDG_DATA_HOME/vantorel/sample-images, else
// ~/.local/share/vantorel/sample-images (base/xdg_folders.h); empty when there is no home.
std::string DefaultSampleDirectory();

// Writes the synthetic sample set into `directory` unless a complete one is there already (an
// interrupted write is redone). The set goes only into a folder of its own: a new one, an
// empty one, or one its marker says the bench wrote the set into before; a folder holding
// anything else is refused and nothing in it is touched. Each file is written aside and
// renamed into place, so a link planted in the folder is replaced, never written through.
// False, with the reason, when the set cannot or may not be written there.
bool EnsureSampleSet(const std::string& directory, std::string& error);

// The files of the set that the bench chooses for a run: EBoot and PDA.
std::string SampleEbootPath(const std::string& directory);
std::string SamplePdaPath(const std::string& directory);

}  // namespace vantorel::bench
