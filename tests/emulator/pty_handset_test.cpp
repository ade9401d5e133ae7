#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "emulator/handset_arguments.h"
#include "emulator/pty_handset.h"
#include "engine/boot_loader_protocol.h"
#include "engine/byte_sum.h"
#include "tests/support/temp_dir.h"

extern char** environ;

namespace vantorel::emulator {
namespace {

using namespace std::chrono_literals;
using namespace engine;
using vantorel::test::PatternBytes;
using vantorel::test::TempDir;

constexpr auto kBound = std::chrono::seconds(10);

// The station's side of the link with nothing but POSIX calls.
class RawTty {
public:
    explicit RawTty(const std::filesystem::path& path)
        : m_fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC)) {
        termios settings{};
        if (m_fd >= 0 && ::tcgetattr(m_fd, &settings) == 0) {
            ::cfmakeraw(&settings);
            ::tcsetattr(m_fd, TCSANOW, &settings);
        }
    }
    ~RawTty() { Close(); }
    RawTty(const RawTty&) = delete;
    RawTty& operator=(const RawTty&) = delete;

    bool IsOpen() const { return m_fd >= 0; }
    void Close() {
        if (m_fd >= 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }

    bool Send(const void* data, size_t length) {
        return ::write(m_fd, data, length) == static_cast<ssize_t>(length);
    }
    bool Send(std::string_view text) { return Send(text.data(), text.size()); }
    bool Command(uint32_t code, uint32_t a1 = 0, uint32_t a2 = 0, uint32_t a3 = 0) {
        Packet packet;
        BuildCommandPacket(packet, code, a1, a2, a3);
        return Send(packet.data(), packet.size());
    }

    // Up to `length` bytes, waiting at most the bound; fewer when the handset went away.
    std::string Receive(size_t length) {
        std::string received;
        const auto deadline = std::chrono::steady_clock::now() + kBound;
        while (received.size() < length && std::chrono::steady_clock::now() < deadline) {
            pollfd fd{m_fd, POLLIN, 0};
            if (::poll(&fd, 1, 100) <= 0) {
                continue;
            }
            char buffer[64];
            const ssize_t count =
                ::read(m_fd, buffer, std::min(sizeof buffer, length - received.size()));
            if (count <= 0) {
                break;  // hang-up: the master side is gone
            }
            received.append(buffer, static_cast<size_t>(count));
        }
        return received;
    }
    uint32_t ReceiveWord() {
        const std::string word = Receive(4);
        return word.size() == 4 ? LoadLe32(reinterpret_cast<const uint8_t*>(word.data())) : 0;
    }

private:
    int m_fd;
};

bool WaitForLink(const std::filesystem::path& path, bool present) {
    const auto deadline = std::chrono::steady_clock::now() + kBound;
    while (std::chrono::steady_clock::now() < deadline) {
        if (std::filesystem::is_symlink(path) == present) {
            return true;
        }
        std::this_thread::sleep_for(1ms);
    }
    return false;
}

class PtyHandsetTest : public ::testing::Test {
protected:
    TempDir dir;
    const std::filesystem::path linkPath = dir / "handset-1";
    Clock clock{0.001};
};

TEST_F(PtyHandsetTest, ServesTheProtocolThroughARealPseudoTerminal) {
    HandsetConfig config;
    config.bootLoaderVersion = "PT01";
    PtyHandset handset(linkPath, clock, config);
    handset.Plug();
    ASSERT_TRUE(handset.WaitUntilPlugged(kBound));
    ASSERT_TRUE(std::filesystem::is_symlink(linkPath));
    EXPECT_TRUE(std::filesystem::read_symlink(linkPath).string().starts_with("/dev/pts/"));

    RawTty tty(linkPath);
    ASSERT_TRUE(tty.IsOpen());
    ASSERT_TRUE(tty.Send("ATUD"));
    EXPECT_EQ(tty.Receive(4), "OKUD");
    ASSERT_TRUE(tty.Command(kCmdVersionQuery));
    EXPECT_EQ(tty.Receive(4), "10TP");

    // A transfer and its flash, packet by packet, over the byte stream.
    const std::vector<uint8_t> image = PatternBytes(3 * 2032 + 99, 8);
    for (size_t offset = 0; offset < image.size(); offset += kPacketPayloadSize) {
        const size_t length = std::min(kPacketPayloadSize, image.size() - offset);
        Packet packet{};
        std::copy_n(image.begin() + static_cast<ptrdiff_t>(offset), length, PayloadOf(packet));
        const uint32_t sum =
            SealDataPacket(packet, static_cast<uint32_t>(offset), static_cast<uint32_t>(length));
        ASSERT_TRUE(tty.Send(packet.data(), packet.size()));
        ASSERT_EQ(tty.ReceiveWord(), sum);
    }
    const uint32_t sum = ByteSum(image.data(), image.size());
    ASSERT_TRUE(tty.Command(kCmdFlashPhone, 0, static_cast<uint32_t>(image.size()), sum));
    EXPECT_EQ(tty.ReceiveWord(), sum);
    EXPECT_EQ(tty.Receive(16), std::string("OKU\x0a") + "OKU\x37" + "OKU\x64" + "OKDN");
    EXPECT_EQ(tty.Receive(4), "OKUD");

    // The station may close the link and open it again; the handset is still there.
    tty.Close();
    RawTty again(linkPath);
    ASSERT_TRUE(again.Command(kCmdVersionQuery));
    EXPECT_EQ(again.Receive(4), "10TP");
    const FlashRecord record = handset.Record();
    ASSERT_TRUE(record.phone);
    EXPECT_EQ(record.phone->bytes, image);
}

TEST_F(PtyHandsetTest, ARebootRecreatesTheLinkAndAnUnplugRemovesIt) {
    PtyHandset handset(linkPath, clock);
    handset.Plug();
    ASSERT_TRUE(handset.WaitUntilPlugged(kBound));
    {
        RawTty tty(linkPath);
        ASSERT_TRUE(tty.Send("ATUD"));
        ASSERT_EQ(tty.Receive(4), "OKUD");
        ASSERT_TRUE(tty.Command(kCmdReboot, kLaunchAddress));
        EXPECT_EQ(tty.Receive(4), "") << "the old pseudo-terminal hangs up";
    }
    ASSERT_TRUE(handset.WaitForReboots(1, kBound));
    ASSERT_TRUE(handset.WaitUntilPlugged(kBound));
    ASSERT_TRUE(std::filesystem::is_symlink(linkPath));
    RawTty tty(linkPath);
    ASSERT_TRUE(tty.Send("ATUD"));
    EXPECT_EQ(tty.Receive(4), "OKUD") << "a fresh boot loader waits for the greeting";

    handset.Unplug();
    EXPECT_FALSE(std::filesystem::is_symlink(linkPath));
    EXPECT_EQ(tty.Receive(4), "");
    handset.Plug();
    EXPECT_TRUE(WaitForLink(linkPath, true));
}

TEST_F(PtyHandsetTest, ALaunchedHandsetTakesItsLinkAwayForGood) {
    PtyHandset handset(linkPath, clock);
    handset.Plug();
    ASSERT_TRUE(handset.WaitUntilPlugged(kBound));
    RawTty tty(linkPath);
    ASSERT_TRUE(tty.Send("ATUD"));
    ASSERT_EQ(tty.Receive(4), "OKUD");
    ASSERT_TRUE(tty.Command(kCmdLaunch, kLaunchAddress));
    ASSERT_TRUE(handset.WaitUntilLeft(kBound));
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(std::filesystem::is_symlink(linkPath));
    EXPECT_TRUE(handset.Record().launched);
}

TEST_F(PtyHandsetTest, TheProgramServesHandsetsInAnotherProcessUntilTerminated) {
    const std::filesystem::path second = dir / "handset-2";
    const std::string output = (dir / "out.txt").string();
    std::vector<std::string> args{VANTOREL_PTY_HANDSET_PATH,
                                  "--clock-scale",
                                  "0.001",
                                  "--eboot-version",
                                  "PG01",
                                  "--link",
                                  linkPath.string(),
                                  "--eboot-version",
                                  "PG02",
                                  "--link",
                                  second.string()};
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    ASSERT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);

