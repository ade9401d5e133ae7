#include <gtest/gtest.h>

#include "bench/bench_arguments.h"
#include "tests/support/temp_dir.h"

namespace vantorel::bench::test {
namespace {

struct Parsed {
    bool ok;
    BenchArguments args;
    std::string error;
};

Parsed Parse(std::vector<std::string> words) {
    Parsed parsed;
    parsed.ok = ParseBenchArguments(words, parsed.args, parsed.error);
    return parsed;
}

TEST(BenchArguments, DefaultsFollowTheModeAndTheTtys) {
    const Parsed windowed = Parse({});
    ASSERT_TRUE(windowed.ok) << windowed.error;
    EXPECT_FALSE(windowed.args.bHeadless);
    EXPECT_EQ(windowed.args.link, LinkChoice::Bulk);
    EXPECT_DOUBLE_EQ(windowed.args.timeScale, 0.1);

    const Parsed headless = Parse({"--headless"});
    ASSERT_TRUE(headless.ok) << headless.error;
    EXPECT_EQ(headless.args.nHandsets, 8);
    EXPECT_DOUBLE_EQ(headless.args.timeScale, 0.01);

    // An external handset may be a real one: real time, the serial-style link, and one
    // emulated handset fewer.
    vantorel::test::TempDir dir;
    const std::string tty = (dir / "ttyUSB9").string();
    const Parsed external = Parse({"--headless", "--tty", tty});
    ASSERT_TRUE(external.ok) << external.error;
    EXPECT_EQ(external.args.link, LinkChoice::Serial);
    EXPECT_DOUBLE_EQ(external.args.timeScale, 1.0);
    EXPECT_EQ(external.args.nHandsets, 7);
    EXPECT_EQ(external.args.ttyPaths, std::vector<std::string>{tty});
}

// Real handsets: headless, the bulk link, real time, and no emulated handset to set up.
TEST(BenchArguments, RealModeWaitsForRealHandsetsOnTheBulkLink) {
    const Parsed real = Parse({"--real"});
    ASSERT_TRUE(real.ok) << real.error;
    EXPECT_TRUE(real.args.bReal);
    EXPECT_TRUE(real.args.bHeadless);
    EXPECT_EQ(real.args.link, LinkChoice::Bulk);
    EXPECT_EQ(real.args.nHandsets, 1);
    EXPECT_DOUBLE_EQ(real.args.timeScale, 1.0);

    const Parsed three = Parse({"--real", "--handsets", "3", "--timeout", "90"});
    ASSERT_TRUE(three.ok) << three.error;
    EXPECT_EQ(three.args.nHandsets, 3);

    for (const auto& words :
         std::vector<std::vector<std::string>>{{"--real", "--link", "serial"},
                                               {"--real", "--handset", "1:--wrong-sum-at 3"},
                                               {"--real", "--handsets", "0"},
                                               {"--real", "--tty", "/tmp/ttyUSB0"}}) {
        const Parsed refused = Parse(words);
        EXPECT_FALSE(refused.ok) << words[1];
        EXPECT_FALSE(refused.error.empty());
    }
}

TEST(BenchArguments, TakesImagesOptionsAndValuesInBothSpellings) {
    const Parsed parsed =
        Parse({"--headless", "--link=serial", "--images", "/tmp/set", "--pda", "a.nb0",
               "--pda=b.nb0", "--check", "NoLaunch", "--uncheck=Wait after download",
               "--time-scale", "0.5", "--timeout", "30", "--handsets", "3"});
    ASSERT_TRUE(parsed.ok) << parsed.error;
    EXPECT_EQ(parsed.args.link, LinkChoice::Serial);
    EXPECT_EQ(parsed.args.imagesDirectory, "/tmp/set");
    ASSERT_EQ(parsed.args.imageFiles.size(), 2u);
    EXPECT_EQ(parsed.args.imageFiles[1].first, images::IMG_PDA);
    EXPECT_EQ(parsed.args.imageFiles[1].second, "b.nb0");
    ASSERT_EQ(parsed.args.options.size(), 2u);
    EXPECT_TRUE(parsed.args.options[0].bChecked);
    EXPECT_EQ(parsed.args.options[1].caption, "Wait after download");
    EXPECT_FALSE(parsed.args.options[1].bChecked);
    EXPECT_DOUBLE_EQ(parsed.args.timeScale, 0.5);
    EXPECT_EQ(parsed.args.timeout.count(), 30);
    EXPECT_EQ(parsed.args.nHandsets, 3);
}

TEST(BenchArguments, HandsetSettingsComposeAllThenOwnAndReuseTheEmulatorsWords) {
    const Parsed parsed =
        Parse({"--headless", "--handset", "all:--protocol-version 20 --eboot-version T4K8",
               "--handset", "3:--wrong-sum-at 40 --protocol-version 22"});
    ASSERT_TRUE(parsed.ok) << parsed.error;
    const auto& handsets = parsed.args.handsets;
    EXPECT_EQ(handsets[0].config.protocolVersion, 20u);
    EXPECT_EQ(handsets[0].config.bootLoaderVersion, "T4K8");
    EXPECT_FALSE(handsets[0].faults.wrongSumAtPacket);
    EXPECT_EQ(handsets[2].config.protocolVersion, 22u) << "its own words come last and win";
    EXPECT_EQ(handsets[2].faults.wrongSumAtPacket, 40u);
    EXPECT_EQ(handsets[2].config.bootLoaderVersion, "T4K8");
    // Records keep digests: the panel reads them often.
    EXPECT_EQ(handsets[7].config.recordMode, emulator::RecordMode::Digest);
}

TEST(BenchArguments, RefusesWhatCannotWorkWithAReason) {
    vantorel::test::TempDir dir;
    const std::string tty = (dir / "tty0").string();
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"--bogus"}, "unknown option --bogus"},
        {{"extra"}, "unexpected argument 'extra'"},
        {{"--link"}, "missing value after --link"},
        {{"--link", "usb"}, "bulk or serial"},
        {{"--headless", "--handsets", "-1"}, "0 to 8"},
        {{"--headless", "--handsets", "8x"}, "0 to 8"},
        {{"--time-scale", "0"}, "above 0"},
        {{"--time-scale", "fast"}, "above 0"},
        {{"--headless", "--timeout", "0"}, "at least 1"},
        {{"--handsets", "2"}, "for --headless runs"},
        {{"--tty", tty, "--link", "bulk"}, "drop --link bulk"},
        {{"--tty", tty, "--tty", tty}, "given twice"},
        {{"--tty", dir.Path().string() + "/"}, "not a directory"},
        {{"--tty", "/no/such/dir/tty"}, "does not exist"},
        {{"--headless", "--tty", tty, "--handsets", "8"}, "more than the eight slots"},
        {{"--headless", "--tty", tty, "--handset", "8:--unplug-at 1"}, "only 7 emulated"},
        {{"--headless", "--handsets", "0"}, "nothing to run"},
        {{"--handset", "9:--unplug-at 1"}, "K from 1 to 8"},
        {{"--handset", "--unplug-at 1"}, "K:SETTINGS"},
        {{"--handset", "1:--link /dev/null"}, "'--link' is not a handset setting"},
        {{"--handset", "1:--clock-scale 2"}, "'--clock-scale' is not a handset setting"},
        {{"--handset", "1:--eboot-version LONGER"}, "--handset 1: bad value for --eboot-version"},
        {{"--check", ""}, "caption"},
        {{"--headless", "--report", dir.Path().string()}, "a folder, not a file"},
        {{"--headless", "--report", (dir / "no" / "copy.jsonl").string()}, "does not exist"},
        {{"--headless", "--report", "/dev/null"}, "not a regular file"},
        {{"--headless", "--no-records", "--report", (dir / "copy.jsonl").string()},
         "drop --no-records"},
    };
    for (const auto& [words, message] : cases) {
        const Parsed parsed = Parse(words);
        EXPECT_FALSE(parsed.ok) << words.front();
        EXPECT_NE(parsed.error.find(message), std::string::npos)
            << words.front() << ": " << parsed.error;
    }
}

TEST(BenchArguments, HelpWinsOverEverythingElse) {
    const Parsed parsed = Parse({"--handsets", "2", "-h"});
    EXPECT_TRUE(parsed.ok);
    EXPECT_TRUE(parsed.args.bHelp);
}

}  // namespace
}  // namespace vantorel::bench::test
