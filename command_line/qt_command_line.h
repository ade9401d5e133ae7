#pragma once

#include <span>
#include <string>
#include <vector>

#include "command_line/command_option.h"

namespace vantorel::command_line {

// How one-dash words read: "-abc" as -a -b -c, or as the option "abc" the way Qt's own
// options (-platform, -style) are written.
enum class SingleDashWords { Letters, Names };

struct QtParsing {
    SingleDashWords singleDash = SingleDashWords::Letters;
    // Where the words that are no option's go; null: they are refused.
    std::vector<std::string>* positional = nullptr;
};

// Reads `args` (without the program name) with Qt's QCommandLineParser and hands each
// option's value to its handler in command line order. False, with one line saying what
// was wrong, on an unknown option, a missing or refused value, or a stray argument.
bool ParseWithQt(std::span<const CommandOption> options, const std::vector<std::string>& args,
                 std::string& error, const QtParsing& parsing = {});

}  // namespace vantorel::command_line
