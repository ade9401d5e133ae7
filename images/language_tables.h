#pragma once

#include <cstdint>
#include <string_view>

namespace vantorel::images {

// The languages the station knows, by index: names and four-digit Windows language codes.
inline constexpr int32_t kLanguageCount = 21;
// The last entry: "User Select", code "0000".
inline constexpr int32_t kUserSelectLanguage = 20;
// What a lookup that finds nothing yields: one past the last entry.
inline constexpr int32_t kNoLanguage = 21;

// The name of entry `index`; "" for anything outside the table (an unknown code).
std::string_view LanguageName(int32_t index);
// The code of entry `index`; "0000" (User Select) for anything outside the table, so that a
// language the station cannot name is left for the handset's user to choose.
std::string_view LanguageCode(int32_t index);
// The first entry whose code equals `code` exactly (four characters); kNoLanguage if none.
int32_t LanguageIndexOfCode(std::string_view code);
// Whether the first four characters of `code` are one of the codes that fix a CSC's
// language ("041F", "0C01").
bool IsFixedLanguageCode(std::string_view code);

}  // namespace vantorel::images
