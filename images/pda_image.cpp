#include "images/pda_image.h"

#include "images/le_bytes.h"

namespace vantorel::images {

namespace {

PdaReadResult Refuse(FormatError error, bool langPack) {
    PdaReadResult result;
    result.refusal = {error, langPack};
    return result;
}

}  // namespace

Parsed<PdaHeader> ParsePdaHeader(const uint8_t* header) {
    if (LoadLe32(header) != kPdaMagic || LoadLe32(header + 16) != kPdaEndMagic) {
        return Fail<PdaHeader>(FormatError::kBadMagic);
    }
    return Parsed<PdaHeader>{FormatError::kNone, {LoadLe32(header + 4), LoadLe32(header + 12)}};
}

PdaReadResult ReadPdaImage(const ByteSource& source) {
    const uint64_t length = source.Length();
    uint8_t header[kPdaHeaderSize];
    if (length < kPdaHeaderSize) {
        return Refuse(FormatError::kTooShort, false);
    }
    if (!source.ReadAt(0, header, sizeof header)) {
        return Refuse(FormatError::kUnreadable, false);
    }
    PdaReadResult result;
    result.layout.dwImageSize = LoadLe32(header + 4);
    const uint64_t imageEnd = kPdaHeaderSize + uint64_t{result.layout.dwImageSize};
    if (imageEnd > length) {
        return Refuse(FormatError::kLengthPastEnd, false);
    }
    if (imageEnd == length) {
        return result;
    }
    const auto pack = ReadLangPackHeader(source, imageEnd);
    if (!pack) {
        return Refuse(pack.error, true);
    }
    result.layout.pack = pack.value;
    result.layout.packDataSize = length - imageEnd - kLangPackHeaderSize;
    return result;
}

std::vector<uint8_t> BuildPdaHeader(uint32_t imageSize, uint32_t lastTurnCheck) {
    std::vector<uint8_t> header(kPdaHeaderSize, 0);
    StoreLe32(header.data(), kPdaMagic);
    StoreLe32(header.data() + 4, imageSize);
    StoreLe32(header.data() + 12, lastTurnCheck);
    StoreLe32(header.data() + 16, kPdaEndMagic);
    return header;
}

}  // namespace vantorel::images
