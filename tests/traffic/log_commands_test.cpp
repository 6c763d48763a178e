// The log commands New, Open, Save and Save As with scripted answers in place of the question
// and the file dialogs: what reaches the files, what the buffer holds afterwards, which
// questions are asked and what the window is told to do.
#include "traffic/log_commands.h"

#include "platform/le_bytes.h"
#include "support/temp_dir.h"
#include "traffic/log_file.h"
#include "traffic/traffic_buffer.h"
#include "traffic/view_commands.h"
#include "traffic_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <deque>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace kestrane {
namespace {

namespace fs = std::filesystem;
using test::pattern;
using test::readFileBytes;
using test::receive;
using test::send;
using test::storedData;
using test::storedTags;
using test::writeFileBytes;

// Answers for the hooks, taken in order, and a record of what was asked.
struct Script {
    std::deque<SaveAnswer> answers;
    std::deque<std::optional<fs::path>> openChoices;
    std::deque<std::optional<fs::path>> saveChoices;
    int questions = 0;
    std::vector<fs::path> openFolders;
    std::vector<fs::path> proposals;
    int cannotOpen = 0;

    void attach(LogCommands& c)
    {
        c.askSave = [this] {
            ++questions;
            const SaveAnswer a = answers.empty() ? SaveAnswer::Cancel : answers.front();
            if (!answers.empty())
                answers.pop_front();
            return a;
        };
        c.chooseOpenFile = [this](const fs::path& folder) {
            openFolders.push_back(folder);
            return take(openChoices);
        };
        c.chooseSaveFile = [this](const fs::path& proposed) {
            proposals.push_back(proposed);
            return take(saveChoices);
        };
        c.reportCannotOpen = [this](int) { ++cannotOpen; };
    }

private:
    static std::optional<fs::path> take(std::deque<std::optional<fs::path>>& q)
    {
        if (q.empty())
            return std::nullopt;
        auto v = q.front();
        q.pop_front();
        return v;
    }
};

class LogCommandsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        config.ch2Mode = Ch2Mode::Independent;
        traffic->configure(config);
        traffic->clearTraffic();
        script.attach(commands);
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::current_path(savedCwd, ec);  // the commands move into the start folder
    }

    fs::path savedCwd = fs::current_path();
    test::FixedClock clock;
    TrafficConfig config;
    test::TempDir start;
    std::unique_ptr<TrafficBuffer> traffic = std::make_unique<TrafficBuffer>(clock);
    LogCommands commands{*traffic, start.path()};
    Script script;
};

// ---------------------------------------------------------------- save and open

TEST_F(LogCommandsTest, SavedTrafficOpensByteForByteInAnotherBuffer)
{
    receive(*traffic, 1, pattern(300, 1));
    send(*traffic, 2, pattern(40, 2));
    receive(*traffic, 2, pattern(77, 3));
    traffic->setUnsavedData(true);

    script.saveChoices = {start / "a.log"};
    ASSERT_TRUE(commands.save());
    EXPECT_FALSE(traffic->untitledLog());
    EXPECT_FALSE(traffic->unsavedData());
    EXPECT_EQ(commands.currentFile(), start / "a.log");

    auto other = std::make_unique<TrafficBuffer>(clock);
    other->clearTraffic();
    LogCommands reader(*other, start.path());
    Script readerScript;
    readerScript.attach(reader);
    readerScript.openChoices = {start / "a.log"};
    const ViewFollowUp next = reader.open(true);

    EXPECT_EQ(readerScript.openFolders, std::vector<fs::path>{start.path()});
    EXPECT_EQ(other->storedLength(), 417);
    EXPECT_EQ(storedData(*other), storedData(*traffic));
    EXPECT_EQ(storedTags(*other), storedTags(*traffic));
    EXPECT_TRUE(std::ranges::equal(other->currentDataPlane(), traffic->currentDataPlane()));
    EXPECT_TRUE(std::ranges::equal(other->currentTagPlane(), traffic->currentTagPlane()));
    EXPECT_FALSE(other->untitledLog());
    EXPECT_EQ(reader.currentFile(), start / "a.log");
    EXPECT_EQ(next, (ViewFollowUp{true, true, false, true, true}));
}

