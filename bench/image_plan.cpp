#include "bench/image_plan.h"

#include <algorithm>

#include "bench/sample_directory.h"

namespace vantorel::bench {

namespace {

void Choose(std::vector<emulator::ChosenImage>& chosen, images::ImageKind kind,
            const std::string& path) {
    const auto same =
        std::find_if(chosen.begin(), chosen.end(),
                     [kind](const emulator::ChosenImage& image) { return image.kind == kind; });
    if (same != chosen.end()) {
        same->path = path;
    } else {
        chosen.push_back({kind, path});
    }
}

bool ChooseSampleSet(const std::string& directory, std::vector<emulator::ChosenImage>& chosen,
                     std::string& error) {
    if (!EnsureSampleSet(directory, error)) {
        return false;
    }
    Choose(chosen, images::IMG_EBOOT, SampleEbootPath(directory));
    Choose(chosen, images::IMG_PDA, SamplePdaPath(directory));
    return true;
}

}  // namespace

bool PlanImages(const BenchArguments& args, const std::string& sampleDirectory,
                bool bSampleWhenNone, std::vector<emulator::ChosenImage>& chosen,
                std::string& error) {
    chosen.clear();
    if (args.imagesDirectory && !ChooseSampleSet(*args.imagesDirectory, chosen, error)) {
        return false;
    }
    for (const auto& [kind, path] : args.imageFiles) {
        Choose(chosen, kind, path);
    }
    if (chosen.empty() && bSampleWhenNone) {
        return ChooseSampleSet(sampleDirectory, chosen, error);
    }
    return true;
}

}  // namespace vantorel::bench
