#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vantorel::command_line {

// One option of a program's command line, declared once: the parser registers it, the help
// text lists it and the handler takes its value, so adding an option touches one place.
struct CommandOption {
    // Names with their dashes, comma separated: "--link", "-h,--help".
    std::string names;
    // The value's placeholder in the help ("bulk|serial"); empty for a flag.
    std::string valueName;
    // What it does; may hold line breaks. Consecutive options with the same text share one
    // entry in the help. Empty: not listed.
    std::string help;
    // Called for each occurrence in command line order with its value ("" for a flag);
    // returns why the value is not taken, or nullopt. The text of a refusal may be empty.
    std::function<std::optional<std::string>(const std::string& value)> take;

    // An entry without names is no option: its help is a heading in the help text.
    bool IsHeading() const { return names.empty(); }
    bool TakesValue() const { return !valueName.empty(); }
    // The names without their dashes, in declared order.
    std::vector<std::string> BareNames() const;
    // The name used in messages: the first long name, with its dashes.
    std::string ShownName() const;
};

// What handlers return: the value taken, or refused with a reason (which may be empty).
inline std::optional<std::string> Taken() {
    return std::nullopt;
}
inline std::optional<std::string> Refused(std::string why = {}) {
    return why;
}
inline std::optional<std::string> RefusedUnless(bool bTaken, std::string why = {}) {
    return bTaken ? Taken() : Refused(std::move(why));
}

// A handler for a flag that sets `target`.
inline auto Sets(bool& target) {
    return [&target](const std::string&) {
        target = true;
        return Taken();
    };
}

// Every program's -h, --help.
inline CommandOption HelpOption(bool& bHelp) {
    return {"-h,--help", "", "this text", Sets(bHelp)};
}

// The options' entries in a help text: names in a column of `indent` characters, the help to
// their right (on the next line when the names are longer).
std::string FormatOptions(std::span<const CommandOption> options, size_t indent);

// The message for a value an option refused: "bad value for --link: 'usb' (bulk or serial)".
std::string BadValue(const CommandOption& option, const std::string& value, const std::string& why);

// The message for a word no option claimed: an unknown option, or an argument where none is
// expected.
std::string StrayWord(const std::string& word);

// When a parser failed and the last word names an option that takes a value, "missing value
// after --X"; nullopt otherwise.
std::optional<std::string> MissingValue(std::span<const CommandOption> options,
                                        std::span<const std::string> args);

// The one line a program prints on a bad command line.
std::string BadCommandLine(const std::string& program, const std::string& error);

// What a program does with a bad command line: the one line on stderr, and exit status 2.
inline constexpr int kExitBadCommandLine = 2;
int RefuseCommandLine(const std::string& program, const std::string& error);

}  // namespace vantorel::command_line
