// Reading a file someone else named: only a regular file within the bound, never blocking.
#include "base/bounded_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "base/unique_fd.h"
#include "tests/support/temp_dir.h"

namespace vantorel {
namespace {

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(BoundedFile, ReadsARegularFileUpToTheBoundAndRefusesOneByteMore) {
    test::TempDir dir;
    const std::string bytes("1=1-2\0\xff\n2=1-3\n", 15);
    const std::string file = (dir / "map.ports").string();
    std::ofstream(file, std::ios::binary) << bytes;
    std::error_code ignored;
    std::filesystem::create_symlink(file, dir / "link.ports", ignored);

    std::string error;
    EXPECT_EQ(ReadBoundedRegularFile(file, bytes.size(), error), bytes) << error;
    EXPECT_EQ(ReadBoundedRegularFile((dir / "link.ports").string(), 64, error), bytes)
        << "a link to a regular file is that file";
    EXPECT_EQ(CheckBoundedRegularFile(file, bytes.size(), error), FileCheck::Usable);

    EXPECT_FALSE(ReadBoundedRegularFile(file, bytes.size() - 1, error));
    EXPECT_TRUE(Contains(error, "too large: 15 bytes, at most 14")) << error;
    EXPECT_EQ(CheckBoundedRegularFile(file, bytes.size() - 1, error), FileCheck::Unusable);

    std::ofstream(dir / "empty");
    EXPECT_EQ(ReadBoundedRegularFile((dir / "empty").string(), 0, error), "");
}

// A FIFO (with or without a writer), a device that never ends, a directory and a missing file
// are refused at once with what they are, and never read.
TEST(BoundedFile, RefusesAFifoADeviceADirectoryAndAMissingFileWithoutBlocking) {
    test::TempDir dir;
    const std::string fifo = (dir / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string error;
    EXPECT_FALSE(ReadBoundedRegularFile(fifo, 1024, error));
    EXPECT_EQ(error, "not a regular file but a FIFO");
    {
        // A writer that keeps it open with bytes waiting changes nothing.
        const UniqueFd reader(::open(fifo.c_str(), O_RDONLY | O_NONBLOCK));
        const UniqueFd writer(::open(fifo.c_str(), O_WRONLY | O_NONBLOCK));
        ASSERT_TRUE(reader && writer);
        ASSERT_EQ(::write(writer.Get(), "1=1-1\n", 6), 6);
        EXPECT_FALSE(ReadBoundedRegularFile(fifo, 1024, error));
    }
    EXPECT_FALSE(ReadBoundedRegularFile("/dev/zero", 1024, error));
    EXPECT_EQ(error, "not a regular file but a character device");
    EXPECT_FALSE(ReadBoundedRegularFile(dir.Path().string(), 1024, error));
    EXPECT_EQ(error, "not a regular file but a directory");

    const std::string missing = (dir / "missing").string();
    EXPECT_FALSE(ReadBoundedRegularFile(missing, 1024, error));
    EXPECT_TRUE(Contains(error, "cannot read the file (No such file or directory)")) << error;
    EXPECT_EQ(CheckBoundedRegularFile(missing, 1024, error), FileCheck::Missing);
    EXPECT_EQ(CheckBoundedRegularFile(fifo, 1024, error), FileCheck::Unusable);
}

}  // namespace
}  // namespace vantorel
