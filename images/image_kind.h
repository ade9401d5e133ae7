#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vantorel::images {

// The kinds an operator chooses one file for, numbered as everywhere in the station.
enum ImageKind : int32_t {
    IMG_EBOOT = 0,
    IMG_PDA = 1,
    IMG_CSC = 2,
    IMG_LANGPACK = 3,
    IMG_PHONE = 4,
    IMG_SMD = 5,
};
inline constexpr int32_t kImageKindCount = 6;

// The open-file dialog's filter for a kind ("Name (*.ext)|*.ext|" pairs).
std::string_view ChoiceFilter(ImageKind kind);
// Whether `path` ends in an extension accepted for `kind`, ignoring case.
bool HasAcceptedExtension(ImageKind kind, std::string_view path);
// The main-log line for a failed choice of `kind` with the result code.
std::string IncorrectFileLine(ImageKind kind, int result);

// Whether `text` ends in `suffix`, ignoring ASCII case.
bool EndsWithIgnoringCase(std::string_view text, std::string_view suffix);

}  // namespace vantorel::images
