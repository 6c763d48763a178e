// The log file format and the buffer's save and load: byte layout, round trips, short and
// hostile files.
#include "traffic/log_file.h"

#include "platform/le_bytes.h"
#include "support/file_size_limit.h"
#include "support/temp_dir.h"
#include "records/settings_records.h"
#include "traffic/traffic_buffer.h"
#include "traffic_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>

namespace kestrane {
namespace {

using test::pattern;
using test::readFileBytes;
using test::receive;
using test::send;
using test::storedData;
using test::storedTags;
using test::writeFileBytes;

using PlaneArray = std::array<std::uint8_t, kTrafficPlaneSize>;

std::unique_ptr<PlaneArray> planeOf(unsigned seed)
{
    auto p = std::make_unique<PlaneArray>();
    const std::string s = pattern(p->size(), seed);
    std::copy(s.begin(), s.end(), p->begin());
    return p;
}

std::vector<std::uint8_t> logImage(std::int32_t length, std::size_t size, std::uint8_t fill)
{
    std::vector<std::uint8_t> file(size, fill);
    if (size >= 4)
        le::putI32(file, 0, length);
    return file;
}

// ---------------------------------------------------------------- the file functions

TEST(LogFile, WriteThenReadRestoresBothPlanesByteForByte)
{
    test::TempDir dir;
    const auto tags = planeOf(1);
    const auto data = planeOf(2);
    ASSERT_TRUE(writeLogFile(dir / "a.log", 12345, *tags, *data));

    const auto file = readFileBytes(dir / "a.log");
    ASSERT_EQ(file.size(), kLogFileSize);
    EXPECT_EQ(file[0], 0x39);  // 12345 = 0x3039, little-endian
    EXPECT_EQ(file[1], 0x30);
    EXPECT_EQ(file[2], 0);
    EXPECT_EQ(file[3], 0);
    EXPECT_TRUE(std::equal(tags->begin(), tags->end(), file.begin() + 4));
    EXPECT_TRUE(std::equal(data->begin(), data->end(), file.begin() + 4 + kTrafficPlaneSize));

    auto tagsBack = std::make_unique<PlaneArray>();
    auto dataBack = std::make_unique<PlaneArray>();
    EXPECT_EQ(readLogFile(dir / "a.log", *tagsBack, *dataBack), 12345);
    EXPECT_EQ(*tagsBack, *tags);
    EXPECT_EQ(*dataBack, *data);
}

TEST(LogFile, WriteFailsWhenTheFileCannotBeCreated)
{
    test::TempDir dir;
    const auto plane = planeOf(0);
    EXPECT_FALSE(writeLogFile(dir / "missing" / "a.log", 0, *plane, *plane));
}

TEST(LogFile, AWriteThatFailsMidwayLeavesTheOldLogWhole)
{
    test::TempDir dir;
    const auto old = planeOf(1);
    ASSERT_TRUE(writeLogFile(dir / "a.log", 77, *old, *old));
    const auto before = test::readFileBytes(dir / "a.log");
    const auto next = planeOf(2);
    {
        test::FileSizeLimit limit(40000);  // the disk fills inside the data plane
        EXPECT_FALSE(writeLogFile(dir / "a.log", 88, *next, *next));
    }
    EXPECT_EQ(test::readFileBytes(dir / "a.log"), before);
}

TEST(LogFile, ShortFileLoadsWhatItHoldsAndKeepsTheRest)
{
    test::TempDir dir;
    auto tags = planeOf(1);
    auto data = planeOf(2);
    const auto oldTags = *tags;
    const auto oldData = *data;

    // Into the data plane: the whole tag plane and 10 data bytes.
    writeFileBytes(dir / "s.log", logImage(40, 4 + kTrafficPlaneSize + 10, 'q'));
    EXPECT_EQ(readLogFile(dir / "s.log", *tags, *data), 40);
    EXPECT_TRUE(std::all_of(tags->begin(), tags->end(), [](std::uint8_t b) { return b == 'q'; }));
    EXPECT_TRUE(std::all_of(data->begin(), data->begin() + 10, [](std::uint8_t b) { return b == 'q'; }));
    EXPECT_TRUE(std::equal(data->begin() + 10, data->end(), oldData.begin() + 10));

    // Ending inside the tag plane: the data plane is untouched.
    *tags = oldTags;
    *data = oldData;
    writeFileBytes(dir / "t.log", logImage(3, 4 + 100, 'z'));
    EXPECT_EQ(readLogFile(dir / "t.log", *tags, *data), 3);
    EXPECT_TRUE(std::all_of(tags->begin(), tags->begin() + 100, [](std::uint8_t b) { return b == 'z'; }));
    EXPECT_TRUE(std::equal(tags->begin() + 100, tags->end(), oldTags.begin() + 100));
    EXPECT_EQ(*data, oldData);
}

TEST(LogFile, StoredLengthIsHeldInsideThePlane)
{
    test::TempDir dir;
    auto tags = std::make_unique<PlaneArray>();
    auto data = std::make_unique<PlaneArray>();
    const std::int32_t cases[][2] = {
        {-1, 0}, {INT32_MIN, 0}, {0, 0}, {36000, 36000}, {36001, 36000}, {INT32_MAX, 36000}};
    for (const auto& c : cases) {
        writeFileBytes(dir / "h.log", logImage(c[0], kLogFileSize, ' '));
        EXPECT_EQ(readLogFile(dir / "h.log", *tags, *data), c[1]) << c[0];
    }
}

TEST(LogFile, FilesWithoutAWholeLengthDoNotLoad)
{
    test::TempDir dir;
    auto tags = planeOf(1);
    auto data = planeOf(2);
    const auto oldTags = *tags;
    const auto oldData = *data;
    for (std::size_t size : {0u, 2u, 3u}) {
        writeFileBytes(dir / "x.log", std::vector<std::uint8_t>(size, 0x41));
        EXPECT_FALSE(readLogFile(dir / "x.log", *tags, *data).has_value()) << size;
    }
    EXPECT_FALSE(readLogFile(dir / "none.log", *tags, *data).has_value());
    EXPECT_FALSE(readLogFile(dir.path(), *tags, *data).has_value());  // a folder
    EXPECT_EQ(*tags, oldTags);
    EXPECT_EQ(*data, oldData);
}

TEST(LogFile, AutomaticLogNamesArePrefixPlusDecimalCounter)
{
    EXPECT_EQ(autoLogPath("/s/log", "Log", 0), std::filesystem::path("/s/log/Log0.log"));
    EXPECT_EQ(autoLogPath("/s/log", "Log", 120), std::filesystem::path("/s/log/Log120.log"));
    EXPECT_EQ(autoLogPath("/s/log", "", 7), std::filesystem::path("/s/log/7.log"));
}

TEST(LogFile, AutomaticLogsStayInsideTheLogFolderWhateverThePrefix)
{
    const std::filesystem::path folder("/s/log");
    for (const char* prefix : {"/x", "../x", "../../etc/x", "a/b", "/", "..", ".", "x/../../y"}) {
        const auto path = autoLogPath(folder, prefix, 3);
        EXPECT_EQ(path.parent_path(), folder) << prefix;
        EXPECT_EQ(path.lexically_normal().parent_path(), folder) << prefix;
    }
    EXPECT_EQ(autoLogPath(folder, "../x", 3), folder / ".._x3.log");
    EXPECT_EQ(autoLogPath(folder, "/x", 0), folder / "_x0.log");
}

// ---------------------------------------------------------------- the buffer's save and load

class BufferLogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        config.ch2Mode = Ch2Mode::Independent;
        buffer->configure(config);
        buffer->clearTraffic();
    }

