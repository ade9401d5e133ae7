#include "engine/image_headers.h"

#include <array>

#include "engine/boot_loader_protocol.h"

namespace vantorel::engine {

namespace {

template <size_t N>
std::optional<std::array<uint8_t, N>> ReadBlock(ImageFile& file) {
    std::array<uint8_t, N> block{};
    if (file.Read(block.data(), N) != N) {
        return std::nullopt;
    }
    return block;
}

}  // namespace

std::optional<PdaHeader> ReadPdaHeader(ImageFile& file) {
    const auto header = ReadBlock<kPdaHeaderSize>(file);
    if (!header || LoadLe32(header->data()) != 0x55555555u ||
        LoadLe32(header->data() + 16) != 0xEEEEEEEEu) {
        return std::nullopt;
    }
    return PdaHeader{LoadLe32(header->data() + 4), LoadLe32(header->data() + 12)};
}

bool ReadCscHeader(ImageFile& file) {
    const auto header = ReadBlock<kCscHeaderSize>(file);
    return header && LoadLe32(header->data()) == 0xCCCCCCCCu &&
           LoadLe32(header->data() + 124) == 0xEEEEEEEEu;
}

std::optional<uint32_t> ReadLangPackHeader(ImageFile& file) {
    const auto header = ReadBlock<kLangPackHeaderSize>(file);
    if (!header || LoadLe32(header->data()) != 0x55557777u ||
        LoadLe32(header->data() + 224) != 0xEEEE7777u) {
        return std::nullopt;
    }
    return LoadLe32(header->data() + 4);
}

}  // namespace vantorel::engine
