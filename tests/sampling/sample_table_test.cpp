// Sampling without threads or windows: which bytes a field takes, the line format, the row
// limit, the take-over by the view and the save file.
#include "sampling/sample_table.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace kestrane {
namespace {

using test::TempDir;

SamplingSettings fields(std::vector<SamplingField> list)
{
    SamplingSettings s;
    s.samplingCount = static_cast<std::int32_t>(list.size());
    for (std::size_t i = 0; i < list.size() && i < s.samplingFields.size(); ++i)
        s.samplingFields[i] = list[i];
    return s;
}

// The chunk in a buffer of exactly its own size, so a read past it is a fault the sanitizers see.
void take(SampleTable& t, const std::string& chunk)
{
    const std::vector<std::uint8_t> bytes(chunk.begin(), chunk.end());
    t.takeSample(bytes.data(), bytes.size());
}

std::string onlyRowLine(SampleTable& t)
{
    const auto taken = t.takeOver();
    return taken ? taken->line : "<none>";
}

TEST(SampleFields, WhatEachFieldTakesFromAChunk)
{
    struct Case {
        const char* what;
        std::vector<SamplingField> fields;
        std::string chunk;
        std::string line;
    };
    const std::string stxFrame = std::string("\x02" "ABC,42\x03");
    const Case cases[] = {
        {"STX A B C , 4 2 ETX", {{1, 3}, {5, 2}}, stxFrame, "0,ABC,42"},
        {"field beyond the bytes read is empty", {{1, 3}, {20, 4}}, stxFrame, "0,ABC,"},
        {"field partly beyond keeps what was read", {{5, 10}}, stxFrame, "0,42\x03"},
        {"a zero byte cuts the field", {{0, 6}}, std::string("AB\0CD", 5), "0,AB"},
        {"a zero byte first gives an empty field", {{0, 3}, {1, 1}}, std::string("\0X", 2), "0,,X"},
        {"position 300 of a full read is empty", {{300, 20}, {80, 20}}, std::string(100, 'z'), "0,," + std::string(20, 'z')},
        {"a stored length above 20 takes 20", {{0, 25}}, std::string(40, 'q'), "0," + std::string(20, 'q')},
        {"negative position takes nothing", {{-2, 5}, {0, 2}}, "hello", "0,,he"},
        {"negative length takes nothing", {{0, -1}, {1, 0}}, "hello", "0,,"},
        {"fields may overlap", {{0, 3}, {1, 3}, {2, 3}}, "abcdef", "0,abc,bcd,cde"},
        {"all five fields", {{0, 1}, {1, 1}, {2, 1}, {3, 1}, {4, 1}}, "12345", "0,1,2,3,4,5"},
        {"one byte read", {{0, 20}}, "x", "0,x"},
    };
    for (const Case& c : cases) {
        SampleTable t;
        t.configure(fields(c.fields));
        take(t, c.chunk);
        EXPECT_EQ(onlyRowLine(t), c.line) << c.what;
    }
}

TEST(SampleFields, StoredCountsOutsideOneToFive)
{
    SampleTable t;
    SamplingSettings s = fields({{0, 1}, {1, 1}, {2, 1}, {3, 1}, {4, 1}});
    s.samplingCount = 9;  // a settings file may hold anything: five fields at most
    t.configure(s);
    EXPECT_EQ(t.fieldCount(), 5);
    take(t, "abcdefg");
    EXPECT_EQ(onlyRowLine(t), "0,a,b,c,d,e");

    for (std::int32_t off : {0, -3}) {
        s.samplingCount = off;
        t.configure(s);
        take(t, "abc");
        EXPECT_EQ(t.samplesStored(), 1) << "sampling off takes nothing";
        EXPECT_FALSE(t.takeOver().has_value());
    }
}

TEST(SampleFields, OneRowPerReadAndTheViewTakesOneRowPerTick)
{
    SampleTable t;
    t.configure(fields({{0, 2}}));
    take(t, "A1");
    take(t, "B2");
    take(t, "C3");
    EXPECT_EQ(t.samplesStored(), 3);
    EXPECT_EQ(t.samplesShown(), 0);
    const auto first = t.takeOver();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->row, 0);
    EXPECT_EQ(first->line, "0,A1");
    EXPECT_EQ(t.samplesShown(), 1);
    EXPECT_EQ(t.takeOver()->line, "1,B2");
    EXPECT_EQ(t.takeOver()->line, "2,C3");
    EXPECT_FALSE(t.takeOver());
    EXPECT_EQ(t.shownLines(), (std::vector<std::string>{"0,A1", "1,B2", "2,C3"}));
    EXPECT_EQ(t.shownLines(2), (std::vector<std::string>{"2,C3"}));
}