    test::FixedClock clock;
    std::unique_ptr<TrafficBuffer> buffer = std::make_unique<TrafficBuffer>(clock);
    TrafficConfig config;
    test::TempDir dir;
};

TEST_F(BufferLogTest, EmptyBufferSavesAFullSizeFileWithZeroLength)
{
    ASSERT_TRUE(buffer->saveToLog(dir / "empty.log"));
    const auto file = readFileBytes(dir / "empty.log");
    ASSERT_EQ(file.size(), kLogFileSize);
    EXPECT_EQ(file[0], 0);
    EXPECT_EQ(file[1], 0);
    EXPECT_EQ(file[2], 0);
    EXPECT_EQ(file[3], 0);
}

TEST_F(BufferLogTest, SavedAtSmallCapacityLoadsTheSameAtFullCapacity)
{
    config.bufferSize = 200;
    buffer->configure(config);
    for (unsigned i = 0; i < 150; ++i) {  // past one half drop
        receive(*buffer, 1 + static_cast<int>(i % 2), pattern(90, i));
        send(*buffer, 1, pattern(10, i + 1000));
    }
    buffer->setUntitledLog(true);
    buffer->setUnsavedData(true);
    ASSERT_TRUE(buffer->saveToLog(dir / "small.log"));
    EXPECT_FALSE(buffer->untitledLog());
    EXPECT_FALSE(buffer->unsavedData());

    auto other = std::make_unique<TrafficBuffer>(clock);
    other->clearTraffic();
    other->markDrawn(17, DrawCursor{other->drawX(), other->drawY()});
    other->setUnsavedData(true);
    ASSERT_TRUE(other->loadFromLog(dir / "small.log"));
    EXPECT_EQ(other->capacity(), 36000);
    EXPECT_EQ(other->storedLength(), buffer->storedLength());
    EXPECT_EQ(storedTags(*other), storedTags(*buffer));
    EXPECT_EQ(storedData(*other), storedData(*buffer));
    EXPECT_TRUE(std::ranges::equal(other->currentTagPlane(), buffer->currentTagPlane()));
    EXPECT_TRUE(std::ranges::equal(other->currentDataPlane(), buffer->currentDataPlane()));
    EXPECT_EQ(other->drawPosition(), other->storedLength());  // the loaded bytes count as drawn
    EXPECT_FALSE(other->untitledLog());
    EXPECT_FALSE(other->unsavedData());
}

