// The traffic buffer on one thread: tags, time stamps, the display feed, the overflow steps,
// automatic logging, clearing and the small pieces of state the other parts rely on.
#include "traffic/traffic_buffer.h"

#include "records/settings_records.h"
#include "platform/le_bytes.h"
#include "support/temp_dir.h"
#include "traffic/log_file.h"
#include "traffic_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <ostream>

namespace kestrane {
namespace {

using test::bytesOf;
using test::pattern;
using test::receive;
using test::send;
using test::storedData;
using test::storedTags;

class TrafficBufferTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        config.ch2Mode = Ch2Mode::Independent;
        apply();
        buffer->clearTraffic();
        buffer->setDisplayFeed(&feed);
    }
    void apply() { buffer->configure(config); }

    test::FixedClock clock;
    std::unique_ptr<TrafficBuffer> buffer = std::make_unique<TrafficBuffer>(clock);
    TrafficConfig config;
    test::RecordingFeed feed;
};

// What the buffer should hold, kept alongside it by the tests that drive many chunks.
struct Expected {
    std::string tags;
    std::string data;
    void add(char tag, const std::string& bytes)
    {
        tags.append(bytes.size(), tag);
        data += bytes;
    }
    void dropFront(std::size_t n)
    {
        tags.erase(0, n);
        data.erase(0, n);
    }
};

// ---------------------------------------------------------------- tags and feed kinds

struct TagCase {
    int ch2Mode;
    std::string tags;   // for: CH1 received "a", CH2 received "b", CH1 sent "c", CH2 sent "d"
    std::string data;
    std::vector<int> kinds;
};

void PrintTo(const TagCase& c, std::ostream* os) { *os << "ch2Mode " << c.ch2Mode; }

class TagsByCh2Mode : public TrafficBufferTest, public ::testing::WithParamInterface<TagCase> {};

TEST_P(TagsByCh2Mode, EachChannelAndDirectionGetsItsTagAndDisplayKind)
{
    const TagCase& c = GetParam();
    config.ch2Mode = c.ch2Mode;
    apply();

    receive(*buffer, 1, "a");
    receive(*buffer, 2, "b");
    send(*buffer, 1, "c");
    send(*buffer, 2, "d");

    EXPECT_EQ(storedTags(*buffer), c.tags);
    EXPECT_EQ(storedData(*buffer), c.data);
    std::vector<int> kinds;
    for (const auto& call : feed.calls)
        kinds.push_back(call.kind);
    EXPECT_EQ(kinds, c.kinds);
}

INSTANTIATE_TEST_SUITE_P(AllModes, TagsByCh2Mode,
                         ::testing::Values(TagCase{0, "1002", "abcd", {1, 0, 0, 2}},
                                           TagCase{1, "1302", "abcd", {1, 3, 0, 2}},
                                           // line monitors: sent messages are not recorded
                                           TagCase{3, "10", "ab", {1, 0}},
                                           TagCase{7, "10", "ab", {1, 0}}));

TEST_F(TrafficBufferTest, SentTextSwitchedOffStoresNothingAndLeavesTheMarker)
{
    receive(*buffer, 1, "xy");
    buffer->setReceptionMarker(1);
    config.showSentText = 0;
    apply();
    send(*buffer, 1, "hello");
    send(*buffer, 2, "hello");
    EXPECT_EQ(buffer->storedLength(), 2);
    EXPECT_EQ(buffer->receptionMarker(), 1);
    EXPECT_EQ(feed.calls.size(), 1u);
}

TEST_F(TrafficBufferTest, ReceptionMarkerFollowsRecordedSendsOnly)
{
    send(*buffer, 1, "abc");
    EXPECT_EQ(buffer->receptionMarker(), 3);
    receive(*buffer, 1, "12345");
    EXPECT_EQ(buffer->receptionMarker(), 3);
    send(*buffer, 2, "de");
    EXPECT_EQ(buffer->receptionMarker(), 10);
}

