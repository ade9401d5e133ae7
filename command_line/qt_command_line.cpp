#include "command_line/qt_command_line.h"

#include <QCommandLineParser>
#include <map>

namespace vantorel::command_line {

namespace {

// Words go through Qt byte for byte: each byte is one Latin-1 character, so a file name that
// is not UTF-8 comes back as it was given. Option names are ASCII either way.
QString Word(const std::string& bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}
std::string Bytes(const QString& word) {
    return word.toLatin1().toStdString();
}

// The word on the command line that brought the unknown option `name`.
std::string UnknownWord(const QString& name, const std::vector<std::string>& args) {
    const std::string bare = Bytes(name);
    for (const std::string& word : args) {
        const size_t start = word.find_first_not_of('-');
        if (word.starts_with('-') && start != std::string::npos &&
            word.substr(start, word.find('=') - start) == bare) {
            return word;
        }
    }
    // One letter of a one-dash word read as letters ("-platform"): the whole word was meant.
    for (const std::string& word : args) {
        if (bare.size() == 1 && word.size() > 2 && word[0] == '-' && word[1] != '-' &&
            word.find(bare) != std::string::npos) {
            return word;
        }
    }
    return (bare.size() == 1 ? "-" : "--") + bare;
}

std::string ParserError(const QCommandLineParser& parser, std::span<const CommandOption> options,
                        const std::vector<std::string>& args) {
    if (!parser.unknownOptionNames().isEmpty()) {
        return StrayWord(UnknownWord(parser.unknownOptionNames().front(), args));
    }
    if (auto missing = MissingValue(options, args)) {
        return *missing;
    }
    // Qt's own sentence ("Unexpected value after '--headless'.") as one of ours.
    std::string text = Bytes(parser.errorText());
    if (!text.empty()) {
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    }
    while (text.ends_with('.') || text.ends_with('\n')) {
        text.pop_back();
    }
    return text;
}

}  // namespace

bool ParseWithQt(std::span<const CommandOption> options, const std::vector<std::string>& args,
                 std::string& error, const QtParsing& parsing) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(parsing.singleDash == SingleDashWords::Names
                                           ? QCommandLineParser::ParseAsLongOptions
                                           : QCommandLineParser::ParseAsCompactedShortOptions);
    std::map<QString, const CommandOption*> byName;
    for (const CommandOption& option : options) {
        if (option.IsHeading()) {
            continue;
        }
        QStringList names;
        for (const std::string& name : option.BareNames()) {
            names << Word(name);
            byName[names.back()] = &option;
        }
        QCommandLineOption declared(names);
        if (option.TakesValue()) {
            declared.setValueName(Word(option.valueName));
        }
        parser.addOption(declared);
    }
    QStringList words{QStringLiteral("program")};
    for (const std::string& word : args) {
        words << Word(word);
    }
    if (!parser.parse(words)) {
        error = ParserError(parser, options, args);
        return false;
    }
    for (const QString& word : parser.positionalArguments()) {
        if (parsing.positional == nullptr) {
            error = "unexpected argument '" + Bytes(word) + "'";
            return false;
        }
        parsing.positional->push_back(Bytes(word));
    }
    // Each option's values in the order given, so that later words win over earlier ones.
    std::map<const CommandOption*, qsizetype> taken;
    for (const QString& name : parser.optionNames()) {
        const CommandOption& option = *byName.at(name);
        const std::string value =
            option.TakesValue() ? Bytes(parser.values(name).at(taken[&option]++)) : "";
        if (const std::optional<std::string> why = option.take(value)) {
            error = BadValue(option, value, *why);
            return false;
        }
    }
    return true;
}

}  // namespace vantorel::command_line