TEST_F(LogCommandsTest, OpenWithoutAutoScrollLeavesTheViewWhereItIs)
{
    ASSERT_TRUE(traffic->saveToLog(start / "b.log"));
    script.openChoices = {start / "b.log"};
    const ViewFollowUp next = commands.open(false);
    EXPECT_TRUE(next.repaintNow);
    EXPECT_FALSE(next.scrollToNewest);
    EXPECT_FALSE(next.scrollToTop);
}

// Search, enumeration and inspection read only drawn bytes (below drawPosition); a loaded log
// is drawn as a whole by the repaint, so its bytes count as drawn, and only they do.
TEST_F(LogCommandsTest, AnOpenedLogCanBeSearchedAndPickedAtOnce)
{
    receive(*traffic, 1, "find the needle here");
    ASSERT_TRUE(traffic->saveToLog(start / "needle.log"));
    traffic->clearTraffic();  // as after New: drawPosition 0

    script.openChoices = {start / "needle.log"};
    ASSERT_TRUE(commands.open(true).invalidate);
    EXPECT_EQ(traffic->drawPosition(), 20);
    SearchState search;
    const std::string needle = "needle";
    EXPECT_TRUE(startSearch(search, BytesView(reinterpret_cast<const std::uint8_t*>(needle.data()), needle.size()),
                            SearchKind::Ascii, traffic->currentDataPlane(), traffic->drawPosition()));
    EXPECT_EQ(search.searchHitIndex, 9);

    EnumerationSelection selection;
    selection.press(40, 0, 0, 40, traffic->drawPosition());
    const auto picked = selection.release(40 + 3 * 10, 0, 0, 40, traffic->drawPosition(),
                                          traffic->currentDataPlane());
    ASSERT_TRUE(picked.has_value());
    EXPECT_EQ(std::string(picked->begin(), picked->end()), "find");
}

TEST_F(LogCommandsTest, AShortLogOpenedOverLongerTrafficHidesWhatLiesBeyondIt)
{
    receive(*traffic, 1, std::string(1000, 'x'));
    traffic->markDrawn(1000, DrawCursor{traffic->drawX(), traffic->drawY()});  // all drawn
    traffic->setUnsavedData(false);
    // A log of ten bytes whose planes still hold older traffic beyond its length.
    std::vector<std::uint8_t> file(kLogFileSize, ' ');
    le::putI32(file, 0, 10);
    std::fill(file.begin() + 4, file.begin() + 4 + 1000, '1');
    const std::string text = "short log!" + std::string(990, 'y');
    std::copy(text.begin(), text.end(), file.begin() + 4 + kTrafficPlaneSize);
    writeFileBytes(start / "short.log", file);

    script.openChoices = {start / "short.log"};
    (void)commands.open(false);
    ASSERT_EQ(traffic->storedLength(), 10);
    EXPECT_EQ(traffic->drawPosition(), 10);
    SearchState search;
    const std::string y = "y";
    EXPECT_FALSE(startSearch(search, BytesView(reinterpret_cast<const std::uint8_t*>(y.data()), y.size()),
                             SearchKind::Ascii, traffic->currentDataPlane(), traffic->drawPosition()));
    EnumerationSelection selection;
    selection.press(40 + 12 * 10, 0, 0, 40, traffic->drawPosition());
    EXPECT_EQ(selection.start(), -1);  // beyond the log: nothing to pick
}

TEST_F(LogCommandsTest, AnEmptyBufferSavesAFullFileWithZeroLength)
{
    script.saveChoices = {start / "empty.log"};
    ASSERT_TRUE(commands.saveAs());
    const auto file = readFileBytes(start / "empty.log");
    ASSERT_EQ(file.size(), 72004u);
    EXPECT_EQ(file[0], 0);
    EXPECT_EQ(file[1], 0);
    EXPECT_EQ(file[2], 0);
    EXPECT_EQ(file[3], 0);
    EXPECT_TRUE(std::all_of(file.begin() + 4, file.end(), [](std::uint8_t b) { return b == ' '; }));
}

