#include "tests/faults/fault_images.h"

#include <stdexcept>

#include "engine/boot_loader_protocol.h"
#include "images/pda_image.h"
#include "tests/support/temp_dir.h"

namespace vantorel::faults {

namespace {

uint64_t PacketsFor(uint64_t bytes) {
    return (bytes + engine::kPacketPayloadSize - 1) / engine::kPacketPayloadSize;
}

FaultImages WriteImages() {
    static const test::TempDir directory;
    samples::SampleSizes sizes;
    sizes.dwEboot = 4 * 2032 + 500;
    sizes.dwLargeEboot = 4096;
    sizes.dwPdaImage = 9 * 2032 + 300;
    sizes.dwLangPackData = 2 * 2032 + 700;
    sizes.dwCsc = 2 * 2032 + 900;
    sizes.multiCscBlocks = {1};
    sizes.dwPhone = 4 * 2032 + 100;
    sizes.dwSmd = 4096;
    FaultImages images;
    images.set = samples::WriteSampleSet((directory.Path() / "set").string(), sizes, 11);
    images.chosen = {
        {images::IMG_EBOOT, images.set.eboot}, {images::IMG_PDA, images.set.pda},
        {images::IMG_CSC, images.set.csc},     {images::IMG_LANGPACK, images.set.langPack},
        {images::IMG_PHONE, images.set.phone},
    };
    return images;
}

}  // namespace

const FaultImages& SharedImages() {
    static const FaultImages images = WriteImages();
    return images;
}

PacketPlan::PacketPlan(const engine::DownloadImages& images) {
    const images::ImageInfo& info = images.info;
    const auto add = [&](images::ImageKind kind, bool selected, uint64_t bytes) {
        if (!selected) {
            return;
        }
        m_spans.push_back({kind, m_total, PacketsFor(bytes)});
        m_total += m_spans.back().count;
    };
    // The PDA turns send the image without its header.
    const uint64_t pdaBody = info.dwPdaSize >= images::kPdaHeaderSize && images.bPda
                                 ? info.dwPdaSize - images::kPdaHeaderSize
                                 : 0;
    add(images::IMG_EBOOT, images.bEboot, info.dwEbootSize);
    add(images::IMG_CSC, images.bCsc, info.dwCscSize);
    add(images::IMG_PDA, images.bPda, pdaBody);
    add(images::IMG_LANGPACK, images.bLangPack, info.dwLangSize);
    add(images::IMG_PHONE, images.bPhone, info.dwPhoneSize);
}

const PacketPlan::Span& PacketPlan::Of(images::ImageKind kind) const {
    for (const Span& span : m_spans) {
        if (span.kind == kind) {
            return span;
        }
    }
    throw std::invalid_argument("the image kind is not part of the batch");
}

uint64_t PacketPlan::First(images::ImageKind kind) const {
    return Of(kind).first;
}

uint64_t PacketPlan::Count(images::ImageKind kind) const {
    return Of(kind).count;
}

}  // namespace vantorel::faults