// ---------------------------------------------------------------- display feed and timers

TEST_F(TrafficBufferTest, FastDisplayFeedsAtOnceAndStillMarksUnsaved)
{
    config.fastDisplay = true;
    config.trafficDisplayCount = 5;
    apply();
    buffer->setUnsavedData(false);
    receive(*buffer, 1, "OK\r\n");

    ASSERT_EQ(feed.calls.size(), 1u);
    EXPECT_TRUE(feed.calls[0].fast);
    EXPECT_EQ(feed.calls[0].bytes, "OK\r\n");
    EXPECT_EQ(buffer->pendingDrawTicks(), 0);  // the timer does not draw in fast display
    EXPECT_TRUE(buffer->unsavedData());
}

TEST_F(TrafficBufferTest, LowSpeedFeedSchedulesTimerDrawing)
{
    config.trafficDisplayCount = 5;
    apply();
    send(*buffer, 2, "AT");

    ASSERT_EQ(feed.calls.size(), 1u);
    EXPECT_FALSE(feed.calls[0].fast);
    EXPECT_EQ(feed.calls[0].bytes, "AT");
    EXPECT_EQ(buffer->pendingDrawTicks(), 5);
    EXPECT_TRUE(buffer->unsavedData());
}

TEST_F(TrafficBufferTest, FeedsOnlyInAscModeButTimerDrawsInEveryMode)
{
    config.trafficDisplayCount = 3;
    for (int mode : {1, 2}) {
        config.displayMode = mode;
        apply();
        buffer->setPendingDrawTicks(0);
        receive(*buffer, 1, "z");
        EXPECT_EQ(buffer->pendingDrawTicks(), 3) << "mode " << mode;
    }
    EXPECT_TRUE(feed.calls.empty());
}

TEST_F(TrafficBufferTest, ReceivedChunksReloadTheIdleCountdownSentOnesDoNot)
{
    config.idleClockFactor = 17;
    config.idleRedisplayCount = 4;
    apply();
    send(*buffer, 1, "s");
    EXPECT_EQ(buffer->idleTicks(), 0);
    EXPECT_EQ(buffer->idleRedisplaysLeft(), 0);
    receive(*buffer, 2, "r");
    EXPECT_EQ(buffer->idleTicks(), 17);
    EXPECT_EQ(buffer->idleRedisplaysLeft(), 4);
}

TEST_F(TrafficBufferTest, ReplacingTheFeedWithNullStopsFeeding)
{
    buffer->setDisplayFeed(nullptr);
    receive(*buffer, 1, "a");
    EXPECT_TRUE(feed.calls.empty());
    EXPECT_EQ(buffer->storedLength(), 1);
}

// ---------------------------------------------------------------- time stamps

TEST_F(TrafficBufferTest, TimeStampGoesInFrontOfReceivedChunkWithTheChannelsTag)
{
    config.displayMode = 2;
    apply();
    clock.now = {1, 12, 0, 30};
    receive(*buffer, 2, "AB");
    EXPECT_EQ(storedData(*buffer), "<1D12:0,30>AB");
    EXPECT_EQ(storedTags(*buffer), std::string(13, '3'));

    clock.now = {6, 9, 5, 7};
    receive(*buffer, 1, "x");
    EXPECT_EQ(storedData(*buffer), "<1D12:0,30>AB<6d9:5,7>x");
    EXPECT_EQ(storedTags(*buffer), std::string(13, '3') + std::string(10, '1'));
}

TEST_F(TrafficBufferTest, TimeStampOnlyForReceivedChunksInTimeStampedMode)
{
    clock.now = {31, 23, 59, 59};
    receive(*buffer, 1, "a");
    config.displayMode = 2;
    apply();
    send(*buffer, 1, "b");
    EXPECT_EQ(storedData(*buffer), "ab");
}

