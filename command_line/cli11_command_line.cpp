#include "command_line/cli11_command_line.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>

namespace vantorel::command_line {

namespace {

// A handler's refusal, carried out of CLI11's parse.
struct Refusal {
    std::string message;
};

// CLI11's sentence as one of ours: lower case first, no full stop.
std::string Sentence(std::string text) {
    if (!text.empty()) {
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    }
    while (text.ends_with('.') || text.ends_with('\n')) {
        text.pop_back();
    }
    return text;
}

void Declare(CLI::App& app, const CommandOption& option) {
    CLI::Option* declared = nullptr;
    if (option.TakesValue()) {
        declared =
            app.add_option_function<std::string>(option.names, [&option](const std::string& value) {
                if (const std::optional<std::string> why = option.take(value)) {
                    throw Refusal{BadValue(option, value, *why)};
                }
            });
    } else {
        declared = app.add_flag_callback(option.names, [&option] {
            if (const std::optional<std::string> why = option.take("")) {
                throw Refusal{BadValue(option, "", *why)};
            }
        });
    }
    // Each occurrence reaches its handler at once, so settings apply in the order given.
    declared->trigger_on_parse();
}

}  // namespace

bool ParseWithCli11(std::span<const CommandOption> options, const std::vector<std::string>& args,
                    std::string& error, std::vector<std::string>* positional) {
    CLI::App app;
    app.set_help_flag();  // the program's own -h, --help is one of `options`
    app.allow_extras();   // words no option claims are said below, in our words
    for (const CommandOption& option : options) {
        if (!option.IsHeading()) {
            Declare(app, option);
        }
    }
    std::vector<std::string> reversed(args.rbegin(), args.rend());  // as CLI11 reads them
    try {
        app.parse(reversed);
    } catch (const Refusal& refusal) {
        error = refusal.message;
        return false;
    } catch (const CLI::ArgumentMismatch& mismatch) {
        error = MissingValue(options, args).value_or(Sentence(mismatch.what()));
        return false;
    } catch (const CLI::ParseError& failure) {
        error = Sentence(failure.what());
        return false;
    }
    // CLI11 leaves "--" among the extras; the words after it are never options.
    bool bAfterSeparator = false;
    for (const std::string& word : app.remaining()) {
        if (word == "--" && !bAfterSeparator) {
            bAfterSeparator = true;
            continue;
        }
        const std::string stray = StrayWord(word);
        if (!bAfterSeparator && stray.starts_with("unknown")) {
            error = stray;
            return false;
        }
        if (positional == nullptr) {
            error = "unexpected argument '" + word + "'";
            return false;
        }
        positional->push_back(word);
    }
    return true;
}

}  // namespace vantorel::command_line
