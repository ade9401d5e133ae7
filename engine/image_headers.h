#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "engine/image_file.h"

namespace vantorel::engine {

inline constexpr size_t kPdaHeaderSize = 20;
inline constexpr size_t kCscHeaderSize = 128;
inline constexpr size_t kLangPackHeaderSize = 228;

struct PdaHeader {
    uint32_t size;       // the image's size without the header
    uint32_t lastCheck;  // check word of the last turn
};

// Each reads its header at the file's position and checks both markers; nullopt when the
// file is short or a marker is wrong.
std::optional<PdaHeader> ReadPdaHeader(ImageFile& file);
bool ReadCscHeader(ImageFile& file);
// The check word sent with command 1006.
std::optional<uint32_t> ReadLangPackHeader(ImageFile& file);

}  // namespace vantorel::engine
