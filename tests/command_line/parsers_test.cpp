// Both parsers behave alike on the same declarations: handlers see values in command line
// order, and mistakes come out as the same one line.
#include <gtest/gtest.h>

#include "command_line/cli11_command_line.h"
#ifdef VANTOREL_TEST_QT_PARSER
#include "command_line/qt_command_line.h"
#endif

namespace vantorel::command_line {
namespace {

using Parser = bool (*)(std::span<const CommandOption>, const std::vector<std::string>&,
                        std::string&, std::vector<std::string>*);

bool Cli11(std::span<const CommandOption> options, const std::vector<std::string>& args,
           std::string& error, std::vector<std::string>* positional) {
    return ParseWithCli11(options, args, error, positional);
}
#ifdef VANTOREL_TEST_QT_PARSER
bool Qt(std::span<const CommandOption> options, const std::vector<std::string>& args,
        std::string& error, std::vector<std::string>* positional) {
    return ParseWithQt(options, args, error, {SingleDashWords::Letters, positional});
}
#endif

// A program with a flag, two value options and a single-letter alias; it records what its
// handlers were handed, in order.
class Parsers : public ::testing::TestWithParam<Parser> {
protected:
    std::vector<CommandOption> Options() {
        const auto record = [this](const char* name) {
            return [this, name](const std::string& value) {
                taken.push_back(std::string(name) + "=" + value);
                return RefusedUnless(value != "bad", "not that");
            };
        };
        return {{"--check", "CAPTION", "tick", record("check")},
                {"--uncheck", "CAPTION", "untick", record("uncheck")},
                {"", "", "a heading, not an option", record("heading")},
                {"-q,--quiet", "", "less", record("quiet")}};
    }
    bool Parse(const std::vector<std::string>& args,
               std::vector<std::string>* positional = nullptr) {
        taken.clear();
        error.clear();
        return GetParam()(Options(), args, error, positional);
    }
    std::vector<std::string> taken;
    std::string error;
};

TEST_P(Parsers, HandValuesOverInCommandLineOrderAcrossOptions) {
    ASSERT_TRUE(Parse(
        {"--check", "A", "--uncheck=B", "-q", "--check", "--dashed", "--quiet", "--uncheck", ""}))
        << error;
    EXPECT_EQ(taken, (std::vector<std::string>{"check=A", "uncheck=B", "quiet=", "check=--dashed",
                                               "quiet=", "uncheck="}));
}

// File names are bytes: one that is not UTF-8 reaches its handler unchanged.
TEST_P(Parsers, PassValuesByteForByte) {
    const std::string name = "caf\xe9-\xff\xfe.nb0";
    ASSERT_TRUE(Parse({"--check", name, "--uncheck=\xc3\xa9t\xc3\xa9"})) << error;
    EXPECT_EQ(taken, (std::vector<std::string>{"check=" + name, "uncheck=\xc3\xa9t\xc3\xa9"}));
    EXPECT_FALSE(Parse({"\xff"}));
    EXPECT_EQ(error, "unexpected argument '\xff'");
}

TEST_P(Parsers, SayWhatWasWrongInOneLine) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"--bogus"}, "unknown option --bogus"},
        {{"--check", "A", "--bogus=3"}, "unknown option --bogus"},
        {{"-x"}, "unknown option -x"},
        {{"extra"}, "unexpected argument 'extra'"},
        {{"--check"}, "missing value after --check"},
        {{"--quiet", "--uncheck"}, "missing value after --uncheck"},
        {{"--check", "A", "--uncheck", "bad"}, "bad value for --uncheck: 'bad' (not that)"},
    };
    for (const auto& [args, message] : cases) {
        EXPECT_FALSE(Parse(args)) << args.front();
        EXPECT_EQ(error, message);
    }
}

TEST_P(Parsers, GiveFreeWordsToAProgramThatTakesThem) {
    std::vector<std::string> words;
    ASSERT_TRUE(Parse({"--check", "A", "file.nb0", "-q", "--", "--check"}, &words)) << error;
    EXPECT_EQ(taken, (std::vector<std::string>{"check=A", "quiet="}));
    EXPECT_EQ(words, (std::vector<std::string>{"file.nb0", "--check"}));
}

#ifdef VANTOREL_TEST_QT_PARSER
INSTANTIATE_TEST_SUITE_P(Both, Parsers, ::testing::Values(&Cli11, &Qt),
                         [](const auto& info) { return info.index == 0 ? "Cli11" : "Qt"; });

// Qt's own options are written with one dash: "-platform" is one name there, not letters.
TEST(QtParser, ReadsOneDashWordsAsNamesWhenAsked) {
    std::vector<std::string> taken;
    const std::vector<CommandOption> options{
        {"-platform", "NAME", "", [&](const std::string& value) {
             taken.push_back(value);
             return Taken();
         }}};
    std::string error;
    ASSERT_TRUE(ParseWithQt(options, {"-platform", "offscreen", "--platform=xcb"}, error,
                            {SingleDashWords::Names, nullptr}))
        << error;
    EXPECT_EQ(taken, (std::vector<std::string>{"offscreen", "xcb"}));
    // As letters, "-platform" is -p -l -a ...; the word is named, not its first letter.
    EXPECT_FALSE(ParseWithQt(options, {"-platform", "offscreen"}, error));
    EXPECT_EQ(error, "unknown option -platform");
}
#else
INSTANTIATE_TEST_SUITE_P(Cli11Only, Parsers, ::testing::Values(&Cli11),
                         [](const auto&) { return "Cli11"; });
#endif

}  // namespace
}  // namespace vantorel::command_line
