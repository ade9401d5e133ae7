#include "images/image_kind.h"

#include <array>
#include <cctype>

#include "base/text_format.h"

namespace vantorel::images {

namespace {

struct KindTraits {
    std::string_view filter;
    std::array<std::string_view, 2> extensions;  // an empty second one: only one accepted
    std::string_view name;                       // as the incorrect-file line words it
};

constexpr std::array<KindTraits, kImageKindCount> kTraits = {{
    {"EBoot ROM Image (*.eb0)|*.eb0|EBoot ROM Image (*.nb0)|*.nb0|", {".nb0", ".eb0"}, "Eboot"},
    {"PDA ROM Image (*.nb0)|*.nb0|", {".nb0", ""}, "PDA"},
    {"CSC ROM Image (*.csc)|*.csc|", {".csc", ""}, "CSC"},
    {"LANGPACK ROM Image (*.lan)|*.lan|", {".lan", ""}, "LANGPACK"},
    {"Phone ROM Image (*.bin)|*.bin|", {".bin", ""}, "Phone"},
    {"SMD Image (*.smd)|*.smd|", {".smd", ""}, "SMD"},
}};

const KindTraits& TraitsOf(ImageKind kind) {
    return kTraits[static_cast<size_t>(kind)];
}

}  // namespace

bool EndsWithIgnoringCase(std::string_view text, std::string_view suffix) {
    if (text.size() < suffix.size()) {
        return false;
    }
    const std::string_view tail = text.substr(text.size() - suffix.size());
    for (size_t i = 0; i < suffix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(tail[i])) !=
            std::tolower(static_cast<unsigned char>(suffix[i]))) {
            return false;
        }
    }
    return true;
}

std::string_view ChoiceFilter(ImageKind kind) {
    return TraitsOf(kind).filter;
}

bool HasAcceptedExtension(ImageKind kind, std::string_view path) {
    for (const auto extension : TraitsOf(kind).extensions) {
        if (!extension.empty() && EndsWithIgnoringCase(path, extension)) {
            return true;
        }
    }
    return false;
}

std::string IncorrectFileLine(ImageKind kind, int result) {
    const std::string name(TraitsOf(kind).name);
    return FormatText("Select %s file is incorrected. %d\r\n", name.c_str(), result);
}

}  // namespace vantorel::images