TEST_F(LogCommandsTest, SavedAtCapacity12000OpensTheSameAtCapacity36000)
{
    config.bufferSize = 200;
    traffic->configure(config);
    for (unsigned i = 0; i < 140; ++i)  // past a half drop
        receive(*traffic, 1 + static_cast<int>(i % 2), pattern(97, i));
    script.saveChoices = {start / "small.log"};
    ASSERT_TRUE(commands.save());

    auto big = std::make_unique<TrafficBuffer>(clock);
    big->clearTraffic();
    ASSERT_EQ(big->capacity(), 36000);
    LogCommands reader(*big, start.path());
    Script readerScript;
    readerScript.attach(reader);
    readerScript.openChoices = {start / "small.log"};
    (void)reader.open(true);
    EXPECT_EQ(big->storedLength(), traffic->storedLength());
    EXPECT_EQ(storedData(*big), storedData(*traffic));
    EXPECT_EQ(storedTags(*big), storedTags(*traffic));
}

TEST_F(LogCommandsTest, WithAutomaticLoggingSaveWritesTheCurrentPage)
{
    config.autoLogging = 1;
    traffic->configure(config);
    receive(*traffic, 1, "page zero");
    traffic->startPagesAt(1);
    receive(*traffic, 1, "page one!");
    traffic->startPagesAt(2);  // page 0 is current again

    script.saveChoices = {start / "p.log"};
    ASSERT_TRUE(commands.save());
    const auto file = readFileBytes(start / "p.log");
    ASSERT_EQ(file.size(), kLogFileSize);
    const std::string data(file.begin() + 4 + kTrafficPlaneSize, file.begin() + 4 + kTrafficPlaneSize + 9);
    EXPECT_EQ(data, "page zero");
}

TEST_F(LogCommandsTest, UntitledSaveAsksForANameBelowTheStartFolder)
{
    script.saveChoices = {std::nullopt};
    EXPECT_FALSE(commands.save());
    EXPECT_EQ(script.proposals, std::vector<fs::path>{start / "log" / "newfile.log"});
    EXPECT_TRUE(traffic->untitledLog());
}

TEST_F(LogCommandsTest, TitledSaveWritesTheCurrentFileAndSaveAsProposesIt)
{
    script.saveChoices = {start / "one.log"};
    ASSERT_TRUE(commands.save());
    receive(*traffic, 1, "more");
    traffic->setUnsavedData(true);

    ASSERT_TRUE(commands.save());  // no dialog now
    EXPECT_EQ(script.proposals.size(), 1u);
    EXPECT_FALSE(traffic->unsavedData());
    EXPECT_EQ(le::getI32(readFileBytes(start / "one.log"), 0), 4);

    script.saveChoices = {start / "two.log"};
    ASSERT_TRUE(commands.saveAs());
    EXPECT_EQ(script.proposals.back(), start / "one.log");
    EXPECT_EQ(commands.currentFile(), start / "two.log");
}

TEST_F(LogCommandsTest, AfterAnAutomaticLogSaveStillAsksForAName)
{
    // An automatic log clears untitledLog, but the buffer has no file of its own.
    traffic->setUntitledLog(false);
    script.saveChoices = {start / "named.log"};
    ASSERT_TRUE(commands.save());
    EXPECT_EQ(script.proposals, std::vector<fs::path>{start / "log" / "newfile.log"});
    EXPECT_TRUE(fs::exists(start / "named.log"));
}

TEST_F(LogCommandsTest, ARelativeNameIsTakenInTheStartFolder)
{
    script.saveChoices = {fs::path("relative.log")};
    ASSERT_TRUE(commands.saveAs());
    EXPECT_EQ(readFileBytes(start / "relative.log").size(), kLogFileSize);
}