TEST_F(TrafficBufferTest, LongStampedChunkCarriesOneStamp)
{
    config.displayMode = 2;
    apply();
    clock.now = {2, 3, 4, 5};
    const std::string big = pattern(1200, 9);
    receive(*buffer, 1, big);
    EXPECT_EQ(storedData(*buffer), "<2d3:4,5>" + big);
}

TEST_F(TrafficBufferTest, ChunksStoredTogetherAreStoredAsEachOnItsOwn)
{
    // A wake-up's chunks in one call: each its own stamp and its own feed, the same planes,
    // also across the overflow of a small buffer.
    config.displayMode = 2;
    config.bufferSize = 200;
    apply();
    test::RecordingFeed oneByOne;
    TrafficBuffer single(clock);
    single.configure(config);
    single.clearTraffic();
    single.setDisplayFeed(&oneByOne);
    feed.calls.clear();
    for (unsigned seed = 0; seed < 300; ++seed) {
        clock.now = {1, 2, 3, static_cast<int>(seed % 60)};
        const std::string bytes = pattern(100 * (seed % 5) + seed % 37 + 1, seed);
        const int channel = seed % 3 == 0 ? 2 : 1;
        buffer->appendReceivedChunks(channel, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                     static_cast<std::int32_t>(bytes.size()), 100);
        for (std::size_t at = 0; at < bytes.size(); at += 100)
            receive(single, channel, bytes.substr(at, 100));
        ASSERT_EQ(storedData(*buffer), storedData(single)) << seed;
        ASSERT_EQ(storedTags(*buffer), storedTags(single)) << seed;
    }
    EXPECT_EQ(buffer->pageCounter(), single.pageCounter());
    ASSERT_EQ(feed.calls.size(), oneByOne.calls.size());
    for (std::size_t i = 0; i < feed.calls.size(); ++i)
        EXPECT_EQ(feed.calls[i].bytes, oneByOne.calls[i].bytes) << i;
}

// ---------------------------------------------------------------- input limits

TEST_F(TrafficBufferTest, InvalidCallsStoreNothing)
{
    const std::uint8_t b[4] = {1, 2, 3, 4};
    buffer->appendReceived(0, b, 4);
    buffer->appendReceived(3, b, 4);
    buffer->appendReceived(1, b, -1);
    buffer->appendReceived(1, nullptr, 4);
    buffer->appendSent(5, b, 4);
    buffer->appendSent(1, b, -7);
    buffer->appendSent(2, nullptr, 1);
    EXPECT_EQ(buffer->storedLength(), 0);
    EXPECT_TRUE(feed.calls.empty());
    EXPECT_EQ(buffer->receptionMarker(), 0);
}

TEST_F(TrafficBufferTest, MessageLongerThanASendBufferIsStoredWholeInPieces)
{
    const std::string message = pattern(2000, 3);
    send(*buffer, 1, message);
    EXPECT_EQ(storedData(*buffer), message);
    EXPECT_EQ(storedTags(*buffer), std::string(2000, '0'));

    std::string fed;
    for (const auto& call : feed.calls) {
        EXPECT_LE(call.bytes.size(), static_cast<std::size_t>(TrafficBuffer::kMaxChunk));
        fed += call.bytes;
    }
    EXPECT_EQ(fed, message);
}

TEST_F(TrafficBufferTest, HugeMessagesNeverLeaveTheLengthAtCapacity)
{
    config.bufferSize = 200;
    apply();
    for (unsigned i = 0; i < 20; ++i) {
        const std::string message = pattern(5000 + i * 311, i);
        send(*buffer, 2, message);
        const std::int32_t length = buffer->storedLength();
        ASSERT_LT(length, buffer->capacity());
        // The newest bytes are always the tail of the last message.
        const std::size_t tail = std::min<std::size_t>(static_cast<std::size_t>(length), message.size());
        EXPECT_EQ(storedData(*buffer).substr(static_cast<std::size_t>(length) - tail), message.substr(message.size() - tail));
    }
}

