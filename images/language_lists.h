#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "images/combo_model.h"
#include "images/lang_pack.h"

namespace vantorel::images {

// The pack's list has room for a full pack of 21 languages and the "User Select" entry
// behind them; the CSC's list for 20 languages and "User Select".
inline constexpr size_t kPackLangEntries = kMaxPackLanguages + 1;
inline constexpr size_t kCscLangEntries = 21;

// The language that the worker sends: an index into the pack's list (21 for "User Select")
// and its four-character code.
struct LanguageChoice {
    int32_t index = 21;
    std::string code = "0000";
    bool operator==(const LanguageChoice&) const = default;
};

// The first index in 0..20 of `list` whose entry equals `value`; 21 when none does.
int32_t FindLanguagePosition(std::span<const int32_t> list, int32_t value);

// The two language lists, the accepted language-pack header and the language drop-down.
// Entries are indices into the language tables; -1 is an unused entry.
class LanguageLists {
public:
    LanguageLists();

    // Takes `header` as the accepted pack header and fills the pack's list from its codes
    // (ReadPackLanguages); an unknown code becomes 21.
    void AcceptPack(const LangPackHeader& header);
    // Puts the pack's languages and "User Select" into the drop-down and selects the latter.
    // The drop-down is emptied first, so the selection always counts within the pack's list,
    // and a CSC list it showed before no longer maps the pick.
    void ShowPackLanguages();
    // Empties the drop-down (and so drops a CSC list it showed); unless `keep`, turns the
    // pack's languages into "User Select".
    void ResetLanguages(bool keep);
    // Offers a CSC image's language list (or, without one, the pack's list) and selects the
    // language that entry `def` of the pack's list names.
    void ShowCscLanguages(uint32_t def, const std::vector<int32_t>& cscList);
    // The operator's pick in the drop-down.
    void SelectLanguage(int item) { m_combo.Select(item); }
    // The language the current pick stands for; anything that names no language of the
    // table (nothing picked, an unknown code, a lookup that found nothing) is "User Select".
    LanguageChoice GetLanguageChoice() const;

    const ComboModel& Combo() const { return m_combo; }
    const std::array<int32_t, kPackLangEntries>& PackLanguages() const { return m_aPackLang; }
    const std::array<int32_t, kCscLangEntries>& CscLanguages() const { return m_aCscLang; }
    const std::optional<LangPackHeader>& PackHeader() const { return m_langHeader; }

private:
    size_t PackCount() const { return m_langHeader ? m_langHeader->codes.size() : 0; }

    // Empties the drop-down and the CSC list: the pick is then mapped through the list the
    // drop-down shows next, never through one it showed before.
    void ClearShown();

    std::array<int32_t, kPackLangEntries> m_aPackLang;
    // The CSC list the drop-down shows; entry 0 is -1 while it shows anything else.
    std::array<int32_t, kCscLangEntries> m_aCscLang;
    std::optional<LangPackHeader> m_langHeader;
    ComboModel m_combo;
};

}  // namespace vantorel::images
