// The settings menu in the real main window: the menu actions themselves, their dialogs driven
// through their controls, and what follows them (ports reopened on pseudo-terminals, relaying,
// status text, timer 1, the manual at a page).
#include "app/command_ids.h"
#include "app/app_core.h"
#include "app/ui/device_field.h"
#include "app/ui/draw_app.h"
#include "app/ui/main_window.h"
#include "app/ui/settings_commands.h"
#include "widgets/dialog_ids.h"
#include "platform/port_resolver.h"
#include "platform/posix_serial_port.h"
#include "platform/remote_address.h"
#include "records/settings_files.h"
#include "remote/remote_serial_port.h"
#include "settings/ui/line_status_dialog.h"
#include "support/controls.h"
#include "support/pty_pair.h"
#include "support/scripted_com_port_server.h"
#include "support/ser2net_server.h"
#include "support/temp_dir.h"
#include "traffic/ui/traffic_view.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <asm/termbits.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

#include <chrono>
#include <fstream>

namespace kestrane {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::child;
using test::click;
using test::waitFor;
using test::whenModalOpens;
using test::PtyPair;
using test::TempDir;

// COM numbers open only what ports.conf maps (pseudo-terminals, lines served on 127.0.0.1); no
// real device is ever tried.
PortOpener mappedOnly(const fs::path& dir)
{
    return [dir](int com, OpenError& e) -> std::unique_ptr<SerialPort> {
        const PortResolver resolver(dir / "ports.conf");
        const auto it = resolver.entries().find(com);
        if (it == resolver.entries().end()) {
            e = OpenError::NotFound;
            return nullptr;
        }
        if (looksRemote(it->second))
            return openRemoteSerialPort(it->second, e);
        return openPosixSerialPort(it->second, e);
    };
}

// The whole program on the offscreen screen, started in a temporary folder.
struct App {
    TempDir dir;
    PtyPair pty1, pty2;
    std::vector<std::string> messages;

    explicit App(int ch1Com = 1, int ch2Mode = Ch2Mode::NotUsed, int ch2Com = 0)
    {
        std::ofstream(dir / "ports.conf") << "COM3=" << pty1.slavePath() << "\nCOM4=" << pty2.slavePath()
                                          << "\nCOM6=" << (dir / "unplugged").string() << "\n";
        Settings s;
        s.record.ch1ComNumber = ch1Com;
        s.record.ch2Mode = ch2Mode;
        s.record.ch2ComNumber = ch2Com;
        EXPECT_TRUE(saveQuellorn(s, dir.path()));
        core = std::make_unique<AppCore>(dir.path(), mappedOnly(dir.path()));
        core->loadStartupSize();
        app = std::make_unique<TDrawApp>(*core);
        app->initMainWindow(false);
        app->frame()->show();
        window().setUp();
        // The port list comes from a prepared, empty sysfs tree and ports.conf, never this machine's /sys.
        const fs::path sys = dir / "sys";
        window().settingsCommands().deviceTree = SerialDeviceTree{sys / "class/tty", sys / "dev", sys / "by-id",
                                                                   sys / "console"};
        window().settingsCommands().message = [this](const QString& text, QMessageBox::StandardButtons,
                                                     QMessageBox::Icon) {
            messages.push_back(text.toStdString());
            return QMessageBox::Ok;
        };
    }
    ~App()
    {
        core->settings().record.noExitSaveQuery = 1;
        app->frame()->close();
    }
    TDrawWindow& window() { return *app->frame()->client(); }
    // The COM-port command's ports open on the side; the window's loop runs until they did.
    bool reopened()
    {
        return waitFor([&] { return !window().settingsCommands().reopening(); }, std::chrono::seconds(15));
    }
    QAction* action(int id)
    {
        app->frame()->refreshAllCommands();
        QAction* a = app->frame()->action(id);
        EXPECT_NE(a, nullptr) << id;
        return a;
    }
    std::string status() const { return app->frame()->statusText().toStdString(); }
    // Every text on the fast display's page, in order.
    std::string page()
    {
        std::string out;
        window().display().fastDisplay().readMap([&](const ScreenCellMap& map) {
            for (int line = 0; line < ScreenCellMap::kLines; ++line)
                for (int i = 0; i < ScreenCellMap::kCellsPerLine; ++i) {
                    const ScreenCell& c = map.cell(line, i);
                    if (c.length > 0 && c.kind >= 0 && c.kind < ScreenCell::kControlBase)
                        out.append(reinterpret_cast<const char*>(c.text.data()), static_cast<std::size_t>(c.length));
                }
        });
        return out;
    }