// ---------------------------------------------------------------- overflow without automatic logging

class OverflowTest : public TrafficBufferTest {
protected:
    void SetUp() override
    {
        TrafficBufferTest::SetUp();
        config.bufferSize = 200;  // capacity 12000
        apply();
    }

    // Received chunks of alternating channels up to exactly `target` bytes, all below the
    // receive threshold.
    void receiveUpTo(std::int32_t target)
    {
        unsigned seed = 0;
        while (buffer->storedLength() < target) {
            const auto n = std::min<std::int32_t>(97, target - buffer->storedLength());
            const int channel = seed % 2 == 0 ? 1 : 2;
            const std::string chunk = pattern(static_cast<std::size_t>(n), seed++);
            receive(*buffer, channel, chunk);
            expected.add(channel == 1 ? '1' : '3', chunk);
        }
    }
    void sendUpTo(std::int32_t target)
    {
        unsigned seed = 100;
        while (buffer->storedLength() < target) {
            const auto n = std::min<std::int32_t>(500, target - buffer->storedLength());
            const int channel = seed % 2 == 0 ? 1 : 2;
            const std::string chunk = pattern(static_cast<std::size_t>(n), seed++);
            send(*buffer, channel, chunk);
            expected.add(channel == 1 ? '0' : '2', chunk);
        }
    }
    void expectContent()
    {
        ASSERT_EQ(buffer->storedLength(), static_cast<std::int32_t>(expected.data.size()));
        EXPECT_EQ(storedTags(*buffer), expected.tags);
        EXPECT_EQ(storedData(*buffer), expected.data);
    }

    Expected expected;
};

TEST_F(OverflowTest, ReceivedChunkReachingTheThresholdDropsTheOldestHalf)
{
    receiveUpTo(11800);
    const std::string justBelow = pattern(99, 77);  // 11899: one short of capacity - 100
    receive(*buffer, 2, justBelow);
    expected.add('3', justBelow);
    expectContent();

    buffer->markDrawn(11000, DrawCursor{123, buffer->drawY()});
    buffer->setCharsPerLine(37);
    receive(*buffer, 1, "!");  // 11900: the oldest 6000 bytes go first
    expected.dropFront(6000);
    expected.add('1', "!");
    expectContent();
    EXPECT_EQ(buffer->storedLength(), 5900);
    EXPECT_EQ(buffer->drawPosition(), 5000);
    EXPECT_EQ(buffer->drawY(), 5000 / 37 * 34);
    EXPECT_EQ(buffer->drawX(), 123);
}

TEST_F(OverflowTest, DrawPositionInTheDroppedHalfRestartsAtTheTop)
{
    receiveUpTo(11899);
    buffer->markDrawn(2500, DrawCursor{buffer->drawX(), 999});
    buffer->setCharsPerLine(0);  // never divides by zero: counts as one character per line
    EXPECT_EQ(buffer->charsPerLine(), 1);
    receive(*buffer, 1, "x");
    EXPECT_EQ(buffer->drawPosition(), 0);
    EXPECT_EQ(buffer->drawY(), 0);
}

TEST_F(OverflowTest, SentMessageEndingOneShortOfCapacityIsStoredAsIs)
{
    sendUpTo(11990);
    const std::string last = pattern(9, 5);  // 11999 = capacity - 1
    send(*buffer, 1, last);
    expected.add('0', last);
    expectContent();
}

TEST_F(OverflowTest, SentMessageReachingCapacityDropsTheOldestHalfFirst)
{
    sendUpTo(11990);
    buffer->markDrawn(7000, DrawCursor{buffer->drawX(), buffer->drawY()});
    buffer->setCharsPerLine(40);
    const std::string last = pattern(10, 5);  // 12000 = capacity
    send(*buffer, 2, last);
    expected.dropFront(6000);
    expected.add('2', last);
    expectContent();
    EXPECT_EQ(buffer->drawPosition(), 1000);
    EXPECT_EQ(buffer->drawY(), 25 * 34);
}

