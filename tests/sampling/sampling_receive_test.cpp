// Sampling fed by the real CH1 receive thread on pseudo-terminals, the table shared with the
// view's side under load, and the digital I/O part of shutdown.
#include "app/app_core.h"
#include "support/app/pty_core.h"
#include "support/eventually.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <regex>
#include <thread>

namespace kestrane {
namespace {

using namespace std::chrono_literals;
using test::PtyCore;
using test::TempDir;
using test::eventually;

// The core on pty pairs with `fields` as its sampling settings.
std::function<void(Settings&)> withSampling(const SamplingSettings& fields, int displayMode = DisplayMode::Asc)
{
    return [fields, displayMode](Settings& s) {
        s.sampling = fields;
        s.record.displayMode = displayMode;
    };
}

SamplingSettings stxExample()
{
    SamplingSettings s;
    s.samplingCount = 2;
    s.samplingFields[0] = {1, 3};
    s.samplingFields[1] = {5, 2};
    return s;
}

TEST(SamplingOnCh1, AFramedRecordGivesItsFields)
{
    for (int displayMode : {DisplayMode::Asc, DisplayMode::TimeStampedAsc}) {
        PtyCore p(Ch2Mode::NotUsed, withSampling(stxExample(), displayMode));
        p.far1.send(std::string("\x02" "ABC,42\x03"));
        ASSERT_TRUE(eventually([&] { return p.core->samples().samplesStored() == 1; }));
        const auto row = p.core->samples().takeOver();
        ASSERT_TRUE(row);
        // Also in the time-stamped mode the fields count from the first received byte.
        EXPECT_EQ(row->line, "0,ABC,42") << displayMode;
    }
}

TEST(SamplingOnCh1, OnlyCh1IsSampledAlsoWhileCh2IsInUse)
{
    for (int mode : {Ch2Mode::Independent, Ch2Mode::MonitorT, Ch2Mode::MonitorRelay}) {
        PtyCore p(mode, withSampling(stxExample()));
        p.far2.send(std::string("\x02" "XYZ,99\x03"));
        ASSERT_TRUE(eventually([&] { return p.core->traffic().storedLength() >= 8; })) << mode;
        EXPECT_EQ(p.core->samples().samplesStored(), 0) << mode;
        p.far1.send(std::string("\x02" "ABC,42\x03"));
        ASSERT_TRUE(eventually([&] { return p.core->samples().samplesStored() == 1; })) << mode;
        EXPECT_EQ(p.core->samples().takeOver()->line, "0,ABC,42");
    }
}

TEST(SamplingOnCh1, OffUntilTheSettingsAskForFields)
{
    PtyCore p(Ch2Mode::NotUsed, withSampling(SamplingSettings{}));
    p.far1.send("abc");
    ASSERT_TRUE(eventually([&] { return p.core->traffic().storedLength() == 3; }));
    EXPECT_EQ(p.core->samples().samplesStored(), 0);
    p.core->settings().sampling.samplingCount = 1;
    p.core->settings().sampling.samplingFields[0] = {0, 2};
    p.core->applySamplingSettings();
    p.far1.send("xyz");
    ASSERT_TRUE(eventually([&] { return p.core->samples().samplesStored() == 1; }));
    EXPECT_EQ(p.core->samples().takeOver()->line, "0,xy");
}

// The receive thread fills rows while this thread takes them over, reconfigures and clears, as
// the view and the settings dialog do. Run under ThreadSanitizer this shows the sharing is sound.
TEST(SamplingOnCh1, TheViewSideWorksWhileRecordsArrive)
{
    SamplingSettings s;
    s.samplingCount = 1;
    s.samplingFields[0] = {0, 4};
    PtyCore p(Ch2Mode::NotUsed, withSampling(s));
    std::atomic<bool> sent{false};
    std::thread far([&] {
        for (int i = 0; i < 300; ++i) {
            char record[16];
            std::snprintf(record, sizeof record, "R%03d;", i);
            p.far1.send(std::string(record));
            if (i % 5 == 0)
                std::this_thread::sleep_for(1ms);
        }
        sent = true;
    });
    const std::regex lineForm(R"(\d+,(R\d{3})?)");
    int taken = 0;
    bool cleared = false;
    const auto viewWork = [&](int pass) {
        if (const auto row = p.core->samples().takeOver()) {
            EXPECT_TRUE(std::regex_match(row->line, lineForm)) << row->line;
            ++taken;
        }
        if (taken >= 40 && !cleared) {
            p.core->samples().clear();
            cleared = true;
        }
        if (pass % 50 == 0)
            p.core->applySamplingSettings();
    };
    for (int pass = 0; !sent.load(); ++pass) {
        viewWork(pass);
        std::this_thread::sleep_for(100us);
    }
    far.join();
    ASSERT_TRUE(eventually([&] { return p.core->traffic().storedLength() == 300 * 5; }, 20s));
    for (int pass = 1; p.core->samples().samplesStored() != p.core->samples().samplesShown(); ++pass)
        viewWork(pass);
    EXPECT_GT(taken, 0);
    for (const std::string& line : p.core->samples().shownLines())
        EXPECT_TRUE(std::regex_match(line, lineForm)) << line;
}

// A board that counts how it is closed and what the outputs were at that moment.
struct RecordingBoard : DioBoard {
    AppCore* core = nullptr;
    std::vector<std::array<std::uint8_t, 3>> outputsAtClose;
    bool present() const override { return true; }
    int readPort(int, std::uint8_t&) override { return kDioOk; }
    int writePort(int, std::uint8_t) override { return kDioOk; }
    int readPortCHalf(int, std::uint8_t&) override { return kDioOk; }
    int close() override
    {
        outputsAtClose.push_back({core->dio().byte(DioArea::Output, 0), core->dio().byte(DioArea::Output, 1),
                                  core->dio().byte(DioArea::Output, 2)});
        return kDioOk;
    }
};

TEST(DigitalIoAtShutdown, OutputsBecomeZeroThenTheBoardIsClosedTwice)
{
    TempDir dir;
    AppCore core(dir.path(), [](int, OpenError&) { return std::unique_ptr<SerialPort>(); });
    auto board = std::make_unique<RecordingBoard>();
    board->core = &core;
    RecordingBoard& seen = *board;
    core.setDioBoard(std::move(board));
    core.dio().setByte(DioArea::Output, 0, 0xFF);
    core.dio().setByte(DioArea::Output, 2, 0x10);
    core.dio().setByte(DioArea::Input, 1, 0x42);
    core.shutdown();
    ASSERT_EQ(seen.outputsAtClose.size(), 2u);
    for (const auto& outputs : seen.outputsAtClose)
        EXPECT_EQ(outputs, (std::array<std::uint8_t, 3>{0, 0, 0}));
    EXPECT_EQ(core.dio().byte(DioArea::Input, 1), 0x42);
}

} // namespace
} // namespace kestrane