    std::unique_ptr<AppCore> core;
    std::unique_ptr<TDrawApp> app;
};

std::string text(const std::vector<std::uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

TEST(ComPortCommand, TheMenuActionMovesCh1ToAPseudoTerminalAndItsBytesAppear)
{
    App a;  // COM1 is not mapped: CH1 fails at start-up
    EXPECT_FALSE(a.core->channels().running(1));
    QAction* comPort = a.action(cmd::ComPortSettings);
    EXPECT_TRUE(comPort->isEnabled());
    for (int id : {cmd::SerialSettingsCh1, cmd::DcbSettingsCh1, cmd::LineStatusCh1})
        EXPECT_FALSE(a.action(id)->isEnabled()) << id;

    bool seen = false;
    whenModalOpens([&](QWidget* d) {
        seen = true;
        EXPECT_EQ(d->objectName(), dialog_id::ComPort);
        auto* ch1 = child<QComboBox>(d, 251);
        // The mapped pseudo-terminals are offered (the missing COM6 is not), with their paths.
        ASSERT_EQ(ch1->count(), 2);
        EXPECT_EQ(ch1->itemText(0).toStdString(), "COM3");
        ch1->setCurrentIndex(0);
        EXPECT_EQ(d->findChild<QLabel*>("info251")->text().toStdString(), a.pty1.slavePath());
        click(d, 201);
    });
    comPort->trigger();
    ASSERT_TRUE(a.reopened());
    ASSERT_TRUE(seen);
    EXPECT_TRUE(a.messages.empty());
    EXPECT_EQ(a.core->settings().record.ch1ComNumber, 3);
    ASSERT_TRUE(a.core->channels().running(1));
    EXPECT_NE(a.status().find("CH1:COM3:9600"), std::string::npos) << a.status();
    for (int id : {cmd::SerialSettingsCh1, cmd::DcbSettingsCh1, cmd::LineStatusCh1})
        EXPECT_TRUE(a.action(id)->isEnabled()) << id;

    // After timer 1's first tick, which clears the buffer once at start-up.
    ASSERT_TRUE(waitFor([&] { return a.window().display().lowSpeed().startupClearPending == 0; }));
    a.pty1.send("hello,far-end");
    EXPECT_TRUE(waitFor([&] { return a.page().find("hello,far-end") != std::string::npos; })) << a.page();
    const TrafficBuffer& t = a.core->traffic();
    ASSERT_EQ(t.storedLength(), 13);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(t.currentDataPlane().data()), 13), "hello,far-end");
    EXPECT_EQ(t.currentTagPlane()[0], '1');  // CH1 received
}

TEST(ComPortCommand, SwitchingOnTheRelayRelaysAtOnce)
{
    App a(3);
    ASSERT_TRUE(a.core->channels().running(1));
    whenModalOpens([](QWidget* d) {
        child<QCheckBox>(d, 327)->setChecked(true);
        child<QComboBox>(d, 252)->setEditText(QStringLiteral("COM4"));
        child<QCheckBox>(d, 321)->setChecked(true);
        child<QRadioButton>(d, 527)->setChecked(true);
        click(d, 201);
    });
    a.action(cmd::ComPortSettings)->trigger();
    ASSERT_TRUE(a.reopened());
    EXPECT_EQ(a.core->settings().record.ch2Mode, 7);
    ASSERT_TRUE(a.core->channels().running(2));
    a.pty1.send("to the right");
    EXPECT_EQ(text(a.pty2.receive(12, 3000ms)), "to the right");
    a.pty2.send("to the left");
    EXPECT_EQ(text(a.pty1.receive(11, 3000ms)), "to the left");
    EXPECT_FALSE(a.action(cmd::RunMacro)->isEnabled());  // no macros while monitoring the line
}

