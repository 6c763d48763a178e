// mdata.txt: the loading rules (fuzz/ checks hostile files).
#include "sending/fixed_strings.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestrane {
namespace {

using Strings = std::vector<std::string>;

Strings parse(const std::string& file)
{
    return parseFixedStrings(std::span(reinterpret_cast<const std::uint8_t*>(file.data()), file.size()));
}

std::string lines(int n, const std::string& prefix = "L")
{
    std::string out;
    for (int i = 0; i < n; ++i)
        out += prefix + std::to_string(i) + "\r\n";
    return out;
}

TEST(FixedStrings, TwentyFiveLinesShowTheFirstTwenty)
{
    const Strings s = parse(lines(25));
    ASSERT_EQ(s.size(), 20u);
    EXPECT_EQ(s.front(), "L0");
    EXPECT_EQ(s.back(), "L19");
}

TEST(FixedStrings, ALineLongerThan511EndsTheList)
{
    const std::string ok511(511, 'a');
    EXPECT_EQ(parse("x\r\n" + ok511 + "\r\ny\r\n"), (Strings{"x", ok511, "y"}));
    const std::string line600(600, 'b');
    EXPECT_EQ(parse("x\r\n" + line600 + "\r\ny\r\n"), (Strings{"x"}));
    EXPECT_EQ(parse("x\r\n" + std::string(512, 'c') + "\r\ny\r\n"), (Strings{"x"}));
}

TEST(FixedStrings, BlankLinesCountAndALastLineWithoutCrLfIsLeftOut)
{
    EXPECT_EQ(parse("a\r\n\r\nb\r\nlast"), (Strings{"a", "", "b"}));
    const Strings twenty = parse(lines(19) + "\r\nextra\r\n");
    ASSERT_EQ(twenty.size(), 20u);
    EXPECT_EQ(twenty.back(), "");
    // A CR as the very last byte still ends its line; the missing LF is not looked at.
    EXPECT_EQ(parse("a\r\nb\r"), (Strings{"a", "b"}));
    // The byte after a CR is skipped whatever it is.
    EXPECT_EQ(parse("a\rXb\r\n"), (Strings{"a", "b"}));
    EXPECT_TRUE(parse("").empty());
}

// A Linux editor writes LF alone: such a file reads line by line as well, also mixed with CR LF.
TEST(FixedStrings, LinesEndedByLfAloneAreRead)
{
    EXPECT_EQ(parse("a\nb\n\nc\n"), (Strings{"a", "b", "", "c"}));
    EXPECT_EQ(parse("a\r\nb\nc\r\nlast"), (Strings{"a", "b", "c"}));
    EXPECT_EQ(parse(std::string(511, 'x') + "\n" + std::string(512, 'y') + "\nz\n"), (Strings{std::string(511, 'x')}));
}

TEST(FixedStrings, ShiftJisAndQuotesPassAsTheyStand)
{
    const std::string sjis = "\x83\x65\x83\x58\x83\x67";  // テスト
    EXPECT_EQ(parse(sjis + "\r\n\"AB\"0D\r\n"), (Strings{sjis, "\"AB\"0D"}));
}

TEST(FixedStrings, OnlyTheFirst10240BytesAreRead)
{
    // 19 lines of 511 bytes take 9747 bytes with their CR LFs; a 20th line of 480 bytes has its CR
    // at 10227, one of 495 bytes at 10242, beyond what is read.
    std::string file;
    for (int i = 0; i < 19; ++i)
        file += std::string(511, static_cast<char>('a' + i)) + "\r\n";
    EXPECT_EQ(parse(file + std::string(480, 'z') + "\r\n").size(), 20u);
    EXPECT_EQ(parse(file + std::string(495, 'z') + "\r\n").size(), 19u);
}

TEST(FixedStrings, ANulByteCutsItsLineButNotTheNextOne)
{
    EXPECT_EQ(parse(std::string("ab\0cd\r\nnext\r\n", 13)), (Strings{"ab", "next"}));
}

TEST(FixedStrings, AMissingFileGivesNothingAndAFileIsReadFromTheStartFolder)
{
    test::TempDir dir;
    EXPECT_TRUE(loadFixedStrings(dir.path()).empty());
    test::writeFileBytes(dir / "mdata.txt", {'0', 'D', '0', 'A', '\r', '\n', 'h', 'i', '\r', '\n'});
    EXPECT_EQ(loadFixedStrings(dir.path()), (Strings{"0D0A", "hi"}));
}

} // namespace
} // namespace kestrane
