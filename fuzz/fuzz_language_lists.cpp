// Any sequence of language-list operations, with any codes, lists, defaults and picks.
#include <string>
#include <vector>

#include "images/language_lists.h"
#include "images/language_tables.h"

namespace {

class Input {
public:
    Input(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool Empty() const { return m_position >= m_size; }
    uint8_t Byte() { return Empty() ? 0 : m_data[m_position++]; }
    uint32_t Word() {
        uint32_t word = 0;
        for (int i = 0; i < 4; ++i) {
            word = word << 8 | Byte();
        }
        return word;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_position = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vantorel::images;
    Input input(data, size);
    LanguageLists lists;
    while (!input.Empty()) {
        switch (input.Byte() % 6) {
            case 0: {
                LangPackHeader pack;
                const size_t count = input.Byte() % (kMaxPackLanguages + 1);
                for (size_t i = 0; i < count; ++i) {
                    const uint8_t pick = input.Byte();
                    pack.codes.emplace_back(pick < 32
                                                ? std::string(LanguageCode(pick))
                                                : std::string(pick % 5, static_cast<char>(pick)));
                }
                lists.AcceptPack(pack);
                break;
            }
            case 1:
                lists.ShowPackLanguages();
                break;
            case 2:
                lists.ResetLanguages(input.Byte() & 1);
                break;
            case 3: {
                std::vector<int32_t> list(input.Byte() % 21);
                for (auto& entry : list) {
                    entry = input.Byte();
                }
                lists.ShowCscLanguages(input.Word(), list);
                break;
            }
            case 4:
                lists.SelectLanguage(static_cast<int8_t>(input.Byte()));
                break;
            case 5: {
                const LanguageChoice choice = lists.GetLanguageChoice();
                if (choice.code.size() != 4 || choice.index < 0 || choice.index > 21 ||
                    (choice.index == 21) != (choice.code == "0000")) {
                    __builtin_trap();
                }
                break;
            }
        }
        const ComboModel& combo = lists.Combo();
        if (combo.current < -1 || combo.current >= static_cast<int>(combo.items.size())) {
            __builtin_trap();
        }
    }
    return 0;
}
