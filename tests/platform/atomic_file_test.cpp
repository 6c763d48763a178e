#include "platform/atomic_file.h"
#include "support/file_size_limit.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <vector>

namespace kestrane {
namespace {

using test::readFileBytes;
using test::TempDir;
using test::writeFileBytes;

std::vector<std::uint8_t> bytesOf(std::size_t n, std::uint8_t v) { return std::vector<std::uint8_t>(n, v); }

bool onlyFileIn(const std::filesystem::path& dir, const std::string& name)
{
    int count = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
        ++count;
        if (e.path().filename() != name)
            return false;
    }
    return count == 1;
}

TEST(AtomicFile, PiecesFollowEachOtherAndNoTemporaryFileRemains)
{
    TempDir dir;
    const std::vector<std::uint8_t> a{1, 2, 3}, b{}, c{4, 5};
    ASSERT_TRUE(writeFileAtomically(dir / "f.dat", {a, b, c}));
    EXPECT_EQ(readFileBytes(dir / "f.dat"), (std::vector<std::uint8_t>{1, 2, 3, 4, 5}));
    EXPECT_TRUE(onlyFileIn(dir.path(), "f.dat"));
}

TEST(AtomicFile, AFullDiskMidWriteLeavesTheOldFileWhole)
{
    TempDir dir;
    writeFileBytes(dir / "f.dat", bytesOf(600, 0xAA));
    const auto next = bytesOf(2000, 0x55);
    {
        test::FileSizeLimit limit(1000);
        EXPECT_FALSE(writeFileAtomically(dir / "f.dat", {next}));
    }
    EXPECT_EQ(readFileBytes(dir / "f.dat"), bytesOf(600, 0xAA));
    EXPECT_TRUE(onlyFileIn(dir.path(), "f.dat"));
}

TEST(AtomicFile, AFolderThatCannotBeWrittenChangesNothing)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders";
    TempDir dir;
    writeFileBytes(dir / "f.dat", bytesOf(10, 1));
    std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    EXPECT_FALSE(writeFileAtomically(dir / "f.dat", {bytesOf(4, 2)}));
    std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_all);
    EXPECT_EQ(readFileBytes(dir / "f.dat"), bytesOf(10, 1));
}

TEST(AtomicFile, ALinkIsFollowedAndTheModeKept)
{
    TempDir dir;
    std::filesystem::create_directory(dir / "real");
    writeFileBytes(dir / "real" / "f.dat", bytesOf(3, 1));
    ::chmod((dir / "real" / "f.dat").c_str(), 0640);
    std::filesystem::create_symlink(dir / "real" / "f.dat", dir / "link.dat");

    ASSERT_TRUE(writeFileAtomically(dir / "link.dat", {bytesOf(5, 9)}));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.dat"));
    EXPECT_EQ(readFileBytes(dir / "real" / "f.dat"), bytesOf(5, 9));
    struct stat st {};
    ASSERT_EQ(::stat((dir / "real" / "f.dat").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(AtomicFile, ANewFileGetsTheUsualModeNotTheTemporaryOne)
{
    TempDir dir;
    const mode_t old = ::umask(022);
    const bool ok = writeFileAtomically(dir / "n.dat", {bytesOf(1, 0)});
    ::umask(old);
    ASSERT_TRUE(ok);
    struct stat st {};
    ASSERT_EQ(::stat((dir / "n.dat").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
}

} // namespace
} // namespace kestrane
