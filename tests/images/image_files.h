#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "images/csc_file.h"
#include "images/lang_pack.h"
#include "images/pda_image.h"
#include "tests/images/recording_view.h"
#include "tests/support/temp_dir.h"

namespace vantorel::test {

// Small image files for the selection tests.
inline std::vector<uint8_t> PdaBytes(uint32_t imageSize, const std::vector<uint8_t>& behind = {}) {
    auto bytes = images::BuildPdaHeader(imageSize, 0);
    bytes.resize(bytes.size() + imageSize, 0x5A);
    return Concat(bytes, behind);
}

inline std::vector<uint8_t> PackBytes(const std::vector<std::string>& codes, size_t dataSize) {
    auto bytes = images::BuildLangPackHeader(0, codes);
    bytes.resize(bytes.size() + dataSize, 0x77);
    return bytes;
}

inline std::vector<uint8_t> CscBytes(const images::CscImageHeader& header, size_t size) {
    auto bytes = images::BuildCscImageHeader(header);
    bytes.resize(size, 0x33);
    return bytes;
}

inline images::CscImageHeader CscHeader(const std::string& version, const std::string& langCode,
                                        std::vector<int32_t> languages, uint32_t def = 0) {
    images::CscImageHeader header;
    header.dwDefaultLanguage = def;
    header.strVersion = version;
    header.strDefaultLangCode = langCode;
    header.strSalesCode = "XEU";
    header.byPriority = 1;
    header.languages = std::move(languages);
    return header;
}

// A file of `size` bytes that takes no disk space.
inline std::string SparseFile(const TempDir& dir, const std::string& name, uintmax_t size) {
    const std::string path = (dir / name).string();
    dir.WriteFile(name, {});
    std::filesystem::resize_file(path, size);
    return path;
}

}  // namespace vantorel::test