TEST_F(OverflowTest, LengthAboveASmallerCapacityShrinksUntilTheChunkFits)
{
    // Filled at capacity 36000, then the buffer size is lowered to 200 (capacity 12000).
    for (int sent = 0; sent < 2; ++sent) {
        SCOPED_TRACE(sent ? "sent" : "received");
        buffer->clearTraffic();
        expected = {};
        config.bufferSize = 600;
        apply();
        sendUpTo(30000);
        config.bufferSize = 200;
        apply();

        if (sent) {
            send(*buffer, 1, "xyz");
            expected.add('0', "xyz");
        } else {
            receive(*buffer, 1, "xyz");
            expected.add('1', "xyz");
        }
        // Whole halves of 6000 go until the chunk fits; the newest bytes stay in order.
        expected.dropFront(24000);
        expectContent();
    }
}

// ---------------------------------------------------------------- pairs, clearing, start state

TEST(TrafficBufferStart, StartsZeroedEmptyAndUntitled)
{
    test::FixedClock clock;
    auto buffer = std::make_unique<TrafficBuffer>(clock);
    for (int p = 0; p < kTrafficPlaneCount; ++p) {
        const auto plane = buffer->plane(p);
        EXPECT_TRUE(std::all_of(plane.begin(), plane.end(), [](std::uint8_t b) { return b == 0; })) << p;
    }
    EXPECT_EQ(buffer->storedLength(), 0);
    EXPECT_EQ(buffer->drawX(), 40);
    EXPECT_TRUE(buffer->untitledLog());
    EXPECT_FALSE(buffer->unsavedData());
    EXPECT_EQ(buffer->capacity(), 36000);
    EXPECT_EQ(buffer->charsPerLine(), 40);
}

TEST_F(TrafficBufferTest, CapacityFollowsTheBufferSizeWithinItsRange)
{
    config.bufferSize = 200;
    apply();
    EXPECT_EQ(buffer->capacity(), 12000);
    config.bufferSize = 0;  // not a size the settings allow
    apply();
    EXPECT_EQ(buffer->capacity(), 12000);
    config.bufferSize = 5000;
    apply();
    EXPECT_EQ(buffer->capacity(), 36000);
}

TEST_F(TrafficBufferTest, CurrentPairFollowsAutoLoggingAndPageParity)
{
    receive(*buffer, 1, "single");
    EXPECT_EQ(buffer->currentTagPlane().data(), buffer->plane(0).data());
    EXPECT_EQ(buffer->currentDataPlane().data(), buffer->plane(1).data());

    config.autoLogging = 1;
    apply();
    EXPECT_EQ(buffer->currentDataPlane().data(), buffer->plane(3).data());
    buffer->startPagesAt(3);
    EXPECT_EQ(buffer->currentTagPlane().data(), buffer->plane(4).data());
    EXPECT_EQ(buffer->currentDataPlane().data(), buffer->plane(5).data());

    // Switching back does not move data: the single pair still holds what was stored there.
    config.autoLogging = 0;
    apply();
    EXPECT_EQ(storedData(*buffer, 6), "single");
}

TEST_F(TrafficBufferTest, ClearFillsEveryPlaneWithSpacesAndResetsTheCursor)
{
    config.autoLogging = 1;
    apply();
    receive(*buffer, 1, "page zero");
    buffer->startPagesAt(1);
    send(*buffer, 2, "page one");
    config.autoLogging = 0;
    apply();
    receive(*buffer, 2, "single");
    buffer->markDrawn(12, DrawCursor{160, 68});
    buffer->setPendingDrawTicks(7);

    buffer->clearTraffic();

    for (int p = 0; p < kTrafficPlaneCount; ++p) {
        const auto plane = buffer->plane(p);
        EXPECT_TRUE(std::all_of(plane.begin(), plane.end(), [](std::uint8_t b) { return b == ' '; })) << p;
    }
    EXPECT_EQ(buffer->storedLength(), 0);
    EXPECT_EQ(buffer->drawPosition(), 0);
    EXPECT_EQ(buffer->drawX(), 40);
    EXPECT_EQ(buffer->drawY(), 0);
    EXPECT_EQ(buffer->pageCounter(), 0);
    EXPECT_EQ(buffer->pendingDrawTicks(), 7);
    EXPECT_EQ(buffer->dataAt(0), ' ');
}

