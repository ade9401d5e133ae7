#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/usb_vm/gadget_arguments.h"
#include "tools/usb_vm/probe_arguments.h"

namespace vantorel::usb_vm {
namespace {

using Args = std::vector<std::string>;

TEST(GadgetArguments, HandsetSettingsApplyToTheGadgetsThatFollowThem) {
    GadgetHandsetProgram program;
    std::string error;
    ASSERT_TRUE(ParseGadgetArguments(
        Args{"--record-dir", "/tmp/records", "--reboot-delay-ms", "200", "--pack-replies",
             "--gadget", "h1:dummy_udc.0", "--missing-reply-at", "300", "--gadget",
             "h2:dummy_udc.1", "--clock-scale", "0.5", "--ffs-root", "/run/ffs"},
        program, error))
        << error;
    ASSERT_EQ(program.gadgets.size(), 2u);
    EXPECT_EQ(program.gadgets[0].name, "h1");
    EXPECT_EQ(program.gadgets[0].udcName, "dummy_udc.0");
    EXPECT_EQ(program.gadgets[1].name, "h2");
    EXPECT_EQ(program.gadgets[1].udcName, "dummy_udc.1");
    EXPECT_EQ(program.gadgets[0].config.rebootDelay, Clock::Duration(200));
    EXPECT_EQ(program.gadgets[1].config.rebootDelay, Clock::Duration(200));
    EXPECT_TRUE(program.gadgets[0].config.bPackReplies);
    EXPECT_TRUE(program.gadgets[1].config.bPackReplies);
    EXPECT_FALSE(program.gadgets[0].faults.missingReplyAtPacket.has_value());
    EXPECT_EQ(program.gadgets[1].faults.missingReplyAtPacket, 300u);
    // Program-wide options hold wherever they stand.
    EXPECT_EQ(program.clockScale, 0.5);
    EXPECT_EQ(program.functionFsRoot, "/run/ffs");
    EXPECT_EQ(program.configfsRoot, "/sys/kernel/config/usb_gadget");
    EXPECT_EQ(program.recordDir, "/tmp/records");
}

TEST(GadgetArguments, RefusesWhatCannotNameAGadgetOrController) {
    const std::vector<std::pair<Args, std::string>> cases{
        {Args{}, "no --gadget given"},
        {Args{"--reboot-delay-ms", "10"}, "no --gadget given"},
        {Args{"--gadget", "h1"}, "bad value for --gadget"},
        {Args{"--gadget", ":dummy_udc.0"}, "bad value for --gadget"},
        {Args{"--gadget", "h1:"}, "bad value for --gadget"},
        {Args{"--gadget", "../h1:dummy_udc.0"}, "bad value for --gadget"},
        {Args{"--gadget", "h1:dummy_udc.0", "--gadget", "h1:dummy_udc.1"}, "given twice"},
        {Args{"--gadget", "h1:dummy_udc.0", "--gadget", "h2:dummy_udc.0"}, "given twice"},
        {Args{"--gadget", "h1:dummy_udc.0", "--record-dir"}, "missing value after --record-dir"},
        // The pty program's way of naming a handset is not taken for a gadget.
        {Args{"--gadget", "h1:dummy_udc.0", "--link", "/tmp/x"}, "unknown option --link"},
        {Args{"--gadget", "h1:dummy_udc.0", "--volume", "11"}, "unknown option --volume"},
    };
    for (const auto& [args, message] : cases) {
        GadgetHandsetProgram program;
        std::string error;
        EXPECT_FALSE(ParseGadgetArguments(args, program, error)) << testing::PrintToString(args);
        EXPECT_NE(error.find(message), std::string::npos) << error;
    }
}

TEST(ProbeArguments, DefaultsProbeTwoWholeRunsAndAcceptBounds) {
    ProbeOptions options;
    std::string error;
    ASSERT_TRUE(ParseProbeArguments(Args{}, options, error)) << error;
    EXPECT_EQ(options.TotalHandsets(), 2);

    ASSERT_TRUE(ParseProbeArguments(
        Args{"--handsets", "8", "--victim", "h9", "--victim-packet", "5", "--unplug-ms", "2500",
             "--record-dir", "/tmp/r", "--gadget-pid", "42", "--eboot-version", "AB12"},
        options, error))
        << error;
    EXPECT_EQ(options.TotalHandsets(), 9);
    EXPECT_EQ(options.victimPacket, 5u);
    EXPECT_EQ(options.unplugBound, std::chrono::milliseconds(2500));
    EXPECT_EQ(options.gadgetPid, 42);
    EXPECT_EQ(options.bootLoaderVersion, "AB12");
    EXPECT_EQ(options.bareRoundTrips, 0u);

    ProbeOptions bare;
    ASSERT_TRUE(
        ParseProbeArguments(Args{"--handsets", "3", "--bare-round-trips", "4096"}, bare, error))
        << error;
    EXPECT_EQ(bare.bareRoundTrips, 4096u);
    EXPECT_EQ(bare.TotalHandsets(), 3);
}

TEST(ProbeArguments, RefusesARunThatCannotShowWhatItClaims) {
    const std::vector<std::pair<Args, std::string>> cases{
        // The silent packet must be one the victim is actually sent.
        {Args{"--victim", "h3", "--eboot-size", "4064", "--victim-packet", "2"}, "beyond"},
        {Args{"--record-dir", "/tmp/r"}, "needs --gadget-pid"},
        {Args{"--handsets", "0"}, "nothing to probe"},
        {Args{"--handsets", "-1"}, "bad value for --handsets"},
        {Args{"--eboot-size", "0"}, "bad value for --eboot-size"},
        {Args{"--eboot-version", "T4K"}, "bad value for --eboot-version"},
        {Args{"--unplug-ms"}, "missing value"},
        {Args{"--bare-round-trips", "0"}, "bad value for --bare-round-trips"},
        {Args{"--bare-round-trips", "10", "--victim", "h3"}, "no --victim"},
        {Args{"--bogus", "1"}, "unknown option --bogus"},
    };
    for (const auto& [args, message] : cases) {
        ProbeOptions options;
        std::string error;
        EXPECT_FALSE(ParseProbeArguments(args, options, error)) << testing::PrintToString(args);
        EXPECT_NE(error.find(message), std::string::npos) << error;
    }
    // Packet 1 of a two-packet image is still inside it.
    ProbeOptions options;
    std::string error;
    EXPECT_TRUE(ParseProbeArguments(
        Args{"--victim", "h3", "--eboot-size", "4064", "--victim-packet", "1"}, options, error))
        << error;
}

}  // namespace
}  // namespace vantorel::usb_vm
