#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "emulator/flash_record.h"

namespace vantorel::usb_vm {

// How the gadget program hands its handsets' records to a checker in another process:
//   DIR/NAME/summary.txt   the record as SummarizeRecord prints it
//   DIR/NAME/IMAGE.bin     the bytes of each flashed image (eboot, pda, csc, langpack, phone)
//   DIR/dumps              how many complete dumps were written so far, written last
enum class RecordImage { Eboot, Pda, Csc, LangPack, Phone };

// Replaces DIR/NAME with the record's files; false with a message.
bool WriteRecordFiles(const std::filesystem::path& dir, const std::string& name,
                      const emulator::FlashRecord& record, std::string& error);
bool WriteDumpCount(const std::filesystem::path& dir, uint64_t count, std::string& error);

// 0 when no dump was written yet.
uint64_t ReadDumpCount(const std::filesystem::path& dir);
// The bytes of one flashed image; nothing when the handset did not flash it.
std::optional<std::vector<uint8_t>> ReadRecordImage(const std::filesystem::path& dir,
                                                    const std::string& name, RecordImage image);
std::string ReadRecordSummary(const std::filesystem::path& dir, const std::string& name);
// The flashed images of DIR/NAME as a record that holds their bytes (the PDA image as one
// turn at position 0); nullopt when no dump of NAME exists.
std::optional<emulator::FlashRecord> ReadFlashedImages(const std::filesystem::path& dir,
                                                       const std::string& name);

const char* RecordImageName(RecordImage image);

}  // namespace vantorel::usb_vm
