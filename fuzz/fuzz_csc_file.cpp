// The single and multi-CSC reader, every entry's header, and the languages a header offers.
#include "fuzz/cyclic_source.h"
#include "images/csc_file.h"
#include "images/language_lists.h"

namespace {

void Exercise(const vantorel::images::ByteSource& source) {
    using namespace vantorel::images;
    const auto csc = ReadCscFile(source);
    if (!csc) {
        return;
    }
    if (csc.value.entries.size() > kMaxCscEntries) {
        __builtin_trap();
    }
    LanguageLists lists;
    lists.AcceptPack(LangPackHeader{0, {"0409", "0407", "0412"}});
    const auto offer = [&lists](const CscImageHeader& header) {
        if (header.languages.size() > kMaxCscLanguages) {
            __builtin_trap();
        }
        lists.ShowCscLanguages(header.dwDefaultLanguage, header.languages);
        for (int item = -1; item <= static_cast<int>(lists.Combo().items.size()); ++item) {
            lists.SelectLanguage(item);
            if (lists.GetLanguageChoice().code.size() != 4) {
                __builtin_trap();
            }
        }
    };
    offer(csc.value.header);
    for (const CscEntry& entry : csc.value.entries) {
        if (uint64_t{entry.dwOffset} + entry.dwSize > source.Length()) {
            __builtin_trap();
        }
        const auto header = ReadCscImageHeader(source, entry.dwOffset, entry.dwSize);
        if (!header) {
            __builtin_trap();  // every listed image was checked to hold its header
        }
        offer(header.value);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Exercise(vantorel::images::MemorySource({data, size}));
    Exercise(vantorel::fuzz::CyclicSource(data, size));
    return 0;
}