    ASSERT_TRUE(WaitForLink(linkPath, true));
    ASSERT_TRUE(WaitForLink(second, true));
    for (const auto& [path, version] : {std::pair{linkPath, "10GP"}, std::pair{second, "20GP"}}) {
        RawTty tty(path);
        ASSERT_TRUE(tty.Send("ATUD"));
        EXPECT_EQ(tty.Receive(4), "OKUD");
        ASSERT_TRUE(tty.Command(kCmdVersionQuery));
        EXPECT_EQ(tty.Receive(4), version);
    }

    ::kill(pid, SIGTERM);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_FALSE(std::filesystem::is_symlink(linkPath));
    EXPECT_FALSE(std::filesystem::is_symlink(second));
    std::ifstream report(output);
    const std::string text((std::istreambuf_iterator<char>(report)), {});
    EXPECT_NE(text.find("handset " + second.string() + "\nsessions=1 greetings=1"),
              std::string::npos)
        << text;
}

TEST(HandsetArgumentsTest, SettingsStayInForceForTheLinksThatFollow) {
    PtyHandsetProgram program;
    std::string error;
    ASSERT_TRUE(ParseHandsetArguments({"--clock-scale",
                                       "0.5",
                                       "--protocol-version",
                                       "17",
                                       "--smd-range",
                                       "3:2",
                                       "--link",
                                       "/a",
                                       "--progress",
                                       "",
                                       "--download-base",
                                       "0x80000",
                                       "--unplug-at",
                                       "9",
                                       "--stall-flash",
                                       "1001:1",
                                       "--greeting-wrong",
                                       "2",
                                       "--digest",
                                       "--link",
                                       "/b",
                                       "--clear-faults",
                                       "--no-smd-ranges",
                                       "--link",
                                       "/c"},
                                      program, error))
        << error;
    EXPECT_EQ(program.clockScale, 0.5);
    ASSERT_EQ(program.handsets.size(), 3u);
    const PtyHandsetSpec& a = program.handsets[0];
    const PtyHandsetSpec& b = program.handsets[1];
    const PtyHandsetSpec& c = program.handsets[2];
    EXPECT_EQ(a.config.protocolVersion, 17u);
    EXPECT_EQ(a.config.smdRanges, (std::vector<SmdRange>{{3, 2}}));
    EXPECT_EQ(a.config.flashProgress.size(), 3u);
    EXPECT_FALSE(a.faults.unplugAtPacket);
    EXPECT_TRUE(b.config.flashProgress.empty());
    EXPECT_EQ(b.config.downloadBase, 0x80000u);
    EXPECT_EQ(b.config.recordMode, RecordMode::Digest);
    EXPECT_EQ(b.faults.unplugAtPacket, 9u);
    EXPECT_EQ(b.faults.flashProgressStallAfter.at(1001), 1u);
    EXPECT_EQ(b.faults.greetingFailures, 2u);
    EXPECT_EQ(b.faults.greetingFailure, GreetingFailure::WrongAnswer);
    EXPECT_FALSE(c.faults.unplugAtPacket);
    EXPECT_TRUE(c.config.smdRanges.empty());
    EXPECT_EQ(c.linkPath, "/c");
}

TEST(HandsetArgumentsTest, RefusesWhatItDoesNotUnderstand) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{},
                                               {"--link"},
                                               {"--bogus", "1", "--link", "/a"},
                                               {"--protocol-version", "x", "--link", "/a"},
                                               {"--smd-range", "3", "--link", "/a"},
                                               {"--eboot-version", "TOOLONG", "--link", "/a"},
                                               {"--progress", "10,300", "--link", "/a"}}) {
        PtyHandsetProgram program;
        std::string error;
        EXPECT_FALSE(ParseHandsetArguments(args, program, error));
        EXPECT_FALSE(error.empty());
    }
}

}  // namespace
}  // namespace vantorel::emulator