TEST(ComPortCommand, ACh2ThatDoesNotOpenIsSwitchedOff)
{
    App a(3);
    whenModalOpens([](QWidget* d) {
        child<QCheckBox>(d, 327)->setChecked(true);
        child<QComboBox>(d, 252)->setEditText(QStringLiteral("COM6"));
        click(d, 201);
    });
    a.action(cmd::ComPortSettings)->trigger();
    ASSERT_TRUE(a.reopened());
    EXPECT_EQ(a.messages, (std::vector<std::string>{"ＣＨ２のポートがオープンしません。"}));
    EXPECT_EQ(a.core->settings().record.ch2Mode, 0);
    EXPECT_EQ(a.core->settings().record.ch2ComNumber, 0);
    EXPECT_TRUE(a.core->channels().running(1));
    EXPECT_EQ(a.status().find("CH2"), std::string::npos) << a.status();
    for (int id : {cmd::SerialSettingsCh2, cmd::DcbSettingsCh2, cmd::LineStatusCh2})
        EXPECT_FALSE(a.action(id)->isEnabled()) << id;
}

TEST(ComPortCommand, ALineThatTakesLongToAnswerOpensWhileTheWindowGoesOn)
{
    App a(3);
    test::ScriptedComPortServer silent(true, false);  // takes the connection, never says a word
    std::ofstream(a.dir / "ports.conf", std::ios::app) << "COM8=" << silent.url() << "\n";
    whenModalOpens([](QWidget* d) {
        child<QComboBox>(d, 251)->setEditText(QStringLiteral("COM8"));
        click(d, 201);
    });
    QElapsedTimer took;
    took.start();
    a.action(cmd::ComPortSettings)->trigger();
    EXPECT_LT(took.elapsed(), 1000) << "the command does not wait for the line";
    EXPECT_TRUE(a.window().settingsCommands().reopening());
    EXPECT_TRUE(a.messages.empty());
    ASSERT_TRUE(a.reopened());
    EXPECT_EQ(a.messages, (std::vector<std::string>{"ＣＨ１のポートがオープンしません。"}));
    EXPECT_EQ(a.core->channels().device(1).openFailure.kind, OpenError::NoAnswer);
}

TEST(ComPortCommand, ClosingTheDialogReopensThePortsAsTheyWere)
{
    App a(3, Ch2Mode::Independent, 4);
    ASSERT_TRUE(a.core->channels().running(2));
    whenModalOpens([](QWidget* d) { click(d, 202); });
    a.action(cmd::ComPortSettings)->trigger();
    ASSERT_TRUE(a.reopened());
    EXPECT_TRUE(a.core->channels().running(1));
    EXPECT_TRUE(a.core->channels().running(2));
    EXPECT_TRUE(a.messages.empty());
}