TEST_F(TrafficBufferTest, ReadersOutsideThePlaneGetZero)
{
    receive(*buffer, 1, "a");
    EXPECT_EQ(buffer->tagAt(0), '1');
    EXPECT_EQ(buffer->dataAt(0), 'a');
    EXPECT_EQ(buffer->tagAt(-1), 0);
    EXPECT_EQ(buffer->dataAt(kTrafficPlaneSize), 0);
}

// ---------------------------------------------------------------- automatic logging

class AutoLoggingTest : public TrafficBufferTest {
protected:
    void SetUp() override
    {
        TrafficBufferTest::SetUp();
        std::filesystem::create_directory(dir / "log");
        config.bufferSize = 200;
        config.autoLogging = 1;
        config.logDirectory = dir / "log";
        apply();
    }

    static std::string planeText(const std::vector<std::uint8_t>& file, std::size_t offset, std::size_t n)
    {
        return {reinterpret_cast<const char*>(file.data()) + offset, n};
    }

    test::TempDir dir;
};

TEST_F(AutoLoggingTest, FullPagesGoToNumberedFilesAndThePagesAlternate)
{
    Expected page;                  // the current page as it should be
    std::vector<Expected> written;  // each page as it was handed to the log
    unsigned seed = 0;
    while (buffer->pageCounter() < 3) {
        const std::int32_t before = buffer->pageCounter();
        const int channel = seed % 2 == 0 ? 1 : 2;
        const std::string chunk = pattern(100, seed++);
        receive(*buffer, channel, chunk);
        if (buffer->pageCounter() != before) {
            ASSERT_EQ(buffer->pageCounter(), before + 1);
            written.push_back(page);
            page = {};
            EXPECT_EQ(buffer->drawPosition(), 0);
            EXPECT_EQ(buffer->drawX(), 40);
        }
        page.add(channel == 1 ? '1' : '3', chunk);
        ASSERT_EQ(storedData(*buffer), page.data);
        ASSERT_EQ(storedTags(*buffer), page.tags);
    }

    ASSERT_EQ(written.size(), 3u);
    for (std::size_t n = 0; n < written.size(); ++n) {
        SCOPED_TRACE(n);
        const auto file = test::readFileBytes(dir / "log" / ("Log" + std::to_string(n) + ".log"));
        ASSERT_EQ(file.size(), kLogFileSize);
        const auto length = written[n].data.size();
        EXPECT_EQ(le::getI32(file, 0), static_cast<std::int32_t>(length));
        EXPECT_EQ(planeText(file, 4, length), written[n].tags);
        EXPECT_EQ(planeText(file, 4 + kTrafficPlaneSize, length), written[n].data);
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "log" / "Log3.log"));

    // Page counter 3: page 1 is current. Page 0 (written twice) was not cleared by the switch.
    EXPECT_EQ(buffer->currentDataPlane().data(), buffer->plane(5).data());
    const auto page0 = buffer->plane(3);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(page0.data()), written[2].data.size()), written[2].data);
    EXPECT_FALSE(buffer->untitledLog());
}