TEST(SampleFields, TenThousandSamplesFillRowsUpTo9998AndThenOverwriteRow9999)
{
    SampleTable t;
    t.configure(fields({{0, 6}}));
    char text[12];
    for (int i = 0; i < 10050; ++i) {
        std::snprintf(text, sizeof text, "%06d", i);
        take(t, text);
    }
    EXPECT_EQ(t.samplesStored(), 9999);
    std::vector<std::int32_t> rows;
    while (const auto taken = t.takeOver())
        rows.push_back(taken->row);
    ASSERT_EQ(rows.size(), 9999u);
    EXPECT_EQ(rows.front(), 0);
    EXPECT_EQ(rows.back(), 9998);
    EXPECT_EQ(t.samplesShown(), 9999);
    EXPECT_FALSE(t.takeOver()) << "no row is shown after 9998";
    EXPECT_EQ(t.fieldText(9998, 0), "009998");
    EXPECT_EQ(t.fieldText(9999, 0), "010049") << "the last sample overwrote row 9999";
    take(t, "zzzzzz");
    EXPECT_EQ(t.fieldText(9999, 0), "zzzzzz");
    EXPECT_EQ(t.shownLines().size(), 9999u);
    EXPECT_EQ(t.shownLines().back(), "9998,009998");
}

TEST(SampleFields, ClearEmptiesRowsAndCounters)
{
    SampleTable t;
    t.configure(fields({{0, 3}}));
    take(t, "abc");
    take(t, "def");
    (void)t.takeOver();
    const auto clears = t.clears();
    t.clear();
    EXPECT_EQ(t.clears(), clears + 1);
    EXPECT_EQ(t.samplesStored(), 0);
    EXPECT_EQ(t.samplesShown(), 0);
    EXPECT_EQ(t.fieldText(0, 0), "");
    EXPECT_EQ(t.fieldText(1, 0), "");
    EXPECT_TRUE(t.shownLines().empty());
    take(t, "ghi");
    EXPECT_EQ(onlyRowLine(t), "0,ghi");
}

TEST(SampleFields, LinesFollowTheCurrentFieldCount)
{
    SampleTable t;
    t.configure(fields({{0, 1}, {1, 1}}));
    take(t, "xy");
    (void)t.takeOver();
    SamplingSettings one = fields({{0, 1}});
    t.configure(one);
    EXPECT_EQ(t.shownLines(), (std::vector<std::string>{"0,x"}));
    one.samplingCount = 0;
    t.configure(one);
    EXPECT_EQ(t.shownLines(), (std::vector<std::string>{"0,"})) << "the view lists the rows without fields";
    EXPECT_TRUE(t.saveLines().empty()) << "with sampling off nothing is saved";
}

TEST(SampleFile, LinesEndWithCrLfAndReplaceAnExistingFile)
{
    TempDir dir;
    const auto file = dir / "samples.txt";
    test::writeFileBytes(file, std::vector<std::uint8_t>(5000, 'x'));
    ASSERT_TRUE(writeSampleFile(file, {"0,ABC,42", "1,\x82\xa0,"}));
    const std::string expected = "0,ABC,42\r\n1,\x82\xa0,\r\n";
    EXPECT_EQ(test::readFileBytes(file), std::vector<std::uint8_t>(expected.begin(), expected.end()));
    ASSERT_TRUE(writeSampleFile(file, {}));
    EXPECT_TRUE(test::readFileBytes(file).empty()) << "saving nothing writes an empty file";
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1) << "no temporary file left";
}

} // namespace
} // namespace kestrane
