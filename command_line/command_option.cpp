#include "command_line/command_option.h"

#include <cstdio>
#include <sstream>

namespace vantorel::command_line {

namespace {

std::vector<std::string> SplitNames(const std::string& names) {
    std::vector<std::string> parts;
    std::stringstream list(names);
    for (std::string part; std::getline(list, part, ',');) {
        parts.push_back(part);
    }
    return parts;
}

std::string EntryNames(const CommandOption& option) {
    std::string shown;
    for (const std::string& name : SplitNames(option.names)) {
        shown += (shown.empty() ? "" : ", ") + name;
    }
    return option.TakesValue() ? shown + " " + option.valueName : shown;
}

// "  NAMES   help line 1\n" with later help lines indented to the same column.
void AppendEntry(std::string& text, const std::string& names, const std::string& help,
                 size_t indent) {
    std::string line = "  " + names;
    if (line.size() + 2 > indent) {  // at least two spaces before the help
        text += line + "\n";
        line.clear();
    }
    std::stringstream lines(help);
    for (std::string helpLine; std::getline(lines, helpLine);) {
        line.resize(indent, ' ');
        text += line + helpLine + "\n";
        line.clear();
    }
}

}  // namespace

std::vector<std::string> CommandOption::BareNames() const {
    std::vector<std::string> bare;
    for (const std::string& name : SplitNames(names)) {
        bare.push_back(name.substr(name.find_first_not_of('-')));
    }
    return bare;
}

std::string CommandOption::ShownName() const {
    const std::vector<std::string> all = SplitNames(names);
    for (const std::string& name : all) {
        if (name.starts_with("--")) {
            return name;
        }
    }
    return all.empty() ? std::string() : all.front();
}

std::string FormatOptions(std::span<const CommandOption> options, size_t indent) {
    std::string text;
    for (size_t i = 0; i < options.size(); ++i) {
        if (options[i].IsHeading()) {
            text += options[i].help + "\n";
            continue;
        }
        if (options[i].help.empty()) {
            continue;
        }
        // Options that share their help text share one entry.
        std::string names = EntryNames(options[i]);
        while (i + 1 < options.size() && options[i + 1].help == options[i].help) {
            names += "  " + EntryNames(options[++i]);
        }
        AppendEntry(text, names, options[i].help, indent);
    }
    return text;
}

std::string BadValue(const CommandOption& option, const std::string& value,
                     const std::string& why) {
    std::string message = "bad value for " + option.ShownName() + ": '" + value + "'";
    return why.empty() ? message : message + " (" + why + ")";
}

std::string StrayWord(const std::string& word) {
    if (word.size() > 1 && word.starts_with('-')) {
        return "unknown option " + word.substr(0, word.find('='));
    }
    return "unexpected argument '" + word + "'";
}

std::optional<std::string> MissingValue(std::span<const CommandOption> options,
                                        std::span<const std::string> args) {
    if (args.empty()) {
        return std::nullopt;
    }
    const std::string& last = args.back();
    for (const CommandOption& option : options) {
        for (const std::string& name : SplitNames(option.names)) {
            if (option.TakesValue() && name == last) {
                return "missing value after " + last;
            }
        }
    }
    return std::nullopt;
}

std::string BadCommandLine(const std::string& program, const std::string& error) {
    return program + ": " + error + " (see " + program + " --help)\n";
}

int RefuseCommandLine(const std::string& program, const std::string& error) {
    std::fputs(BadCommandLine(program, error).c_str(), stderr);
    return kExitBadCommandLine;
}

}  // namespace vantorel::command_line
