#pragma once

#include <charconv>
#include <chrono>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "command_line/command_option.h"

namespace vantorel::command_line {

// A whole non-negative number, decimal or hexadecimal after "0x", that fits in Number.
template <typename Number>
bool ParseNumber(std::string_view text, Number& value) {
    int base = 10;
    if (text.starts_with("0x") || text.starts_with("0X")) {
        base = 16;
        text.remove_prefix(2);
    }
    uint64_t parsed = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), parsed, base);
    if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size() ||
        parsed > static_cast<uint64_t>(std::numeric_limits<Number>::max())) {
        return false;
    }
    value = static_cast<Number>(parsed);
    return true;
}

// A handler that sets a number; above 0 when `bPositive`.
template <typename Number>
auto SetsNumber(Number& target, bool bPositive = false) {
    return [&target, bPositive](const std::string& value) {
        Number parsed{};
        if (!ParseNumber(value, parsed) || (bPositive && parsed == 0)) {
            return Refused();
        }
        target = parsed;
        return Taken();
    };
}

// A handler that sets a text of exactly `length` characters.
inline auto SetsTextOfLength(std::string& target, size_t length) {
    return [&target, length](const std::string& value) {
        target = value;
        return RefusedUnless(value.size() == length);
    };
}

// A handler that sets a duration given in milliseconds.
inline auto SetsMilliseconds(std::chrono::milliseconds& target) {
    return [&target](const std::string& value) {
        uint32_t millis = 0;
        if (!ParseNumber(value, millis)) {
            return Refused();
        }
        target = std::chrono::milliseconds(millis);
        return Taken();
    };
}

}  // namespace vantorel::command_line
