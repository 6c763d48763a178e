// macro.dat: the 5120-byte image of the 20-entry table, the 176-byte cut of entry 20, adding
// and removing entries.
#include "macro/macro_list.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace kestrane {
namespace {

using test::TempDir;

std::string pathOfLength(std::size_t n, char fill)
{
    std::string p = "/m/";
    p.resize(n, fill);
    return p;
}

TEST(MacroFileList, TwentyEntriesSurviveARestartAndTheLastPathIsCutAt176)
{
    TempDir dir;
    MacroFileList list;
    for (int i = 0; i < 19; ++i)
        ASSERT_EQ(list.add("/work/macro/file" + std::to_string(i) + ".txt"), MacroListAdd::Added);
    const std::string longPath = pathOfLength(200, 'z');
    ASSERT_EQ(list.add(longPath), MacroListAdd::Added);
    EXPECT_EQ(list.add("/one/more.txt"), MacroListAdd::Full);
    ASSERT_TRUE(list.save(dir.path()));

    const auto file = test::readFileBytes(dir / "macro.dat");
    ASSERT_EQ(file.size(), 5120u);
    EXPECT_EQ(file[19 * 260], 1);  // entry 20's in-use word, little-endian
    EXPECT_EQ(file[19 * 260 + 4], '/');
    EXPECT_EQ(file[5119], 'z');

    MacroFileList back;
    ASSERT_TRUE(back.load(dir.path()));
    const auto paths = back.shownPaths();
    ASSERT_EQ(paths.size(), 20u);
    EXPECT_EQ(paths[7], "/work/macro/file7.txt");
    EXPECT_EQ(paths[19], longPath.substr(0, 176));
    EXPECT_EQ(back.image(), list.image());

    // A 20th path of at most 176 bytes comes back whole.
    MacroFileList shortLast = list;
    shortLast.removeShown(19);
    ASSERT_EQ(shortLast.add(pathOfLength(176, 'q')), MacroListAdd::Added);
    ASSERT_TRUE(shortLast.save(dir.path()));
    ASSERT_TRUE(back.load(dir.path()));
    EXPECT_EQ(back.shownPaths()[19], pathOfLength(176, 'q'));
}

TEST(MacroFileList, AddingTheSamePathTwiceKeepsOneEntry)
{
    MacroFileList list;
    EXPECT_EQ(list.add("/a.txt"), MacroListAdd::Added);
    EXPECT_EQ(list.add("/a.txt"), MacroListAdd::AlreadyListed);
    EXPECT_EQ(list.add("/a.txt "), MacroListAdd::Added);  // compared exactly
    EXPECT_EQ(list.shownPaths(), (std::vector<std::string>{"/a.txt", "/a.txt "}));
    EXPECT_EQ(list.add(std::string(256, 'p')), MacroListAdd::TooLong);
    EXPECT_EQ(list.add(std::string(255, 'p')), MacroListAdd::Added);
}

TEST(MacroFileList, RemovingEntry3Of5MovesTheLaterOnesUp)
{
    MacroFileList list;
    for (const char* p : {"/1", "/2", "/3", "/4", "/5"})
        list.add(p);
    list.removeShown(2);
    EXPECT_EQ(list.shownPaths(), (std::vector<std::string>{"/1", "/2", "/4", "/5"}));
    EXPECT_EQ(list.entries()[3].pathText(), "/5");
    EXPECT_EQ(list.entries()[4].inUse, 0);
    list.removeShown(9);  // no such entry: nothing happens
    EXPECT_EQ(list.shownPaths().size(), 4u);
}

TEST(MacroFileList, AFileWithGapsMapsTheShownEntriesToTheirOwnRows)
{
    std::vector<std::uint8_t> image(5120, 0);
    image[260] = 1;  // entry 2 in use, entry 1 not
    image[264] = 'B';
    image[3 * 260] = 1;
    image[3 * 260 + 4] = 'D';
    image[4] = 'X';  // a path left in an unused entry is not shown and does not block adding
    MacroFileList list;
    list.parse(image);
    EXPECT_EQ(list.shownPaths(), (std::vector<std::string>{"B", "D"}));
    EXPECT_EQ(list.entryOfShown(1), 3u);
    list.removeShown(1);
    EXPECT_EQ(list.shownPaths(), (std::vector<std::string>{"B"}));
    EXPECT_EQ(list.add("X"), MacroListAdd::Added);
    EXPECT_EQ(list.shownPaths(), (std::vector<std::string>{"X", "B"}));
}

TEST(MacroFileList, ShortMissingAndHostileFiles)
{
    TempDir dir;
    MacroFileList list;
    EXPECT_FALSE(list.load(dir.path()));
    EXPECT_TRUE(list.shownPaths().empty());

    // A short file fills the table from its start.
    std::vector<std::uint8_t> shortFile(10, 0);
    shortFile[0] = 1;
    shortFile[4] = '/';
    shortFile[5] = 'x';
    test::writeFileBytes(dir / "macro.dat", shortFile);
    ASSERT_TRUE(list.load(dir.path()));
    EXPECT_EQ(list.shownPaths(), std::vector<std::string>{"/x"});

    // Paths without a terminating NUL stop at the 256 bytes of their entry.
    std::vector<std::uint8_t> full(7000, 'k');
    test::writeFileBytes(dir / "macro.dat", full);
    ASSERT_TRUE(list.load(dir.path()));
    const auto paths = list.shownPaths();
    ASSERT_EQ(paths.size(), 20u);
    EXPECT_EQ(paths[0].size(), 256u);
    EXPECT_EQ(paths[19].size(), 176u);
}

TEST(MacroFileList, AnUnwritableFolderLeavesTheListUnsaved)
{
    MacroFileList list;
    list.add("/a");
    EXPECT_FALSE(list.save("/nonexistent-folder/for/kestrane"));
}

} // namespace
} // namespace kestrane
