#include "tools/usb_vm/record_files.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace vantorel::usb_vm {
namespace {

using test::PatternBytes;
using test::TempDir;

emulator::FlashedImage Image(std::vector<uint8_t> bytes) {
    emulator::FlashedImage image;
    image.length = bytes.size();
    image.bytes = std::move(bytes);
    return image;
}

TEST(RecordFiles, EveryFlashedImageComesBackByteForByte) {
    TempDir dir;
    emulator::FlashRecord record;
    record.reboots = 1;
    record.eboot = Image(PatternBytes(5000, 1));
    record.phone = Image(PatternBytes(70000, 2));
    record.csc = Image({});  // flashed, but empty
    // Two PDA turns come back as one image.
    record.pdaTurns.push_back({0, 4096, 0, Image(PatternBytes(4096, 3))});
    record.pdaTurns.push_back({2, 100, 0, Image(PatternBytes(100, 4))});

    std::string error;
    ASSERT_TRUE(WriteRecordFiles(dir.Path(), "h1", record, error)) << error;
    EXPECT_EQ(ReadRecordImage(dir.Path(), "h1", RecordImage::Eboot), record.eboot->bytes);
    EXPECT_EQ(ReadRecordImage(dir.Path(), "h1", RecordImage::Phone), record.phone->bytes);
    EXPECT_EQ(ReadRecordImage(dir.Path(), "h1", RecordImage::Csc), std::vector<uint8_t>{});
    EXPECT_EQ(ReadRecordImage(dir.Path(), "h1", RecordImage::Pda), record.PdaImage());
    EXPECT_FALSE(ReadRecordImage(dir.Path(), "h1", RecordImage::LangPack).has_value());
    EXPECT_FALSE(ReadRecordImage(dir.Path(), "h2", RecordImage::Eboot).has_value());
    EXPECT_NE(ReadRecordSummary(dir.Path(), "h1").find("reboots=1"), std::string::npos);
}

TEST(RecordFiles, ALaterDumpReplacesTheEarlierOneWhole) {
    TempDir dir;
    std::string error;
    emulator::FlashRecord first;
    first.eboot = Image(PatternBytes(300, 1));
    first.csc = Image(PatternBytes(300, 2));
    ASSERT_TRUE(WriteRecordFiles(dir.Path(), "h1", first, error)) << error;
    EXPECT_EQ(ReadDumpCount(dir.Path()), 0u);
    ASSERT_TRUE(WriteDumpCount(dir.Path(), 1, error)) << error;

    emulator::FlashRecord second;
    second.eboot = Image(PatternBytes(200, 5));
    ASSERT_TRUE(WriteRecordFiles(dir.Path(), "h1", second, error)) << error;
    ASSERT_TRUE(WriteDumpCount(dir.Path(), 2, error)) << error;

    EXPECT_EQ(ReadDumpCount(dir.Path()), 2u);
    EXPECT_EQ(ReadRecordImage(dir.Path(), "h1", RecordImage::Eboot), second.eboot->bytes);
    // No image of the earlier dump survives into this one.
    EXPECT_FALSE(ReadRecordImage(dir.Path(), "h1", RecordImage::Csc).has_value());
}

}  // namespace
}  // namespace vantorel::usb_vm
