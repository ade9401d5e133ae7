#pragma once

#include <string_view>

namespace vantorel::resources {

// The station's string table.
inline constexpr unsigned IDS_APP_TITLE = 57344;   // application name and window title
inline constexpr unsigned IDS_ABOUTBOX = 101;      // the About entry and the About box's title
inline constexpr unsigned IDS_TOOL_VERSION = 102;  // the station's protocol version

// The text of string `id`; empty for an id the table does not hold.
std::string_view LoadString(unsigned id);

}  // namespace vantorel::resources
