#include "images/language_tables.h"

#include <array>

namespace vantorel::images {

namespace {

constexpr std::array<std::string_view, kLanguageCount> kNames = {
    "Chinese(China)",       "Chinese(Taiwan)",   "Czech(Czech Rep.)", "Danish(Denmark)",
    "Dutch(Netherlands)",   "English(USA)",      "Finnish(Finland)",  "French(France)",
    "German(Germany)",      "Greek(Greece)",     "Italian(Italy)",    "Japanese(Japan)",
    "Korean(Korea)",        "Norwegian(Norway)", "Polish(Poland)",    "Portuguese(Brazil)",
    "Portuguese(Portugal)", "Russian(Russia)",   "Spanish(Spain)",    "Swedish(Sweden)",
    "User Select",
};

constexpr std::array<std::string_view, kLanguageCount> kCodes = {
    "0804", "0404", "0405", "0406", "0413", "0409", "040B", "040C", "0407", "0408", "0410",
    "0411", "0412", "0414", "0415", "0416", "0816", "0419", "0C0A", "041D", "0000",
};

constexpr std::array<std::string_view, 2> kFixedCodes = {"041F", "0C01"};

bool InTable(int32_t index) {
    return index >= 0 && index < kLanguageCount;
}

}  // namespace

std::string_view LanguageName(int32_t index) {
    return InTable(index) ? kNames[static_cast<size_t>(index)] : std::string_view{};
}

std::string_view LanguageCode(int32_t index) {
    return kCodes[static_cast<size_t>(InTable(index) ? index : kUserSelectLanguage)];
}

int32_t LanguageIndexOfCode(std::string_view code) {
    for (int32_t i = 0; i < kLanguageCount; ++i) {
        if (kCodes[static_cast<size_t>(i)] == code) {
            return i;
        }
    }
    return kNoLanguage;
}

bool IsFixedLanguageCode(std::string_view code) {
    if (code.size() < 4) {
        return false;
    }
    for (const auto fixed : kFixedCodes) {
        if (code.substr(0, 4) == fixed) {
            return true;
        }
    }
    return false;
}

}  // namespace vantorel::images
