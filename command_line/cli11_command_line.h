#pragma once

#include <span>
#include <string>
#include <vector>

#include "command_line/command_option.h"

namespace vantorel::command_line {

// Reads `args` (without the program name) with CLI11 and hands each option's value to its
// handler in command line order, for the programs without Qt. False, with one line saying
// what was wrong, on an unknown option, a missing or refused value, or a stray argument.
// `positional`: where words that are no option's go; null: they are refused.
bool ParseWithCli11(std::span<const CommandOption> options, const std::vector<std::string>& args,
                    std::string& error, std::vector<std::string>* positional = nullptr);

}  // namespace vantorel::command_line