TEST(SerialSettingsCommand, AppliesTheChoiceReportsARefusalAndReappliesOnCancel)
{
    App a(3);
    whenModalOpens([](QWidget* d) {
        d->findChild<QComboBox*>("baudRate")->setEditText(QStringLiteral("19200"));
        d->findChild<QPushButton*>("ok")->click();
    });
    a.action(cmd::SerialSettingsCh1)->trigger();
    EXPECT_TRUE(a.messages.empty());
    EXPECT_EQ(a.core->settings().lineParams.ch1Dcb.BaudRate, 19200u);
    EXPECT_EQ(a.core->settings().record.ch1BaudRate, 19200u);
    EXPECT_NE(a.status().find("COM3:19200"), std::string::npos) << a.status();

    // 1.5 stop bits with 8 data bits: the port refuses, the stores keep what the port has.
    whenModalOpens([](QWidget* d) {
        d->findChild<QComboBox*>("stopBits")->setCurrentIndex(1);
        d->findChild<QPushButton*>("ok")->click();
    });
    a.action(cmd::SerialSettingsCh1)->trigger();
    EXPECT_EQ(a.messages, (std::vector<std::string>{"SetCommStateのErr番号は87:cc.size=52\nこの組み合わせは設定できません"}));
    EXPECT_EQ(a.core->settings().lineParams.ch1Dcb.StopBits, ONESTOPBIT);

    // 7 data bits and even parity on a pty, which keeps 8N1 and answers the set with success:
    // refused with the settings named, and the stores keep what the device has. The rate asked
    // with them was taken and undone: the message names the rate the device is back at.
    a.messages.clear();
    whenModalOpens([](QWidget* d) {
        d->findChild<QComboBox*>("baudRate")->setEditText(QStringLiteral("38400"));
        d->findChild<QComboBox*>("byteSize")->setCurrentText(QStringLiteral("7"));
        d->findChild<QComboBox*>("parity")->setCurrentIndex(2);
        d->findChild<QPushButton*>("ok")->click();
    });
    a.action(cmd::SerialSettingsCh1)->trigger();
    ASSERT_EQ(a.messages.size(), 1u);
    EXPECT_EQ(a.messages[0], "SetCommStateのErr番号は87:cc.size=52\nデバイスが受け付けなかった設定: データビット、パリティ"
                             "（デバイスの設定は 19200bps 8ビット パリティなし ストップビット1）");
    EXPECT_EQ(a.core->settings().lineParams.ch1Dcb.ByteSize, 8);
    EXPECT_EQ(a.core->settings().lineParams.ch1Dcb.Parity, NOPARITY);
    EXPECT_NE(a.status().find("COM3:19200:8b1bit:Pr無"), std::string::npos) << a.status();

    a.messages.clear();
    whenModalOpens([](QWidget* d) { d->findChild<QPushButton*>("cancel")->click(); });
    a.action(cmd::SerialSettingsCh1)->trigger();
    EXPECT_TRUE(a.messages.empty());
    Dcb onPort;
    ASSERT_TRUE(a.core->channels().port(1)->getCommState(onPort));
    EXPECT_EQ(onPort.BaudRate, 19200u);
}

TEST(RemoteLineCommands, ALineServedByser2netIsChosenConfiguredAndWatchedAsALocalOne)
{
    App a(3);
    PtyPair served;
    test::Ser2netServer server(served.slavePath());
    ASSERT_TRUE(server.running());
    test::ScriptedComPortServer strict;  // takes every rate but 38400
    strict.setRule([](std::uint8_t code, const std::vector<std::uint8_t>& v) {
        return std::optional(code == 1 && v == std::vector<std::uint8_t>{0, 0, 0x96, 0} ? std::vector<std::uint8_t>{0, 0, 0x25, 0x80}
                                                                                    : v);
    });
    std::ofstream(a.dir / "ports.conf", std::ios::app) << "COM7=" << server.url() << "\nCOM8=" << strict.url() << "\n";

    whenModalOpens([&](QWidget* d) {
        auto* ch1 = child<QComboBox>(d, 251);
        const int at = ch1->findText(QStringLiteral("COM7"));
        ASSERT_GE(at, 0) << "a remote line is offered";
        ch1->setCurrentIndex(at);
        EXPECT_EQ(d->findChild<QLabel*>("info251")->text().toStdString(), server.url());
        click(d, 201);
    });
    a.action(55519)->trigger();
    ASSERT_TRUE(a.reopened());
    EXPECT_TRUE(a.messages.empty());
    ASSERT_TRUE(a.core->channels().running(1));
    const QString field = a.app->frame()->deviceField()->text();
    EXPECT_NE(field.indexOf(QString::fromStdString(parseRemoteAddress(server.url())->hostAndPort())), -1);
    EXPECT_NE(field.indexOf(QStringLiteral("未確認: DTR, RTS")), -1) << field.toStdString();

    whenModalOpens([](QWidget* d) {
        d->findChild<QComboBox*>("baudRate")->setEditText(QStringLiteral("19200"));
        d->findChild<QPushButton*>("ok")->click();
    });
    a.action(55520)->trigger();
    EXPECT_TRUE(a.messages.empty());
    termios2 t{};
    ASSERT_EQ(::ioctl(served.master(), TCGETS2, &t), 0);
    EXPECT_EQ(t.c_ospeed, 19200u) << "ser2net set the rate on the line it serves";
    EXPECT_EQ(a.core->settings().lineParams.ch1Dcb.BaudRate, 19200u);
    EXPECT_NE(a.status().find("COM7:19200"), std::string::npos) << a.status();

    a.action(37829)->trigger();
    auto* window = a.window().findChildren<LineStatusDialog*>().value(0);
    ASSERT_NE(window, nullptr);
    window->sampleNow();
    const QString named = window->findChild<QLabel*>(QStringLiteral("deviceStatus"))->text();
    EXPECT_NE(named.indexOf(QString::fromStdString(server.url())), -1) << named.toStdString();
    window->close();

    // A server that answers a rate with another: the error path, the stores keep what the line has.
    a.core->settings().record.ch1ComNumber = 8;
    ASSERT_EQ(a.core->channels().openChannel(1, 8), OpenResult::Opened);
    whenModalOpens([](QWidget* d) {
        d->findChild<QComboBox*>("baudRate")->setEditText(QStringLiteral("38400"));
        d->findChild<QPushButton*>("ok")->click();
    });
    a.action(55520)->trigger();
    EXPECT_EQ(a.messages, (std::vector<std::string>{"SetCommStateのErr番号は87:cc.size=52\nデバイスが受け付けなかった設定: "
                                                    "ボーレート（デバイスの設定は 19200bps 8ビット パリティなし ストップビット1）"}));
    EXPECT_EQ(a.core->settings().lineParams.ch1Dcb.BaudRate, 19200u);
}

