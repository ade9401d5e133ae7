#include "tools/usb_vm/record_files.h"

#include <fstream>
#include <iterator>
#include <sstream>

#include "emulator/record_summary.h"

namespace vantorel::usb_vm {

namespace {

namespace fs = std::filesystem;

bool WriteFile(const fs::path& path, const uint8_t* data, size_t length, std::string& error) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(length));
    file.close();
    if (!file) {
        error = "cannot write " + path.string();
        return false;
    }
    return true;
}

bool WriteText(const fs::path& path, const std::string& text, std::string& error) {
    return WriteFile(path, reinterpret_cast<const uint8_t*>(text.data()), text.size(), error);
}

fs::path ImagePath(const fs::path& handsetDir, RecordImage image) {
    return handsetDir / (std::string(RecordImageName(image)) + ".bin");
}

}  // namespace

const char* RecordImageName(RecordImage image) {
    switch (image) {
        case RecordImage::Eboot:
            return "eboot";
        case RecordImage::Pda:
            return "pda";
        case RecordImage::Csc:
            return "csc";
        case RecordImage::LangPack:
            return "langpack";
        case RecordImage::Phone:
            return "phone";
    }
    return "?";
}

bool WriteRecordFiles(const fs::path& dir, const std::string& name,
                      const emulator::FlashRecord& record, std::string& error) {
    // Written aside and swapped in, so that no reader sees half of one dump and half of the
    // one before.
    const fs::path target = dir / name;
    const fs::path staging = dir / (name + ".new");
    std::error_code code;
    fs::remove_all(staging, code);
    if (!fs::create_directories(staging, code)) {
        error = "cannot create " + staging.string() + ": " + code.message();
        return false;
    }
    if (!WriteText(staging / "summary.txt", emulator::SummarizeRecord(record), error)) {
        return false;
    }
    const auto put = [&](RecordImage image, const std::vector<uint8_t>& bytes) {
        return WriteFile(ImagePath(staging, image), bytes.data(), bytes.size(), error);
    };
    if (record.eboot && !put(RecordImage::Eboot, record.eboot->bytes)) {
        return false;
    }
    if (const auto pda = record.PdaImage(); pda && !put(RecordImage::Pda, *pda)) {
        return false;
    }
    if (record.csc && !put(RecordImage::Csc, record.csc->bytes)) {
        return false;
    }
    if (record.langPack && !put(RecordImage::LangPack, record.langPack->bytes)) {
        return false;
    }
    if (record.phone && !put(RecordImage::Phone, record.phone->bytes)) {
        return false;
    }
    fs::remove_all(target, code);
    fs::rename(staging, target, code);
    if (code) {
        error = "cannot move " + staging.string() + " into place: " + code.message();
        return false;
    }
    return true;
}

bool WriteDumpCount(const fs::path& dir, uint64_t count, std::string& error) {
    const fs::path staging = dir / "dumps.new";
    if (!WriteText(staging, std::to_string(count) + "\n", error)) {
        return false;
    }
    std::error_code code;
    fs::rename(staging, dir / "dumps", code);
    if (code) {
        error = "cannot move " + staging.string() + " into place: " + code.message();
        return false;
    }
    return true;
}

uint64_t ReadDumpCount(const fs::path& dir) {
    std::ifstream file(dir / "dumps");
    uint64_t count = 0;
    file >> count;
    return file ? count : 0;
}

std::optional<std::vector<uint8_t>> ReadRecordImage(const fs::path& dir, const std::string& name,
                                                    RecordImage image) {
    std::ifstream file(ImagePath(dir / name, image), std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file),
                                std::istreambuf_iterator<char>());
}

std::string ReadRecordSummary(const fs::path& dir, const std::string& name) {
    std::ifstream file(dir / name / "summary.txt");
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::optional<emulator::FlashRecord> ReadFlashedImages(const fs::path& dir,
                                                       const std::string& name) {
    std::error_code code;
    if (!fs::is_directory(dir / name, code)) {
        return std::nullopt;
    }
    const auto image = [&](RecordImage kind) -> std::optional<emulator::FlashedImage> {
        auto bytes = ReadRecordImage(dir, name, kind);
        if (!bytes) {
            return std::nullopt;
        }
        emulator::FlashedImage flashed;
        flashed.length = bytes->size();
        flashed.bytes = std::move(*bytes);
        return flashed;
    };
    emulator::FlashRecord record;
    record.eboot = image(RecordImage::Eboot);
    record.csc = image(RecordImage::Csc);
    record.langPack = image(RecordImage::LangPack);
    record.phone = image(RecordImage::Phone);
    if (auto pda = image(RecordImage::Pda)) {
        emulator::PdaTurnRecord turn;
        turn.length = static_cast<uint32_t>(pda->length);
        turn.image = std::move(*pda);
        record.pdaTurns.push_back(std::move(turn));
    }
    return record;
}

}  // namespace vantorel::usb_vm
