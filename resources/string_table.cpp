#include "resources/string_table.h"

#include <array>
#include <utility>

namespace vantorel::resources {

namespace {
constexpr std::array<std::pair<unsigned, std::string_view>, 3> kStrings{{
    {IDS_ABOUTBOX, "VELDHARROW Multi-Threaded Downloader Information..."},
    {IDS_TOOL_VERSION, "24"},
    {IDS_APP_TITLE, "VELDHARROWDownloader v2.4.3"},
}};
}  // namespace

std::string_view LoadString(unsigned id) {
    for (const auto& [key, text] : kStrings) {
        if (key == id) {
            return text;
        }
    }
    return {};
}

}  // namespace vantorel::resources
