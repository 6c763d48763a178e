// The device field in the real window: a device unplugged behind its link shows as a warning
// within a second, then, plugged in again, as a reconnection; the status text stays.
#include "app/app_core.h"
#include "app/device_status_text.h"
#include "app/ui/device_field.h"
#include "app/ui/draw_app.h"
#include "app/ui/main_window.h"
#include "settings/ui/line_status_dialog.h"
#include "support/controls.h"
#include "support/pty_pair.h"
#include "support/scripted_com_port_server.h"
#include "support/temp_dir.h"
#include "traffic/log_file.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QSocketNotifier>
#include <QTimer>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include <unistd.h>

namespace kestrane {
namespace {

using namespace std::chrono_literals;
using test::PtyPair;
using test::TempDir;

// How often a 50 ms timer ran on the GUI thread once `from` held, and the longest time
// between two of those runs.
struct LoopWatch {
    QTimer tick;
    QElapsedTimer since;
    qint64 longest = 0;
    int ticks = 0;
    bool started = false;
    // Counts the gaps between the tick that finds `from` true and the one that finds `until` true
    // (neither's own gap: what comes before and after, such as building the window, is not timed).
    explicit LoopWatch(std::function<bool()> from, std::function<bool()> until = {})
    {
        since.start();
        QObject::connect(&tick, &QTimer::timeout, [this, from = std::move(from), until = std::move(until)] {
            if (until && ticks > 0 && until()) {
                tick.stop();
                return;
            }
            if (!started) {
                started = from();
                since.restart();
                return;
            }
            longest = std::max(longest, since.restart());
            ++ticks;
        });
        tick.start(50);
    }
};

// COM1 is a link to a pty pair's slave, as a /dev/serial/by-id name points at a USB adapter.
struct LinkedDevice {
    TempDir dir;
    std::unique_ptr<PtyPair> far = std::make_unique<PtyPair>();
    std::filesystem::path link = dir / "ttyUSB-link";
    LinkedDevice()
    {
        std::filesystem::create_symlink(far->slavePath(), link);
        std::ofstream(dir / "ports.conf") << "COM1=" << link.string() << "\n";
    }
};

TEST(DeviceField, ShowsTheLossThenTheReconnection)
{
    LinkedDevice device;
    AppCore core(device.dir.path());
    core.loadStartupSize();
    TDrawApp app(core);
    app.initMainWindow(false);
    app.frame()->show();
    app.frame()->client()->setUp();
    DeviceField* field = app.frame()->deviceField();
    ASSERT_NE(field, nullptr);
    ASSERT_TRUE(core.channels().running(1));
    EXPECT_TRUE(field->text().isEmpty());
    const QString statusBefore = app.frame()->statusText();

    device.far->closeMaster();
    QElapsedTimer lostAt;
    lostAt.start();
    ASSERT_TRUE(test::waitFor([&] { return field->warning(); }));
    EXPECT_LT(lostAt.elapsed(), 1500);
    EXPECT_NE(field->toolTip().indexOf(QString::fromStdString(device.link.string())), -1) << field->toolTip().toStdString();
    EXPECT_TRUE(field->isVisible());
    EXPECT_EQ(app.frame()->statusText(), statusBefore);

    PtyPair back;
    const auto tmp = device.dir / "tmp-link";
    std::filesystem::create_symlink(back.slavePath(), tmp);
    std::filesystem::rename(tmp, device.link);
    ASSERT_TRUE(test::waitFor([&] { return !field->warning() && core.channels().running(1); }));
    EXPECT_NE(field->text().indexOf(QStringLiteral("再接続")), -1) << field->text().toStdString();
    app.frame()->close();
}

TEST(DeviceField, TheLineStatusWindowShowsTheLostDeviceToo)
{
    LinkedDevice device;
    AppCore core(device.dir.path());
    ASSERT_EQ(core.channels().openChannel(1, 1), OpenResult::Opened);
    auto* window = new TDialog17(core.channels(), core.lineStatus);
    window->show();
    auto* label = window->findChild<QLabel*>(QStringLiteral("deviceStatus"));
    ASSERT_NE(label, nullptr);
    window->sampleNow();
    EXPECT_FALSE(label->isVisible());

    device.far->closeMaster();
    QSocketNotifier lost(core.channels().deviceEventFd(), QSocketNotifier::Read);
    QObject::connect(&lost, &QSocketNotifier::activated, [&] { core.channels().handleDeviceEvents(); });
    ASSERT_TRUE(test::waitFor([&] { return core.channels().device(1).state == DeviceStatus::State::Lost; }));
    window->sampleNow();
    EXPECT_TRUE(label->isVisible());
    EXPECT_NE(label->text().indexOf(QString::fromStdString(device.link.string())), -1) << label->text().toStdString();
    window->close();
}

TEST(DeviceField, AutomaticLoggingThatCannotWriteIsToldWithItsReason)
{
    LinkedDevice device;
    test::writeFileBytes(device.dir / "log", {1});  // a file where the log folder should be
    AppCore core(device.dir.path());
    core.loadStartupSize();
    TDrawApp app(core);
    app.initMainWindow(false);
    app.frame()->show();
    app.frame()->client()->setUp();
    core.settings().sampling.autoLogging = 1;
    core.settings().record.bufferSize = 200;
    core.applySettings();
    ASSERT_TRUE(core.channels().running(1));
    DeviceField* field = app.frame()->deviceField();
    // Pages of 200 lines of 60 bytes fill until one is handed to the log.
    const std::string block(1000, 'x');
    for (int i = 0; i < 100 && !field->warning(); ++i) {
        ASSERT_EQ(::write(device.far->master(), block.data(), block.size()), 1000);
        test::waitFor([&] { return field->warning(); }, std::chrono::milliseconds(100));
    }
    ASSERT_TRUE(field->warning());
    // The system's reason in the window's words, its name kept.
    EXPECT_NE(field->text().indexOf(QStringLiteral("自動ログ: 書けません: ディレクトリではありません（ENOTDIR）")), -1)
        << field->text().toStdString();
    EXPECT_NE(field->toolTip().indexOf(QStringLiteral("Log0.log")), -1) << field->toolTip().toStdString();
    core.settings().record.noExitSaveQuery = 1;  // no save question for the test's traffic
    app.frame()->close();
}

// Pages held back for want of room are told in the device field, from the receive thread's
// notifier (it never waits for the window).
TEST(DeviceField, PagesHeldBackForWantOfRoomAreTold)
{
    LinkedDevice device;
    AppCore core(device.dir.path());
    core.loadStartupSize();
    TDrawApp app(core);
    app.initMainWindow(false);
    app.frame()->show();
    app.frame()->client()->setUp();
    core.traffic().setFreeSpaceQuery([](const std::filesystem::path&) { return std::optional(kAutoLogFreeSpaceFloor); });
    core.settings().sampling.autoLogging = 1;
    core.settings().record.bufferSize = 200;
    core.applySettings();
    ASSERT_TRUE(core.channels().running(1));
    DeviceField* field = app.frame()->deviceField();
    const std::string block(1000, 'x');
    for (int i = 0; i < 100 && !field->warning(); ++i) {
        ASSERT_EQ(::write(device.far->master(), block.data(), block.size()), 1000);
        test::waitFor([&] { return field->warning(); }, std::chrono::milliseconds(100));
    }
    EXPECT_NE(field->text().indexOf(QStringLiteral("空き容量不足")), -1) << field->text().toStdString();
    EXPECT_NE(field->toolTip().indexOf(QStringLiteral("Log0.log から")), -1) << field->toolTip().toStdString();
    EXPECT_FALSE(std::filesystem::exists(device.dir / "log" / "Log0.log"));
    core.settings().record.noExitSaveQuery = 1;
    app.frame()->close();
}

TEST(DeviceField, SaysWhyAPortDidNotOpenAtStartUp)
{
    TempDir dir;
    std::ofstream(dir / "ports.conf") << "COM1=" << (dir / "ttyUSB-missing").string() << "\n";
    AppCore core(dir.path());
    core.loadStartupSize();
    TDrawApp app(core);
    app.initMainWindow(false);
    app.frame()->show();
    app.frame()->client()->setUp();
    app.frame()->refreshMenuBarCommands();
    DeviceField* field = app.frame()->deviceField();
    EXPECT_TRUE(field->warning());
    EXPECT_NE(field->text().indexOf(QStringLiteral("ttyUSB-missing ありません")), -1) << field->text().toStdString();
    EXPECT_NE(field->toolTip().indexOf(QStringLiteral("ttyUSB-missing がありません（取り外されたか")), -1)
        << field->toolTip().toStdString();
    app.frame()->close();
}

TEST(RemoteLineInTheWindow, AServerThatNeverAnswersHoldsNeitherTheStartNorTheWindow)
{
    TempDir dir;
    test::ScriptedComPortServer server(true, false);  // takes the connection, never says a word
    std::ofstream(dir / "ports.conf") << "COM1=" << server.url() << "\n";
    AppCore core(dir.path());
    core.loadStartupSize();
    TDrawApp app(core);
    // While the line opens: from the server's accept until the window has the open's result.
    LoopWatch startUp([&] { return !server.accepted().empty(); },
                      [&] { return core.channels().device(1).openFailure.kind != OpenError::None; });
    QElapsedTimer took;
    took.start();
    app.initMainWindow(false);
    EXPECT_GE(took.elapsed(), 1900) << "the negotiation was waited for";
    // The splash kept painting meanwhile: the timer ran all through the 2 s wait.
    EXPECT_GE(startUp.ticks, 10);
    EXPECT_LT(startUp.longest, 1000);
    EXPECT_EQ(core.channels().device(1).openFailure.kind, OpenError::NoAnswer);
    app.frame()->close();
}

TEST(RemoteLineInTheWindow, ReconnectingToAServerThatAnswersNoSettingKeepsTheWindowGoingAndSlowsDown)
{
    TempDir dir;
    test::ScriptedComPortServer server;
    std::ofstream(dir / "ports.conf") << "COM1=" << server.url() << "\n";
    AppCore core(dir.path());
    core.loadStartupSize();
    TDrawApp app(core);
    app.initMainWindow(false);
    app.frame()->show();
    app.frame()->client()->setUp();
    ASSERT_TRUE(core.channels().running(1));

    // Restarted, it takes connections but answers no line setting any more.
    server.setRule([](std::uint8_t, const std::vector<std::uint8_t>&) { return std::nullopt; });
    LoopWatch window([] { return true; });
    server.dropClient();
    ASSERT_TRUE(test::waitFor([&] { return server.accepted().size() >= 4; }, 15s));
    EXPECT_LT(std::max(window.longest, window.since.elapsed()), 1000) << "each try configures off the GUI thread";
    // Each try takes as long (two unanswered sets); the pauses between them double.
    const auto at = server.accepted();
    EXPECT_GE((at[3] - at[2]) - (at[2] - at[1]), 700ms);
    DeviceField* field = app.frame()->deviceField();
    EXPECT_NE(field->toolTip().indexOf(QStringLiteral("設定できません")), -1) << field->toolTip().toStdString();
    app.frame()->close();
}

TEST(DeviceField, NamesTheStoredSettingsALineRefusedWhileItRunsAtTheDefaults)
{
    LinkedDevice device;
    AppCore core(device.dir.path());
    Dcb& stored = core.settings().lineParams.ch1Dcb;
    stored.ByteSize = 7;  // a pty keeps 8 data bits and no parity
    stored.Parity = EVENPARITY;
    ASSERT_EQ(core.channels().openChannel(1, 1), OpenResult::Opened);
    EXPECT_EQ(core.settings().record.ch1ByteSize, 8) << "the defaults, as the status text shows";
    const DeviceFieldText t = deviceFieldText(core.channels().device(1), {}, false);
    EXPECT_NE(t.text.indexOf(QStringLiteral("受け付けない設定: データ長 7, パリティ 偶数（既定値で動作）")), -1)
        << t.text.toStdString();
    EXPECT_TRUE(t.warning);
    core.channels().summarise(1);  // as after a settings command: the line was set anew
    EXPECT_TRUE(deviceFieldText(core.channels().device(1), {}, false).text.isEmpty());
}

} // namespace
} // namespace kestrane
