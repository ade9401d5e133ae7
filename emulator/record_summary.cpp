#include "emulator/record_summary.h"

#include <cinttypes>
#include <cstdio>

namespace vantorel::emulator {

namespace {

void AppendImage(std::string& text, const std::string& label, const FlashedImage& image) {
    char line[160];
    std::snprintf(line, sizeof line, " length=%" PRIu64 " sum=%08x sha256=%s\n", image.length,
                  image.byteSum, image.digest.ToHex().c_str());
    text += label;
    text += line;
}

}  // namespace

std::string SummarizeRecord(const FlashRecord& record) {
    char line[256];
    std::snprintf(line, sizeof line,
                  "sessions=%" PRIu64 " greetings=%" PRIu64 " greetings_refused=%" PRIu64
                  " reboots=%" PRIu64 " launched=%d data_packets=%" PRIu64 " commands=%zu\n",
                  record.sessions, record.greetings, record.greetingsRefused, record.reboots,
                  record.launched ? 1 : 0, record.dataPackets, record.commands.size());
    std::string text = line;
    if (record.eboot) {
        AppendImage(text, "eboot", *record.eboot);
    }
    for (const PdaTurnRecord& turn : record.pdaTurns) {
        std::snprintf(line, sizeof line, "pda position=%u check=%08x", turn.position,
                      turn.checkWord);
        AppendImage(text, line, turn.image);
    }
    if (record.csc) {
        AppendImage(text, "csc", *record.csc);
    }
    if (record.langPack) {
        AppendImage(text, "langpack", *record.langPack);
    }
    if (record.phone) {
        AppendImage(text, "phone", *record.phone);
    }
    for (const auto& [block, image] : record.smdBlocks) {
        std::snprintf(line, sizeof line, "smd block=%u", block);
        AppendImage(text, line, image);
    }
    return text;
}

}  // namespace vantorel::emulator