TEST(DcbCommand, ABaudRateWithoutDigitsIsRefusedByThePortAndTheSummaryRestored)
{
    App a(3);
    whenModalOpens([](QWidget* d) {
        EXPECT_EQ(d->objectName(), dialog_id::Dcb);
        child<QLineEdit>(d, 401)->setText("abc");
        child<QLineEdit>(d, 420)->setText("0A");
        click(d, 201);
    });
    a.action(cmd::DcbSettingsCh1)->trigger();
    EXPECT_TRUE(a.messages.empty());
    EXPECT_EQ(a.core->settings().lineParams.ch1Dcb.BaudRate, 9600u);
    EXPECT_EQ(a.core->settings().record.ch1BaudRate, 9600u);
    EXPECT_NE(a.status().find("COM3:9600"), std::string::npos) << a.status();
}

TEST(DisplayCommands, BaseClockRestartsTimer1AndTheBufferSizeIsCorrected)
{
    App a(3);
    EXPECT_EQ(a.window().timer1IntervalMs(), 200);
    whenModalOpens([](QWidget* d) {
        child<QLineEdit>(d, 402)->setText("50");
        child<QLineEdit>(d, 412)->setText("333");
        click(d, 201);
    });
    a.action(cmd::PlSettings)->trigger();
    EXPECT_EQ(a.window().timer1IntervalMs(), 50);
    EXPECT_EQ(a.messages, (std::vector<std::string>{"Buffer Sizeを偶数値に設定します。"}));
    EXPECT_EQ(a.core->traffic().config().bufferSize, 332);

    // A period of 0 runs at the shortest period, never as a spinning timer.
    whenModalOpens([](QWidget* d) {
        child<QLineEdit>(d, 402)->setText("0");
        click(d, 201);
    });
    a.action(cmd::PlSettings)->trigger();
    EXPECT_EQ(a.window().timer1IntervalMs(), 10);
}

