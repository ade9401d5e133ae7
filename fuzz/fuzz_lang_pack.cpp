// The language-pack reader, and the language lists filled from what it accepts.
#include "images/lang_pack.h"
#include "images/language_lists.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vantorel::images;
    const MemorySource source({data, size});
    const auto pack = ReadLangPackHeader(source, 0);
    if (!pack) {
        return 0;
    }
    if (pack.value.codes.size() > kMaxPackLanguages) {
        __builtin_trap();
    }
    LanguageLists lists;
    lists.AcceptPack(pack.value);
    lists.ShowPackLanguages();
    for (int item = -1; item <= static_cast<int>(lists.Combo().items.size()); ++item) {
        lists.SelectLanguage(item);
        const LanguageChoice choice = lists.GetLanguageChoice();
        if (choice.code.size() != 4 || choice.index < 0 || choice.index > 21) {
            __builtin_trap();
        }
    }
    return 0;
}
