#include "tools/usb_vm/endpoint_aio.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>

#include <cerrno>
#include <vector>

#include "tests/support/temp_dir.h"

namespace vantorel::usb_vm {
namespace {

using link::linux_platform::UniqueFd;

// Waits for the completion descriptor as the session does; false after 5 s.
bool Completed(const EndpointAio& aio) {
    pollfd fd{aio.CompletionFd(), POLLIN, 0};
    return ::poll(&fd, 1, 5000) == 1;
}

// A regular file stands in for an endpoint file: its transfers complete at once, through
// the same completion path.
TEST(EndpointAio, OneTransferAtATimeSignalledOnItsDescriptor) {
    test::TempDir dir;
    const auto path = dir / "endpoint";
    const UniqueFd file(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    ASSERT_TRUE(file);
    EndpointAio aio;
    ASSERT_TRUE(aio.IsValid());

    std::vector<uint8_t> out = test::PatternBytes(2048, 7);
    ASSERT_TRUE(aio.Submit(file.Get(), false, out.data(), out.size()));
    EXPECT_TRUE(aio.IsBusy());
    std::vector<uint8_t> in(2048);
    EXPECT_FALSE(aio.Submit(file.Get(), true, in.data(), in.size()));
    EXPECT_EQ(errno, EBUSY);

    ASSERT_TRUE(Completed(aio));
    EXPECT_EQ(aio.TakeCompletion(), int64_t{2048});
    EXPECT_FALSE(aio.IsBusy());
    // The descriptor was read down: it does not report the same completion twice.
    EXPECT_FALSE(aio.TakeCompletion().has_value());
    pollfd idle{aio.CompletionFd(), POLLIN, 0};
    EXPECT_EQ(::poll(&idle, 1, 0), 0);

    ASSERT_TRUE(aio.Submit(file.Get(), true, in.data(), in.size()));
    ASSERT_TRUE(Completed(aio));
    EXPECT_EQ(aio.TakeCompletion(), int64_t{2048});
    EXPECT_EQ(in, out);
}

TEST(EndpointAio, AFailedTransferReportsItsErrorAndCancellingNothingIsHarmless) {
    test::TempDir dir;
    const auto path = dir / "read-only";
    { const UniqueFd create(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600)); }
    const UniqueFd readOnly(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_TRUE(readOnly);
    EndpointAio aio;
    EXPECT_TRUE(aio.CancelAndReap(std::chrono::milliseconds(10)));

    // Writing to a file opened for reading is refused at once, and nothing is in flight.
    uint8_t byte = 1;
    EXPECT_FALSE(aio.Submit(readOnly.Get(), false, &byte, 1));
    EXPECT_EQ(errno, EBADF);
    EXPECT_FALSE(aio.IsBusy());
    EXPECT_TRUE(aio.CancelAndReap(std::chrono::milliseconds(10)));
}

}  // namespace
}  // namespace vantorel::usb_vm