TEST_F(AutoLoggingTest, AMissingLogFolderIsMadeAndAFolderThatCannotBeIsToldOnceAndTriedAgain)
{
    config.logDirectory = dir / "absent" / "log";
    apply();
    int told = 0;
    buffer->setAutoLogNotifier([&told] { ++told; });
    unsigned seed = 0;
    while (buffer->pageCounter() < 1)
        receive(*buffer, 1, pattern(100, seed++));
    EXPECT_TRUE(std::filesystem::exists(dir / "absent" / "log" / "Log0.log"));
    EXPECT_FALSE(buffer->untitledLog());
    EXPECT_FALSE(buffer->autoLogStatus().failing);
    EXPECT_EQ(told, 0);

    // A file where the folder should be: no page can be written. Told once, not per page.
    test::writeFileBytes(dir / "blocked", {1});
    config.logDirectory = dir / "blocked" / "log";
    apply();
    while (buffer->pageCounter() < 3)
        receive(*buffer, 1, pattern(100, seed++));
    const TrafficBuffer::AutoLogStatus failing = buffer->autoLogStatus();
    EXPECT_TRUE(failing.failing);
    EXPECT_EQ(failing.systemError, ENOTDIR);
    EXPECT_EQ(failing.file, dir / "blocked" / "log" / "Log1.log");
    EXPECT_EQ(told, 1);

    // The next page tries again, and logging that works again is told too.
    std::filesystem::remove(dir / "blocked");
    while (buffer->pageCounter() < 4)
        receive(*buffer, 1, pattern(100, seed++));
    EXPECT_TRUE(std::filesystem::exists(dir / "blocked" / "log" / "Log3.log"));
    EXPECT_FALSE(buffer->autoLogStatus().failing);
    EXPECT_EQ(told, 2);
    EXPECT_NE(buffer->autoLogStatus().version, failing.version);
}

// A flood must not fill the disk: while less than the floor would stay free after a page, pages
// are held back, told once; the record in memory goes on; pages go on once the floor and the
// margin are free again.
TEST_F(AutoLoggingTest, BelowTheFreeSpaceFloorPagesAreHeldBackUntilThereIsRoom)
{
    std::uint64_t room = kAutoLogFreeSpaceFloor + kLogFileSize;  // room for one more page
    std::filesystem::path asked;
    buffer->setFreeSpaceQuery([&](const std::filesystem::path& folder) {
        asked = folder;
        return std::optional(room);
    });
    int told = 0;
    buffer->setAutoLogNotifier([&told] { ++told; });
    unsigned seed = 0;
    const auto fillPage = [&] {
        const std::int32_t page = buffer->pageCounter();
        while (buffer->pageCounter() == page)
            receive(*buffer, 1, pattern(100, seed++));
    };
    const auto written = [&](int page) { return std::filesystem::exists(dir / "log" / ("Log" + std::to_string(page) + ".log")); };
    fillPage();
    EXPECT_TRUE(written(0));
    EXPECT_EQ(asked, dir / "log");
    EXPECT_EQ(told, 0);

    room -= 1;
    for (int i = 0; i < 3; ++i)
        fillPage();
    EXPECT_FALSE(written(1) || written(2) || written(3));
    const TrafficBuffer::AutoLogStatus held = buffer->autoLogStatus();
    EXPECT_TRUE(held.failing && held.lowSpace);
    EXPECT_EQ(held.page, 1);
    EXPECT_EQ(held.file, dir / "log" / "Log1.log");
    EXPECT_EQ(held.freeBytes, room);
    EXPECT_EQ(told, 1) << "told once, not per page";
    EXPECT_EQ(buffer->autoLogFailures(), 0u) << "held back, not failed";
    EXPECT_EQ(buffer->pageCounter(), 4) << "the record in memory goes on";
    receive(*buffer, 1, "in progress");
    EXPECT_FALSE(buffer->writeCurrentPage());
    EXPECT_FALSE(written(4));

    // The floor alone is not enough: a disk at the edge would switch on and off with each page.
    room = kAutoLogFreeSpaceFloor + kLogFileSize + kAutoLogResumeMargin - 1;
    fillPage();
    EXPECT_FALSE(written(4));
    room += 1;
    fillPage();
    EXPECT_TRUE(written(5));
    EXPECT_FALSE(buffer->autoLogStatus().failing);
    EXPECT_EQ(buffer->autoLogStatus().page, 5);
    EXPECT_EQ(told, 2);
}

