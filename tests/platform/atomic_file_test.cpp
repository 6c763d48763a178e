#include "platform/atomic_file.h"
#include "support/file_size_limit.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <string>
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
        const FileWriteResult r = writeFileAtomically(dir / "f.dat", {next});
        EXPECT_FALSE(r);
        EXPECT_EQ(r.systemError, EFBIG) << "the reason travels with the failure";
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

// The order of the steps: the data reaches the disk before the new name does, so a crash
// right after the rename never leaves an empty file where the old one was.
TEST(AtomicFile, FlushesBeforeItRenamesAndRemovesTheTemporaryFileOnAnyFailure)
{
    TempDir dir;
    std::vector<std::string> steps;
    const FileWriteOps& real = systemFileWriteOps();
    int failAt = -1;  // index of the step that fails
    const auto step = [&](const char* name) {
        steps.emplace_back(name);
        if (static_cast<int>(steps.size()) - 1 == failAt) {
            errno = ENOSPC;
            return true;
        }
        return false;
    };
    FileWriteOps ops;
    ops.create = [&](const char* p, mode_t m) { return step("create") ? -1 : real.create(p, m); };
    ops.write = [&](int fd, const void* b, std::size_t n) { return step("write") ? -1 : real.write(fd, b, n); };
    ops.flush = [&](int fd) { return step("flush") ? -1 : real.flush(fd); };
    ops.close = [&](int fd) { return step("close") ? (real.close(fd), -1) : real.close(fd); };
    ops.rename = [&](const char* a, const char* b) { return step("rename") ? -1 : real.rename(a, b); };
    ops.remove = [&](const char* p) { steps.emplace_back("remove"); return real.remove(p); };

    ASSERT_TRUE(writeFileAtomically(dir / "f.dat", {bytesOf(3, 7)}, ops));
    EXPECT_EQ(steps, (std::vector<std::string>{"create", "write", "flush", "close", "rename"}));
    for (failAt = 1; failAt <= 4; ++failAt) {
        steps.clear();
        const FileWriteResult r = writeFileAtomically(dir / "f.dat", {bytesOf(5, 1)}, ops);
        EXPECT_EQ(r.systemError, ENOSPC) << failAt;
        EXPECT_EQ(steps.back(), "remove") << failAt;
        EXPECT_EQ(readFileBytes(dir / "f.dat"), bytesOf(3, 7)) << failAt;
        EXPECT_TRUE(onlyFileIn(dir.path(), "f.dat")) << failAt;
    }
}

} // namespace
} // namespace kestrane
