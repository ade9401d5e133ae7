#include <gtest/gtest.h>

#include "command_line/qt_command_line.h"

namespace vantorel::command_line {
namespace {

// A program with a flag, two value options and a single-letter alias; it records what its
// handlers were handed, in order.
class QtCommandLine : public ::testing::Test {
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
                {"-q,--quiet", "", "less", record("quiet")}};
    }
    bool Parse(const std::vector<std::string>& args, const QtParsing& parsing = {}) {
        taken.clear();
        error.clear();
        return ParseWithQt(Options(), args, error, parsing);
    }
    std::vector<std::string> taken;
    std::string error;
};

TEST_F(QtCommandLine, HandsValuesOverInCommandLineOrderAcrossOptions) {
    ASSERT_TRUE(Parse(
        {"--check", "A", "--uncheck=B", "-q", "--check", "--dashed", "--quiet", "--uncheck", ""}))
        << error;
    EXPECT_EQ(taken, (std::vector<std::string>{"check=A", "uncheck=B", "quiet=", "check=--dashed",
                                               "quiet=", "uncheck="}));
}

// File names are bytes: one that is not UTF-8 reaches its handler unchanged.
TEST_F(QtCommandLine, ValuesArriveByteForByte) {
    const std::string name = "caf\xe9-\xff\xfe.nb0";
    ASSERT_TRUE(Parse({"--check", name, "--uncheck=\xc3\xa9t\xc3\xa9"})) << error;
    EXPECT_EQ(taken, (std::vector<std::string>{"check=" + name, "uncheck=\xc3\xa9t\xc3\xa9"}));
    EXPECT_FALSE(Parse({"\xff"}));
    EXPECT_EQ(error, "unexpected argument '\xff'");
}

TEST_F(QtCommandLine, SaysWhatWasWrongInOneLine) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"--bogus"}, "unknown option --bogus"},
        {{"--check", "A", "--bogus=3"}, "unknown option --bogus"},
        {{"-x"}, "unknown option -x"},
        {{"extra"}, "unexpected argument 'extra'"},
        {{"--check"}, "missing value after --check"},
        {{"--quiet=yes"}, "unexpected value after '--quiet'"},
        {{"--check", "A", "--uncheck", "bad"}, "bad value for --uncheck: 'bad' (not that)"},
    };
    for (const auto& [args, message] : cases) {
        EXPECT_FALSE(Parse(args)) << args.front();
        EXPECT_EQ(error, message);
    }
}

TEST_F(QtCommandLine, OneDashNamesAndFreeWordsWhenTheProgramAsksForThem) {
    std::vector<std::string> words;
    ASSERT_TRUE(
        Parse({"-check", "A", "-q", "file.nb0", "--", "--check"}, {SingleDashWords::Names, &words}))
        << error;
    EXPECT_EQ(taken, (std::vector<std::string>{"check=A", "quiet="}));
    EXPECT_EQ(words, (std::vector<std::string>{"file.nb0", "--check"}));
    // As letters, "-check" is -c -h -e ...: the first letter no option has is named.
    EXPECT_FALSE(Parse({"-check", "A"}));
    EXPECT_EQ(error, "unknown option -c");
}

}  // namespace
}  // namespace vantorel::command_line
