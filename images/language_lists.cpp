#include "images/language_lists.h"

#include <algorithm>

#include "images/language_tables.h"

namespace vantorel::images {

int32_t FindLanguagePosition(std::span<const int32_t> list, int32_t value) {
    const size_t searched = std::min<size_t>(list.size(), kLanguageCount);
    for (size_t i = 0; i < searched; ++i) {
        if (list[i] == value) {
            return static_cast<int32_t>(i);
        }
    }
    return kNoLanguage;
}

LanguageLists::LanguageLists() {
    m_aPackLang.fill(-1);
    m_aCscLang.fill(-1);
}

void LanguageLists::AcceptPack(const LangPackHeader& header) {
    m_langHeader = header;
    const size_t count = PackCount();
    for (size_t i = 0; i < count; ++i) {
        m_aPackLang[i] = LanguageIndexOfCode(m_langHeader->codes[i]);
    }
    m_aPackLang[count] = kUserSelectLanguage;
}

void LanguageLists::ClearShown() {
    m_aCscLang.fill(-1);
    m_combo.Clear();
}

void LanguageLists::ShowPackLanguages() {
    ClearShown();
    if (!m_langHeader) {
        return;
    }
    const size_t count = PackCount();
    for (size_t i = 0; i <= count; ++i) {
        m_combo.Add(LanguageName(m_aPackLang[i]));
    }
    m_combo.Select(static_cast<long long>(count));
}

void LanguageLists::ResetLanguages(bool keep) {
    if (!keep) {
        for (size_t i = 0; i < PackCount(); ++i) {
            m_aPackLang[i] = kUserSelectLanguage;
        }
    }
    ClearShown();
}

void LanguageLists::ShowCscLanguages(uint32_t def, const std::vector<int32_t>& cscList) {
    ClearShown();
    if (cscList.empty()) {
        ShowPackLanguages();
        m_combo.Select(def);
        return;
    }
    // The reader cuts a list at 20 entries, so "User Select" always fits behind it.
    const size_t count = std::min(cscList.size(), kCscLangEntries - 1);
    for (size_t i = 0; i < count; ++i) {
        m_aCscLang[i] = cscList[i];
        m_combo.Add(LanguageName(cscList[i]));
    }
    m_aCscLang[count] = kUserSelectLanguage;
    m_combo.Add(LanguageName(kUserSelectLanguage));
    if (def < m_aPackLang.size()) {
        m_combo.Select(FindLanguagePosition(m_aCscLang, m_aPackLang[def]));
    }
}

LanguageChoice LanguageLists::GetLanguageChoice() const {
    const int item = m_combo.current;
    int32_t index = kNoLanguage;
    if (m_aCscLang[0] == -1) {
        index = item;
    } else if (item >= 0 && static_cast<size_t>(item) < m_aCscLang.size()) {
        index = FindLanguagePosition(m_aPackLang, m_aCscLang[static_cast<size_t>(item)]);
    }
    if (index < 0 || index >= kLanguageCount) {
        return LanguageChoice{};
    }
    const int32_t language = m_aPackLang[static_cast<size_t>(index)];
    if (language < 0 || language >= kUserSelectLanguage) {
        return LanguageChoice{};
    }
    return LanguageChoice{index, std::string(LanguageCode(language))};
}

}  // namespace vantorel::images
