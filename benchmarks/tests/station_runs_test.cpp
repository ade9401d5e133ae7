#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "benchmarks/bench_files.h"
#include "benchmarks/station_runs.h"
#include "emulator/flash_digest.h"
#include "engine/byte_sum.h"
#include "engine/image_file.h"
#include "images/byte_source.h"
#include "images/pda_image.h"

namespace vantorel::benchmarks {
namespace {

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

TEST(BenchFilesTest, SparseApplicationImageHasAValidHeaderAndItsLength) {
    ScratchDir dir;
    const std::string path = dir / "pda.nb0";
    ASSERT_TRUE(WriteSparsePdaImage(path, 5000000, 0x1234));
    EXPECT_EQ(std::filesystem::file_size(path), 5000000u + images::kPdaHeaderSize);
    images::ReadOnlyFile file;
    ASSERT_TRUE(file.Open(path));
    uint8_t bytes[images::kPdaHeaderSize];
    ASSERT_TRUE(file.ReadAt(0, bytes, sizeof bytes));
    const auto header = images::ParsePdaHeader(bytes);
    ASSERT_TRUE(header);
    EXPECT_EQ(header.value.dwImageSize, 5000000u);
    EXPECT_EQ(header.value.dwLastTurnCheck, 0x1234u);
}

// Packets of the pattern differ from each other, so a payload sent twice or out of order
// changes what the handset flashes.
TEST(BenchFilesTest, PatternFileHasItsLengthAndNoRepeatedPackets) {
    ScratchDir dir;
    const std::string path = dir / "pattern.bin";
    ASSERT_TRUE(WritePatternFile(path, 3 * 1048576 + 17, 9));
    const auto bytes = ReadAll(path);
    ASSERT_EQ(bytes.size(), 3u * 1048576 + 17);
    const uint8_t* first = bytes.data();
    for (size_t at = 2032; at + 2032 <= bytes.size(); at += 2032 * 97) {
        EXPECT_NE(std::memcmp(first, bytes.data() + at, 2032), 0) << at;
    }
}

class StationRunsTest : public ::testing::Test {
protected:
    static emulator::HandsetConfig Handset() {
        emulator::HandsetConfig config;
        config.recordMode = emulator::RecordMode::Digest;
        return config;
    }
    ScratchDir dir;
};

// The figure runs drive the real DownloadToRam: every slot's handset receives the file's
// bytes, and each slot's worker is measured.
TEST_F(StationRunsTest, RamTransfersReachEveryHandset) {
    const std::string image = dir / "image.bin";
    const uint32_t length = 300 * 2032 + 77;
    ASSERT_TRUE(WritePatternFile(image, length, 3));
    HandsetRig rig(LinkKind::Bus, 3, Handset(), dir.Path().string());
    StationLinks links(LinkKind::Bus, &rig.Bus(), rig.DevicePaths());
    ASSERT_TRUE(rig.PlugAll());
    ASSERT_TRUE(links.AttachAll());

    const auto runs = RunRamTransfers(links, image, length);
    ASSERT_EQ(runs.size(), 3u);
    for (const SlotRun& run : runs) {
        EXPECT_TRUE(run.ok);
        EXPECT_EQ(run.bytes, length);
        EXPECT_GT(run.cpuSeconds, 0.0);
        EXPECT_GE(run.wallSeconds, run.cpuSeconds * 0.5);
    }
    for (int slot = 0; slot < 3; ++slot) {
        EXPECT_EQ(rig.Handset(slot).Record().dataPackets, 301u);
    }
}

// A whole run of the application and modem images ends with status 518 on every slot, and
// each handset flashed exactly the files.
TEST_F(StationRunsTest, WholeDownloadsFlashBothImagesOnEverySlot) {
    const std::string pda = dir / "pda.nb0";
    const std::string phone = dir / "modem.bin";
    ASSERT_TRUE(WriteSparsePdaImage(pda, 2 * 1048576 + 5, 0x77));
    ASSERT_TRUE(WritePatternFile(phone, 1048576 + 3, 4));
    HandsetRig rig(LinkKind::Bus, 2, Handset(), dir.Path().string());
    StationLinks links(LinkKind::Bus, &rig.Bus(), rig.DevicePaths());
    ASSERT_TRUE(rig.PlugAll());
    ASSERT_TRUE(links.AttachAll());

    BenchHost host;
    const auto runs = RunWholeDownloads(links, PdaAndPhoneImages(pda, phone), host);
    ASSERT_EQ(runs.size(), 2u);
    const auto phoneBytes = ReadAll(phone);
    for (int slot = 0; slot < 2; ++slot) {
        EXPECT_TRUE(runs[slot].ok) << slot;
        EXPECT_EQ(runs[slot].bytes, 2u * 1048576 + 5 + 1048576 + 3);
        ASSERT_TRUE(rig.Handset(slot).WaitUntilLeft(std::chrono::seconds(10)));
        const emulator::FlashRecord record = rig.Handset(slot).Record();
        EXPECT_TRUE(record.launched);
        ASSERT_TRUE(record.phone.has_value());
        EXPECT_TRUE(record.phone->Matches(phoneBytes));
        EXPECT_TRUE(record.PdaMatches(std::vector<uint8_t>(2 * 1048576 + 5, 0)));
        EXPECT_TRUE(host.Finished(slot));
        EXPECT_EQ(host.Failure(slot), 0u);
    }
    // Progress goes out only when its percentage changes: a few hundred notifications for
    // two slots, not one per packet.
    EXPECT_GT(host.Notifications(), 2u * 4);
    EXPECT_LT(host.Notifications(), 2u * 600);
}

}  // namespace
}  // namespace vantorel::benchmarks
