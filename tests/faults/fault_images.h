#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "emulator/flash_check.h"
#include "engine/download_batch.h"
#include "samples/sample_images.h"

namespace vantorel::faults {

// A consistent image set of every kind a download run sends besides SMD: boot loader, CSC,
// PDA, language pack and modem image. Each is a few data packets long, so that a whole run
// takes milliseconds at a small clock scale, and at least three packets long, so that a
// fault can hit a full packet in the middle of any of them.
struct FaultImages {
    samples::SampleSet set;
    std::vector<emulator::ChosenImage> chosen;  // in the order the browse buttons are pressed
};

// Written once per process into a temporary directory that lives as long as the process.
const FaultImages& SharedImages();

// Where each image's data packets fall in the life-long packet count of a handset that
// runs the whole batch (the order of a boot loader of protocol version 16 or later).
class PacketPlan {
public:
    explicit PacketPlan(const engine::DownloadImages& images);

    uint64_t First(images::ImageKind kind) const;
    uint64_t Count(images::ImageKind kind) const;
    // A full packet in the middle of the image.
    uint64_t Middle(images::ImageKind kind) const { return First(kind) + Count(kind) / 2; }
    uint64_t Total() const { return m_total; }

private:
    struct Span {
        images::ImageKind kind;
        uint64_t first;
        uint64_t count;
    };
    const Span& Of(images::ImageKind kind) const;

    std::vector<Span> m_spans;
    uint64_t m_total = 0;
};

}  // namespace vantorel::faults