TEST_F(LogCommandsTest, AFileThatCannotBeCreatedIsReportedAndChangesNothing)
{
    receive(*traffic, 1, "keep");
    traffic->setUnsavedData(true);
    script.saveChoices = {start / "no-such-folder" / "x.log"};
    EXPECT_FALSE(commands.save());
    EXPECT_EQ(script.cannotOpen, 1);
    EXPECT_TRUE(traffic->untitledLog());
    EXPECT_TRUE(traffic->unsavedData());
    EXPECT_TRUE(commands.currentFile().empty());
}

TEST_F(LogCommandsTest, AFileThatCannotBeOpenedIsReportedAndLoadsNothing)
{
    receive(*traffic, 1, "keep");
    traffic->setUnsavedData(false);
    writeFileBytes(start / "short.log", {1, 2, 3});
    script.openChoices = {start / "missing.log", start / "short.log", start.path()};
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(commands.open(true), ViewFollowUp{});
    EXPECT_EQ(script.cannotOpen, 3);
    EXPECT_EQ(storedData(*traffic), "keep");
    EXPECT_TRUE(traffic->untitledLog());
    EXPECT_TRUE(commands.currentFile().empty());
}

TEST_F(LogCommandsTest, HostileLogFilesLoadWithoutHarm)
{
    // Lengths outside the plane, a file of noise and a file longer than a log.
    std::vector<std::uint8_t> huge(kLogFileSize, 0xFF);
    le::putI32(huge, 0, INT32_MAX);
    writeFileBytes(start / "huge.log", huge);
    std::vector<std::uint8_t> negative(kLogFileSize, '3');
    le::putI32(negative, 0, INT32_MIN);
    writeFileBytes(start / "negative.log", negative);
    std::vector<std::uint8_t> noise(100000);
    for (std::size_t i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<std::uint8_t>(i * 131u + 7u);
    writeFileBytes(start / "noise.log", noise);

    script.openChoices = {start / "huge.log"};
    (void)commands.open(true);
    EXPECT_EQ(traffic->storedLength(), kTrafficPlaneSize);
    receive(*traffic, 1, "after");
    EXPECT_LE(traffic->storedLength(), traffic->capacity());

    script.openChoices = {start / "negative.log"};
    traffic->setUnsavedData(false);
    (void)commands.open(true);
    EXPECT_EQ(traffic->storedLength(), 0);

    script.openChoices = {start / "noise.log"};
    (void)commands.open(true);
    EXPECT_GE(traffic->storedLength(), 0);
    EXPECT_LE(traffic->storedLength(), kTrafficPlaneSize);
    EXPECT_TRUE(std::equal(noise.begin() + 4 + kTrafficPlaneSize, noise.begin() + 4 + 2 * kTrafficPlaneSize,
                           traffic->currentDataPlane().begin()));
    EXPECT_EQ(script.cannotOpen, 0);
}

// ---------------------------------------------------------------- the ask-to-save question

TEST_F(LogCommandsTest, NewAsksOnlyWhenThereIsUnsavedTraffic)
{
    receive(*traffic, 1, "abc");
    traffic->setUnsavedData(false);
    traffic->setUntitledLog(false);
    traffic->markDrawn(3, DrawCursor{traffic->drawX(), 68});
    const ViewFollowUp next = commands.newLog();
    EXPECT_EQ(script.questions, 0);
    EXPECT_EQ(next, (ViewFollowUp{true, false, true, false, false}));
    EXPECT_EQ(traffic->storedLength(), 0);
    EXPECT_EQ(traffic->drawPosition(), 0);
    EXPECT_EQ(traffic->drawX(), 40);
    EXPECT_EQ(traffic->drawY(), 0);
    EXPECT_TRUE(traffic->untitledLog());
    for (int p = 0; p < kTrafficPlaneCount; ++p)
        EXPECT_TRUE(std::ranges::all_of(traffic->plane(p), [](std::uint8_t b) { return b == ' '; })) << p;

    receive(*traffic, 1, "abc");
    traffic->setUnsavedData(true);
    script.answers = {SaveAnswer::No};
    (void)commands.newLog();
    EXPECT_EQ(script.questions, 1);
    EXPECT_EQ(traffic->storedLength(), 0);
    EXPECT_FALSE(traffic->unsavedData());
}

TEST_F(LogCommandsTest, CancelAbandonsNewAndOpen)
{
    receive(*traffic, 1, "abc");
    traffic->setUnsavedData(true);
    script.answers = {SaveAnswer::Cancel, SaveAnswer::Cancel};
    script.openChoices = {start / "never.log"};
    EXPECT_EQ(commands.newLog(), ViewFollowUp{});
    EXPECT_EQ(commands.open(true), ViewFollowUp{});
    EXPECT_EQ(script.questions, 2);
    EXPECT_TRUE(script.openFolders.empty());
    EXPECT_EQ(storedData(*traffic), "abc");
    EXPECT_TRUE(traffic->unsavedData());
}

TEST_F(LogCommandsTest, YesSavesFirstAndAnUnfinishedSaveKeepsTheTraffic)
{
    receive(*traffic, 1, "abc");
    traffic->setUnsavedData(true);

    // Yes, then the save dialog is cancelled: nothing is lost.
    script.answers = {SaveAnswer::Yes};
    script.saveChoices = {std::nullopt};
    EXPECT_EQ(commands.newLog(), ViewFollowUp{});
    EXPECT_EQ(storedData(*traffic), "abc");

    // Yes and a name: the traffic is in the file, then the buffer is new.
    script.answers = {SaveAnswer::Yes};
    script.saveChoices = {start / "saved.log"};
    EXPECT_TRUE(commands.newLog().invalidate);
    const auto file = readFileBytes(start / "saved.log");
    EXPECT_EQ(le::getI32(file, 0), 3);
    EXPECT_EQ(std::string(file.begin() + 4 + kTrafficPlaneSize, file.begin() + 4 + kTrafficPlaneSize + 3), "abc");
    EXPECT_EQ(traffic->storedLength(), 0);
    EXPECT_TRUE(traffic->untitledLog());
    EXPECT_TRUE(commands.currentFile().empty());
}

TEST_F(LogCommandsTest, YesGoesOnWhileAReceiveThreadKeepsStoringTraffic)
{
    // Traffic flows all the time: any append after the save marks the buffer unsaved again.
    std::atomic<bool> stop{false};
    std::thread receiver([&] {
        const std::uint8_t byte = 'r';
        while (!stop.load()) {
            traffic->appendReceived(1, &byte, 1);
            if (traffic->storedLength() > 20000)
                traffic->clearTraffic();
        }
    });
    commands.chooseSaveFile = [&](const fs::path&) { return std::optional<fs::path>(start / "busy.log"); };
    int abandoned = 0;
    for (int i = 0; i < 100; ++i) {
        traffic->setUnsavedData(true);
        script.answers = {SaveAnswer::Yes};
        if (!commands.newLog().invalidate)
            ++abandoned;
    }
    stop.store(true);
    receiver.join();
    EXPECT_EQ(abandoned, 0);
    EXPECT_EQ(le::getI32(readFileBytes(start / "busy.log"), 0) >= 0, true);
}

TEST_F(LogCommandsTest, OpenAsksToSaveBeforeTheDialog)
{
    ASSERT_TRUE(traffic->saveToLog(start / "other.log"));
    receive(*traffic, 1, "new traffic");
    traffic->setUnsavedData(true);
    script.answers = {SaveAnswer::No};
    script.openChoices = {std::nullopt};
    EXPECT_EQ(commands.open(true), ViewFollowUp{});
    EXPECT_EQ(script.questions, 1);
    EXPECT_EQ(script.openFolders.size(), 1u);
    EXPECT_EQ(storedData(*traffic), "new traffic");  // the dialog was cancelled
}

} // namespace
} // namespace kestrane
