#include <gtest/gtest.h>

#include "command_line/command_option.h"

namespace vantorel::command_line {
namespace {

const auto kNothing = [](const std::string&) { return Taken(); };

TEST(OptionHelp, ListsNamesInAColumnAndSharesOneEntryForOneText) {
    const std::vector<CommandOption> options{
        {"--link", "bulk|serial", "the link variant,\non two lines", kNothing},
        {"", "", "faults:", kNothing},
        {"--eboot", "FILE", "one kind", kNothing},
        {"--pda", "FILE", "one kind", kNothing},
        {"--quiet", "", "", kNothing},  // not listed
        {"-h,--help", "", "this text", kNothing},
    };
    EXPECT_EQ(FormatOptions(options, 22),
              "  --link bulk|serial  the link variant,\n"
              "                      on two lines\n"
              "faults:\n"
              "  --eboot FILE  --pda FILE\n"
              "                      one kind\n"
              "  -h, --help          this text\n");
}

TEST(OptionHelp, MessagesNameTheOptionAndTheProgram) {
    const CommandOption option{"-l,--link", "KIND", "", kNothing};
    EXPECT_EQ(option.ShownName(), "--link");
    EXPECT_EQ(option.BareNames(), (std::vector<std::string>{"l", "link"}));
    EXPECT_EQ(BadValue(option, "usb", "bulk or serial"),
              "bad value for --link: 'usb' (bulk or serial)");
    EXPECT_EQ(BadValue(option, "", ""), "bad value for --link: ''");
    EXPECT_EQ(StrayWord("--bogus=1"), "unknown option --bogus");
    EXPECT_EQ(StrayWord("-"), "unexpected argument '-'");
    EXPECT_EQ(StrayWord("extra"), "unexpected argument 'extra'");
    EXPECT_EQ(BadCommandLine("prog", "unknown option -x"),
              "prog: unknown option -x (see prog --help)\n");

    const std::vector<CommandOption> options{option, {"--flag", "", "", kNothing}};
    const std::vector<std::string> endsInValueOption{"--flag", "-l"};
    const std::vector<std::string> endsInFlag{"-l", "x", "--flag"};
    EXPECT_EQ(MissingValue(options, endsInValueOption), "missing value after -l");
    EXPECT_EQ(MissingValue(options, endsInFlag), std::nullopt);
}

}  // namespace
}  // namespace vantorel::command_line