TEST_F(AutoLoggingTest, FlushWritesThePageOfTheCountersParityAndClearsTheFlags)
{
    buffer->startPagesAt(1);
    receive(*buffer, 2, "odd page");
    buffer->startPagesAt(0);
    receive(*buffer, 1, "even");
    buffer->setUnsavedData(true);

    config.autoLogPrefix = "run";
    apply();
    buffer->flushPageToLog(5, 8);
    const auto file = test::readFileBytes(dir / "log" / "run5.log");
    ASSERT_EQ(file.size(), kLogFileSize);
    EXPECT_EQ(le::getI32(file, 0), 8);
    EXPECT_EQ(planeText(file, 4 + kTrafficPlaneSize, 8), "odd page");
    EXPECT_FALSE(buffer->unsavedData());
    EXPECT_FALSE(buffer->untitledLog());

    config.autoLogPrefix = "";
    apply();
    buffer->flushPageToLog(4, 4);
    EXPECT_EQ(planeText(test::readFileBytes(dir / "log" / "4.log"), 4 + kTrafficPlaneSize + 8, 4), "even");
}

TEST_F(AutoLoggingTest, APrefixThatClimbsOutOfTheLogFolderStillWritesInsideIt)
{
    config.autoLogPrefix = "../escape";
    apply();
    unsigned seed = 0;
    while (buffer->pageCounter() < 1)
        receive(*buffer, 1, pattern(100, seed++));
    EXPECT_FALSE(std::filesystem::exists(dir / "escape0.log"));
    EXPECT_EQ(std::filesystem::file_size(dir / "log" / ".._escape0.log"), kLogFileSize);

    config.autoLogPrefix = (dir / "abs").string();  // an absolute path
    apply();
    buffer->flushPageToLog(1, 10);
    EXPECT_FALSE(std::filesystem::exists(dir / "abs1.log"));
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir / "log")) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 2u);
}

TEST_F(AutoLoggingTest, FlushDoesNothingWithAutomaticLoggingOff)
{
    config.autoLogging = 0;
    apply();
    buffer->flushPageToLog(0, 0);
    EXPECT_TRUE(std::filesystem::is_empty(dir / "log"));
    EXPECT_TRUE(buffer->untitledLog());
}

// ---------------------------------------------------------------- settings

TEST(TrafficConfigFrom, TakesTheSettingsTheBufferNeeds)
{
    Settings s;
    s.record.bufferSize = 314;
    s.record.displayMode = 2;
    s.record.ch2Mode = Ch2Mode::MonitorRelay;
    s.record.showSentText = 0;
    s.record.idleClockFactor = 11;
    s.record.idleRedisplayCount = 12;
    s.record.trafficDisplayCount = 13;
    s.sampling.autoLogging = 1;
    setFixedText(s.sampling.autoLogPrefix, "Bench");

    const TrafficConfig c = trafficConfigFrom(s, true, "/opt/kestrane");
    EXPECT_EQ(c.bufferSize, 314);
    EXPECT_EQ(c.displayMode, 2);
    EXPECT_EQ(c.ch2Mode, 7);
    EXPECT_EQ(c.showSentText, 0);
    EXPECT_EQ(c.idleClockFactor, 11);
    EXPECT_EQ(c.idleRedisplayCount, 12);
    EXPECT_EQ(c.trafficDisplayCount, 13);
    EXPECT_EQ(c.autoLogging, 1);
    EXPECT_EQ(c.autoLogPrefix, "Bench");
    EXPECT_TRUE(c.fastDisplay);
    EXPECT_EQ(c.logDirectory, std::filesystem::path("/opt/kestrane/log"));
}

} // namespace
} // namespace kestrane