TEST(DisplayCommands, DisplayModeOnlyInLowSpeedAndThenTheStatusText)
{
    App a(3);
    EXPECT_FALSE(a.action(cmd::DisplaySettings)->isEnabled());
    a.window().toggleSpeed();
    ASSERT_TRUE(a.action(cmd::DisplaySettings)->isEnabled());
    whenModalOpens([](QWidget* d) {
        child<QRadioButton>(d, 502)->setChecked(true);
        click(d, 201);
    });
    a.action(cmd::DisplaySettings)->trigger();
    EXPECT_EQ(a.core->settings().record.displayMode, 1);
    EXPECT_EQ(a.core->traffic().config().displayMode, 1);
    EXPECT_EQ(a.status().rfind("HEX表示", 0), 0u) << a.status();
    EXPECT_FALSE(a.action(cmd::ToggleSpeed)->isEnabled());

    whenModalOpens([](QWidget* d) {
        child<QRadioButton>(d, 510)->setChecked(true);
        click(d, 201);
    });
    a.action(cmd::StartupSizeSettings)->trigger();
    EXPECT_EQ(a.core->settings().startupSizeCode, 5);
    EXPECT_EQ(a.app->frame()->width(), 670);  // the size changes at the next start
}

TEST(OtherCommands, OtherSettingsAndAutomaticLoggingReachTheTrafficBuffer)
{
    App a(3);
    whenModalOpens([](QWidget* d) {
        child<QCheckBox>(d, 102)->setChecked(false);
        click(d, 201);
    });
    a.action(cmd::OtherSettings)->trigger();
    EXPECT_EQ(a.core->settings().record.showSentText, 0);
    EXPECT_EQ(a.core->traffic().config().showSentText, 0);

    whenModalOpens([](QWidget* d) {
        child<QCheckBox>(d, 324)->setChecked(true);
        child<QLineEdit>(d, 401)->setText("Bench");
        click(d, 201);
    });
    a.action(cmd::AutoLogSettings)->trigger();
    EXPECT_EQ(a.core->traffic().config().autoLogging, 1);
    EXPECT_EQ(a.core->traffic().config().autoLogPrefix, "Bench");
}

TEST(LineStatusCommands, WindowsOpenBesideTheMainWindow)
{
    App a(3, Ch2Mode::MonitorT, 4);
    ASSERT_TRUE(a.core->channels().running(2));
    EXPECT_TRUE(a.action(cmd::LineStatusBoth)->isEnabled());
    a.action(cmd::LineStatusCh1)->trigger();
    a.action(cmd::LineStatusCh2)->trigger();
    a.action(cmd::LineStatusBoth)->trigger();
    a.action(cmd::LineStatusBoth)->trigger();
    const auto statusWindows = a.window().findChildren<LineStatusDialog*>();
    ASSERT_EQ(statusWindows.size(), 2);
    for (LineStatusDialog* w : statusWindows) {
        EXPECT_TRUE(w->isVisible());
        EXPECT_EQ(w->timerPeriodMs(), 200);
    }
    const auto signalWindows = a.window().findChildren<TDialog25*>();
    ASSERT_EQ(signalWindows.size(), 2);
    for (TDialog25* w : signalWindows)
        EXPECT_TRUE(w->timerActive());
    for (LineStatusDialog* w : statusWindows)
        w->close();
    for (TDialog25* w : signalWindows)
        w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(a.window().findChildren<LineStatusDialog*>().isEmpty());
}

TEST(HelpButtons, OpenTheManualAtTheirPageThroughTheConfiguredReader)
{
    App a(3);
    const fs::path reader = a.dir / "reader";
    const fs::path args = a.dir / "reader.args";
    std::ofstream(reader) << "#!/bin/sh\nfor x in \"$@\"; do echo \"$x\"; done > \"" << args.string() << ".tmp\"\nmv \""
                          << args.string() << ".tmp\" \"" << args.string() << "\"\n";
    ::chmod(reader.c_str(), 0755);
    setFixedText(a.core->settings().pdfReaderPath, reader.string());
    whenModalOpens([](QWidget* d) {
        click(d, 203);
        click(d, 202);
    });
    a.action(cmd::ComPortSettings)->trigger();
    ASSERT_TRUE(waitFor([&] { return fs::exists(args); }));
    std::ifstream in(args);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    EXPECT_EQ(lines, (std::vector<std::string>{"/A", "page=49", "Quellorn_Manual.pdf"}));
}

} // namespace
} // namespace kestrane