TEST_F(BufferLogTest, SaveAndLoadUseTheCurrentPage)
{
    config.autoLogging = 1;
    buffer->configure(config);
    receive(*buffer, 1, "zero");
    buffer->startPagesAt(1);
    receive(*buffer, 1, "one!");
    buffer->startPagesAt(2);  // page 0 again

    ASSERT_TRUE(buffer->saveToLog(dir / "p.log"));
    const auto file = readFileBytes(dir / "p.log");
    EXPECT_TRUE(std::equal(buffer->plane(3).begin(), buffer->plane(3).end(), file.begin() + 4 + kTrafficPlaneSize));

    buffer->startPagesAt(3);
    ASSERT_TRUE(buffer->loadFromLog(dir / "p.log"));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer->plane(5).data()), 4), "zero");
}

TEST_F(BufferLogTest, FailedSaveOrLoadLeavesTheFlagsAlone)
{
    receive(*buffer, 1, "abc");
    buffer->setUnsavedData(true);
    EXPECT_FALSE(buffer->saveToLog(dir / "missing" / "a.log"));
    writeFileBytes(dir / "two.log", {1, 2});
    EXPECT_FALSE(buffer->loadFromLog(dir / "two.log"));
    EXPECT_TRUE(buffer->untitledLog());
    EXPECT_TRUE(buffer->unsavedData());
    EXPECT_EQ(storedData(*buffer), "abc");
}

TEST_F(BufferLogTest, HostileLengthsLoadClampedAndAppendsStayInsideThePlanes)
{
    config.bufferSize = 200;
    buffer->configure(config);

    writeFileBytes(dir / "neg.log", logImage(-5000, kLogFileSize, '1'));
    ASSERT_TRUE(buffer->loadFromLog(dir / "neg.log"));
    EXPECT_EQ(buffer->storedLength(), 0);
    receive(*buffer, 1, "ok");
    EXPECT_EQ(storedData(*buffer), "ok");

    writeFileBytes(dir / "huge.log", logImage(INT32_MAX, kLogFileSize, '3'));
    ASSERT_TRUE(buffer->loadFromLog(dir / "huge.log"));
    EXPECT_EQ(buffer->storedLength(), kTrafficPlaneSize);
    receive(*buffer, 2, "r");
    EXPECT_LT(buffer->storedLength(), buffer->capacity());
    send(*buffer, 1, pattern(520, 4));
    EXPECT_LT(buffer->storedLength(), buffer->capacity());
    EXPECT_EQ(storedData(*buffer).substr(static_cast<std::size_t>(buffer->storedLength()) - 520), pattern(520, 4));
}

} // namespace
} // namespace kestrane
