// The settings and line-status dialogs on the offscreen platform, driven through their controls:
// 703 and 718, the port configuration, 711 on a pseudo-terminal, 717 and 25 on fake ports (and a
// pseudo-terminal where it can show a line-control button), 705, 707, 714, 713, 719.
#include "comm/channel.h"
#include "widgets/dialog_ids.h"
#include "platform/port_resolver.h"
#include "platform/posix_serial_port.h"
#include "settings/ui/com_port_dialog.h"
#include "settings/ui/dcb_dialog.h"
#include "settings/ui/display_settings_dialogs.h"
#include "settings/ui/lamp.h"
#include "settings/ui/line_status_dialog.h"
#include "settings/ui/other_settings_dialogs.h"
#include "settings/ui/port_config_dialog.h"
#include "support/comm/fake_channels.h"
#include "support/controls.h"
#include "support/pty_pair.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace kestrane {
namespace {

using namespace std::chrono_literals;
using test::child;
using test::click;
using test::waitFor;
using test::whenModalOpens;
using test::FakeChannels;
using test::PtyPair;

// Message boxes and help pages, recorded.
struct Recorder {
    std::vector<std::string> messages;
    std::vector<int> pages;
    MessageBoxFn message()
    {
        return [this](const QString& text, QMessageBox::StandardButtons, QMessageBox::Icon) {
            messages.push_back(text.toStdString());
            return QMessageBox::Ok;
        };
    }
    ManualAtPage manual()
    {
        return [this](int page) { pages.push_back(page); };
    }
};

// ---------------------------------------------------------------- 703

TEST(ComPortDialogUi, WithoutTheSystemListEachListHoldsCom1ToCom255)
{
    SettingsRecord r;
    r.comNumbersFromRegistry = 0;
    r.ch1ComNumber = 40;
    Recorder rec;
    bool enumerated = false;
    TDialog3 d(r, [&] { enumerated = true; return PortEnumeration{}; }, rec.message(), rec.manual());
    auto* ch1 = child<QComboBox>(&d, 251);
    auto* ch2 = child<QComboBox>(&d, 252);
    EXPECT_FALSE(enumerated);
    ASSERT_EQ(ch1->count(), 255);
    EXPECT_EQ(ch2->count(), 255);
    EXPECT_EQ(ch1->itemText(0).toStdString(), "COM1");
    EXPECT_EQ(ch1->itemText(254).toStdString(), "COM255");
    EXPECT_EQ(ch1->currentIndex(), 39);
    EXPECT_EQ(ch2->currentText().toStdString(), "");  // CH2 not used
    EXPECT_EQ(d.windowTitle().toStdString(), "Com Port Setting");
}

TEST(ComPortDialogUi, AStoredPortOutsideTheListIsShownAsTypedTextWithTheDevicesDescribed)
{
    SettingsRecord r;
    r.ch1ComNumber = 40;
    Recorder rec;
    const auto enumerate = [] {
        return PortEnumeration{{{"COM1", "/dev/serial/by-id/usb-FTDI-if00", "FTDI FT232R (0403:6001, A1)"},
                                {"COM3", "/dev/ttyS2", "UART (serial8250)"}},
                               false};
    };
    TDialog3 d(r, enumerate, rec.message(), rec.manual());
    auto* ch1 = child<QComboBox>(&d, 251);
    EXPECT_EQ(ch1->count(), 2);
    EXPECT_EQ(ch1->currentIndex(), -1);
    EXPECT_EQ(ch1->currentText().toStdString(), "COM40");
    EXPECT_EQ(ch1->lineEdit()->selectedText().toStdString(), "COM40");
    // Picking a port shows which device it is, without touching the text the dialog reads.
    ch1->setCurrentIndex(0);
    EXPECT_EQ(ch1->currentText().toStdString(), "COM1");
    EXPECT_EQ(d.findChild<QLabel*>("info251")->text().toStdString(),
              "/dev/serial/by-id/usb-FTDI-if00  FTDI FT232R (0403:6001, A1)");
    EXPECT_EQ(ch1->itemData(1, Qt::ToolTipRole).toString().toStdString(), "/dev/ttyS2  UART (serial8250)");
    EXPECT_TRUE(rec.messages.empty());
}

TEST(ComPortDialogUi, NoPortFoundIsSaidWithWhatToTryInstead)
{
    SettingsRecord r;
    Recorder rec;
    TDialog3 none(r, [] { return PortEnumeration{}; }, rec.message(), rec.manual());
    const auto* said = none.findChild<QLabel*>("noPorts");
    ASSERT_NE(said, nullptr);
    EXPECT_FALSE(said->isHidden());
    EXPECT_EQ(said->text().toStdString(), "シリアルポートが見つかりません。装置なしで試すには端末で kestrane-demo -- kestrane "
                                          "を実行し、装置を使うにはこのフォルダの ports.conf に COM1=/dev/ttyUSB0 "
                                          "のように書いてください。");
    TDialog3 one(r, [] { return PortEnumeration{{{"COM3", "/dev/ttyS2", "UART (serial8250)"}}, false}; }, rec.message(),
                 rec.manual());
    EXPECT_TRUE(one.findChild<QLabel*>("noPorts")->isHidden());
    r.comNumbersFromRegistry = 0;  // COM1..COM255 offered
    TDialog3 fixed(r, [] { return PortEnumeration{}; }, rec.message(), rec.manual());
    EXPECT_TRUE(fixed.findChild<QLabel*>("noPorts")->isHidden());
}

TEST(ComPortDialogUi, PortsConfThatCannotBeWrittenIsReported)
{
    SettingsRecord r;
    Recorder rec;
    TDialog3 d(r, [] { return PortEnumeration{{}, true}; }, rec.message(), rec.manual());
    EXPECT_EQ(rec.messages, (std::vector<std::string>{"ports.confに書き込めないため、新しく見つかったポートに番号を付けられません。"}));
}

TEST(ComPortDialogUi, EnablingFollowsTheBoxesAndTheDetailButtons)
{
    SettingsRecord r;
    r.comNumbersFromRegistry = 0;
    Recorder rec;
    TDialog3 d(r, {}, rec.message(), rec.manual());
    auto* used = child<QCheckBox>(&d, 327);
    auto* monitor = child<QCheckBox>(&d, 321);
    EXPECT_FALSE(child<QComboBox>(&d, 252)->isEnabled());
    EXPECT_FALSE(monitor->isEnabled());
    EXPECT_FALSE(child<QRadioButton>(&d, 526)->isEnabled());
    used->setChecked(true);
    EXPECT_TRUE(child<QComboBox>(&d, 252)->isEnabled());
    EXPECT_TRUE(monitor->isEnabled());
    EXPECT_FALSE(child<QRadioButton>(&d, 527)->isEnabled());
    monitor->setChecked(true);
    EXPECT_TRUE(child<QRadioButton>(&d, 527)->isEnabled());
    used->setChecked(false);
    EXPECT_FALSE(child<QRadioButton>(&d, 527)->isEnabled());

    click(&d, 227);  // CH2's details while CH2 is off
    EXPECT_EQ(rec.messages, (std::vector<std::string>{"CH2を有効にして下さい。"}));
    click(&d, 203);
    EXPECT_EQ(rec.pages, (std::vector<int>{49}));

    // CH1's details: dialog 718 for channel 1, its change stored even if 703 is then closed.
    whenModalOpens([](QWidget* w) {
        EXPECT_EQ(w->objectName(), dialog_id::PortDetails);
        child<QLineEdit>(w, 402)->setText("250");
        click(w, 201);
    });
    click(&d, 216);
    EXPECT_EQ(r.ch1RxGapMs, 250);
    click(&d, 202);
    EXPECT_EQ(d.result(), QDialog::Rejected);
}

TEST(ComPortDialogUi, RefusalsKeepTheDialogOpenAndStoreWhatPassed)
{
    SettingsRecord r;
    r.comNumbersFromRegistry = 0;
    r.ch1ComNumber = 1;
    r.ch2Mode = Ch2Mode::MonitorRelay;
    r.ch2ComNumber = 2;
    Recorder rec;
    TDialog3 d(r, {}, rec.message(), rec.manual());
    d.show();
    EXPECT_TRUE(child<QCheckBox>(&d, 327)->isChecked());
    EXPECT_TRUE(child<QCheckBox>(&d, 321)->isChecked());
    EXPECT_TRUE(child<QRadioButton>(&d, 527)->isChecked());

    auto* ch1 = child<QComboBox>(&d, 251);
    auto* ch2 = child<QComboBox>(&d, 252);
    for (const char* bad : {"COM0", "COM256", "CO"}) {
        ch1->setEditText(QString::fromLatin1(bad));
        click(&d, 201);
    }
    EXPECT_EQ(rec.messages, std::vector<std::string>(3, "CH1のポート番号が違います。"));
    EXPECT_TRUE(d.isVisible());

    rec.messages.clear();
    ch1->setEditText(QStringLiteral("XYZ7"));
    ch2->setEditText(QStringLiteral("COM7"));
    click(&d, 201);
    EXPECT_EQ(rec.messages, (std::vector<std::string>{"CH1とCH2が重なっています。"}));
    EXPECT_EQ(r.ch1ComNumber, 7);  // stored although the dialog stays open
    EXPECT_EQ(r.ch2Mode, 7);
    EXPECT_FALSE(child<QCheckBox>(&d, 327)->isChecked());
    EXPECT_EQ(ch2->currentText().toStdString(), "");
    EXPECT_TRUE(d.isVisible());

    child<QCheckBox>(&d, 327)->setChecked(true);
    ch2->setCurrentIndex(4);  // COM5
    child<QRadioButton>(&d, 526)->setChecked(true);
    click(&d, 201);
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(r.ch2ComNumber, 5);
    EXPECT_EQ(r.ch2Mode, 3);
}

// ---------------------------------------------------------------- 718

TEST(DetailDialogUi, BothEventsOffIsRefusedAndThenClosingIsRefusedToo)
{
    SettingsRecord r;
    Recorder rec;
    TDialog18 d(r, 2, rec.message(), rec.manual());
    d.show();
    EXPECT_EQ(child<QLineEdit>(&d, 402)->text().toStdString(), "1000");
    EXPECT_EQ(child<QLineEdit>(&d, 402)->maxLength(), 15);
    child<QCheckBox>(&d, 327)->setChecked(false);
    click(&d, 202);  // the values taken at set-up had an event: closing is allowed
    EXPECT_EQ(d.result(), QDialog::Rejected);
    EXPECT_FALSE(d.isVisible());

    d.show();
    click(&d, 201);
    click(&d, 202);
    EXPECT_EQ(rec.messages, std::vector<std::string>(2, "EV_RXCHAR又はEV_RXFLAGどちらかＯＮして下さい"));
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(r.ch2MaskRxChar, 1);  // nothing stored

    child<QCheckBox>(&d, 328)->setChecked(true);
    child<QCheckBox>(&d, 322)->setChecked(true);
    click(&d, 201);
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(r.ch2MaskRxChar, 0);
    EXPECT_EQ(r.ch2MaskRxFlag, 1);
    EXPECT_EQ(r.ch2ForceConfigSize52, 1);
    click(&d, 203);
    EXPECT_EQ(rec.pages, (std::vector<int>{51}));
}

// ---------------------------------------------------------------- port configuration

TEST(PortConfigDialogUi, ShowsTheRecordTakesAnyRateAndRefusesNonsense)
{
    Recorder rec;
    TPortConfigDialog d(3, PortConfig{250000, 7, ODDPARITY, TWOSTOPBITS, 2}, rec.message(), rec.manual());
    auto* baud = d.findChild<QComboBox*>("baudRate");
    EXPECT_EQ(baud->currentText().toStdString(), "250000");
    EXPECT_EQ(d.findChild<QComboBox*>("parity")->currentText().toStdString(), "奇数");
    EXPECT_EQ(d.findChild<QComboBox*>("flowControl")->currentText().toStdString(), "ハードウェア");
    EXPECT_EQ(d.windowTitle().toStdString(), "COM3のプロパティ");

    baud->setEditText(QStringLiteral("96x0"));
    d.findChild<QPushButton*>("ok")->click();
    EXPECT_EQ(rec.messages, (std::vector<std::string>{"ビット/秒の値が正しくありません。"}));
    EXPECT_EQ(d.result(), 0);

    d.findChild<QPushButton*>("defaults")->click();
    EXPECT_EQ(baud->currentText().toStdString(), "9600");
    baud->setEditText(QStringLiteral("31250"));
    d.findChild<QComboBox*>("flowControl")->setCurrentIndex(1);
    d.findChild<QPushButton*>("ok")->click();
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(d.config().baudRate, 31250u);
    EXPECT_EQ(d.config().byteSize, 8);
    EXPECT_EQ(d.config().parity, NOPARITY);
    EXPECT_EQ(d.config().stopBits, ONESTOPBIT);
    EXPECT_EQ(d.config().flowControl, 1);

    click(&d, 203);
    EXPECT_EQ(rec.pages, std::vector<int>{50});
}

// ---------------------------------------------------------------- 711 on a pseudo-terminal

// Channels whose COM numbers are pseudo-terminals (numbers without one do not open).
struct PtyChannels {
    PtyPair pty1, pty2;
    Settings settings;
    Channels channels{settings, [this](int com, OpenError& e) -> std::unique_ptr<SerialPort> {
                          if (com == 1)
                              return openPosixSerialPort(pty1.slavePath(), e);
                          if (com == 2)
                              return openPosixSerialPort(pty2.slavePath(), e);
                          e = OpenError::NotFound;
                          return nullptr;
                      }};
};

TEST(DcbDialogUi, ShowsThePortAppliesOkAndTheDefaultsAtOnce)
{
    PtyChannels p;
    p.settings.lineParams.ch1Dcb.BaudRate = 19200;
    ASSERT_EQ(p.channels.openChannel(1, 1), OpenResult::Opened);
    Recorder rec;
    {
        TDialog11 d(p.channels, p.settings, rec.manual());
        EXPECT_EQ(d.windowTitle().toStdString(), "DCBの設定");
        EXPECT_EQ(child<QLineEdit>(&d, 401)->text().toStdString(), "19200");
        EXPECT_EQ(child<QLineEdit>(&d, 420)->text().toStdString(), "d");
        EXPECT_EQ(child<QLineEdit>(&d, 401)->maxLength(), 7);
        child<QLineEdit>(&d, 401)->setText("57600");
        child<QLineEdit>(&d, 412)->setText("3");  // stored and applied as 2
        child<QLineEdit>(&d, 425)->setText("-1");
        click(&d, 203);
        click(&d, 201);
        EXPECT_EQ(d.result(), QDialog::Accepted);
    }
    EXPECT_EQ(rec.pages, (std::vector<int>{52}));
    Dcb onPort;
    ASSERT_TRUE(p.channels.port(1)->getCommState(onPort));
    EXPECT_EQ(onPort.BaudRate, 57600u);
    EXPECT_EQ(p.settings.lineParams.ch1Dcb.fRtsControl(), RTS_CONTROL_HANDSHAKE);
    CommTimeouts t;
    ASSERT_TRUE(p.channels.port(1)->getCommTimeouts(t));
    EXPECT_EQ(t.WriteTotalTimeoutConstant, MAXDWORD);

    // The defaults reach the port at once and stay after "ｷｬﾝｾﾙ".
    {
        TDialog11 d(p.channels, p.settings, rec.manual());
        click(&d, 225);
        EXPECT_EQ(child<QLineEdit>(&d, 401)->text().toStdString(), "9600");
        EXPECT_EQ(child<QLineEdit>(&d, 412)->text().toStdString(), "0");
        EXPECT_EQ(child<QLabel>(&d, 627)->text().toStdString(), "9600,8,n1,off");
        click(&d, 202);
    }
    ASSERT_TRUE(p.channels.port(1)->getCommState(onPort));
    EXPECT_EQ(onPort.BaudRate, 9600u);
    ASSERT_TRUE(p.channels.port(1)->getCommTimeouts(t));
    EXPECT_EQ(t, defaultTimeouts());
    EXPECT_EQ(p.settings.lineParams.ch1Dcb.BaudRate, 9600u);
}

TEST(DcbDialogUi, ARateThePortRefusesIsReadBackAfterwards)
{
    PtyChannels p;
    p.settings.lineParams.ch2Dcb.BaudRate = 38400;
    ASSERT_EQ(p.channels.openChannel(2, 2), OpenResult::Opened);
    Recorder rec;
    {
        TDialog11a d(p.channels, p.settings, rec.manual());
        child<QLineEdit>(&d, 401)->setText("abc");
        click(&d, 203);
        click(&d, 201);
    }
    EXPECT_EQ(rec.pages, (std::vector<int>{53}));
    EXPECT_EQ(p.settings.lineParams.ch2Dcb.BaudRate, 0u);  // what the dialog stored ...
    ASSERT_TRUE(p.channels.summarise(2).ok());                 // ... until the command reads the port back
    EXPECT_EQ(p.settings.lineParams.ch2Dcb.BaudRate, 38400u);
    EXPECT_EQ(p.settings.record.ch2BaudRate, 38400u);
}

// ---------------------------------------------------------------- 717 and 25

TEST(LineStatusDialogUi, LampsNumbersAndTheirSamplingModes)
{
    FakeChannels f;
    LineStatusMemory memory;
    auto* d = new TDialog17(f.channels, memory);
    QPointer<QDialog> guard(d);
    EXPECT_EQ(child<QLabel>(d, 626)->text().toStdString(), "ＣＨ１の状態表示");
    EXPECT_EQ(child<QLineEdit>(d, 421)->text().toStdString(), "200");
    EXPECT_EQ(child<QLabel>(d, 627)->text().toStdString(), " HOLD中 ");
    EXPECT_FALSE(d->timerActive());
    d->show();
    EXPECT_EQ(d->timerPeriodMs(), 200);

    f.port[1]->injectErrors(CE_FRAME);
    f.port[1]->setOutQueue(12);
    f.port[1]->setModemStatus(MS_DSR_ON);
    ASSERT_TRUE(waitFor([&] { return d->lamp(610)->isLit(); }));
    EXPECT_TRUE(d->lamp(102)->isLit());
    EXPECT_FALSE(d->lamp(103)->isLit());
    EXPECT_EQ(d->findChild<QLabel*>("value622")->text().toStdString(), "12");
    // Latched across further samples.
    const int taken = d->samplesTaken();
    ASSERT_TRUE(waitFor([&] { return d->samplesTaken() >= taken + 2; }));
    EXPECT_TRUE(d->lamp(610)->isLit());

    // Manual: the timer stops; the lamps change only on the next press.
    click(d, 223);
    EXPECT_EQ(child<QLabel>(d, 625)->text().toStdString(), "手動状態");
    EXPECT_FALSE(d->timerActive());
    click(d, 225);  // Reset takes a sample of its own
    EXPECT_FALSE(d->lamp(610)->isLit());
    f.port[1]->injectErrors(CE_OVERRUN);
    QTest::qWait(400);
    EXPECT_FALSE(d->lamp(612)->isLit());
    click(d, 223);
    EXPECT_TRUE(d->lamp(612)->isLit());

    // Automatic again at the edit's period.
    child<QLineEdit>(d, 421)->setText("1000");
    click(d, 222);
    EXPECT_EQ(child<QLabel>(d, 625)->text().toStdString(), "自動状態");
    EXPECT_EQ(d->timerPeriodMs(), 1000);

    // Hold: live display; the switch outlives the window.
    click(d, 224);
    EXPECT_EQ(child<QLabel>(d, 627)->text().toStdString(), "常時表示");
    click(d, 221);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(guard.isNull());  // deleted on close

    auto* again = new TDialog17(f.channels, memory);
    EXPECT_EQ(child<QLabel>(again, 627)->text().toStdString(), "常時表示");
    again->show();
    EXPECT_EQ(again->timerPeriodMs(), 200);  // a new window starts automatic at 200 ms
    f.port[1]->injectErrors(CE_BREAK);
    click(again, 223);
    EXPECT_TRUE(again->lamp(608)->isLit());
    click(again, 223);
    EXPECT_FALSE(again->lamp(608)->isLit());  // live: lit for one sample
    delete again;
}

TEST(LineStatusDialogUi, TwoWindowsForOneChannelShowTheSameLatchedWord)
{
    FakeChannels f;
    LineStatusMemory memory;
    TDialog17a a(f.channels, memory);
    TDialog17a b(f.channels, memory);
    EXPECT_EQ(child<QLabel>(&a, 626)->text().toStdString(), "ＣＨ２の状態表示");
    a.show();
    b.show();
    click(&a, 223);
    click(&b, 223);
    f.port[2]->injectErrors(CE_RXPARITY);
    click(&a, 223);
    click(&b, 223);
    EXPECT_TRUE(a.lamp(619)->isLit());
    EXPECT_TRUE(b.lamp(619)->isLit());
}

TEST(LineStatusDialogUi, ButtonsDriveTheLine)
{
    FakeChannels f;
    LineStatusMemory memory;
    TDialog17 d(f.channels, memory);
    for (int id : {201, 202, 203, 216, 217, 218, 219, 220})
        click(&d, id);
    EXPECT_EQ(f.port[1]->escapes(), (std::vector<int>{CLRDTR, SETDTR, CLRRTS, SETRTS, SETXOFF, SETXON, SETBREAK, CLRBREAK}));
    EXPECT_FALSE(f.port[1]->dtr() == false);  // ended with DTR on
    EXPECT_FALSE(f.port[1]->breakOn());

    // A closed port under the open window: dark lamps, no numbers.
    f.channels.closeChannel(1);
    click(&d, 223);
    EXPECT_EQ(d.findChild<QLabel*>("value620")->text().toStdString(), "---");
    click(&d, 201);  // nothing to drive, nothing breaks
}

TEST(LineStatusDialogUi, XoffAndXonStopAndResumeAPseudoTerminalsOutput)
{
    PtyChannels p;
    ASSERT_EQ(p.channels.openChannel(1, 1), OpenResult::Opened);
    LineStatusMemory memory;
    TDialog17 d(p.channels, memory);
    const auto send = [&](const std::string& text) {
        std::size_t written = 0;
        return p.channels.port(1)->write(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), written) ==
                       IoStatus::Ok
                   ? written
                   : 0;
    };
    click(&d, 217);  // "XOFFの処理": as if XOFF had been received
    p.settings.lineParams.ch1Timeouts.WriteTotalTimeoutConstant = 200;
    p.channels.apply(1);
    EXPECT_EQ(send("held"), 0u);
    EXPECT_TRUE(p.pty1.receive(4, 300ms).empty());
    click(&d, 223);
    EXPECT_TRUE(d.lamp(601)->isLit());  // "送信停止XOFFを受信"
    click(&d, 218);  // "XONの処理"
    EXPECT_EQ(send("free"), 4u);
    const auto got = p.pty1.receive(4, 3000ms);
    EXPECT_EQ(std::string(got.begin(), got.end()), "free");
    click(&d, 223);
    EXPECT_FALSE(d.lamp(601)->isLit());
}

TEST(LineStatusDialogUi, AnAbsentModemLineShowsUnavailableAndARefusedControlSaysSo)
{
    PtyChannels p;  // a pseudo-terminal has no modem lines
    ASSERT_EQ(p.channels.openChannel(1, 1), OpenResult::Opened);
    LineStatusMemory memory;
    TDialog17 d(p.channels, memory);
    d.show();
    for (int id : {102, 103, 104, 105}) {
        EXPECT_FALSE(d.lamp(id)->isAvailable()) << id;
        EXPECT_FALSE(d.lamp(id)->toolTip().isEmpty()) << id;
    }
    EXPECT_NE(d.findChild<QLabel*>("value620")->text().toStdString(), "---");  // the counts stay
    auto* status = d.findChild<QLabel*>("lineControlStatus");
    ASSERT_NE(status, nullptr);
    EXPECT_FALSE(status->isVisible());
    click(&d, 202);  // "DTR を ON"
    EXPECT_TRUE(status->isVisible());
    EXPECT_EQ(status->text(), QStringLiteral("DTR を ON: このデバイスでは出来ません: このデバイスではできない操作です（ENOTTY）"));
    click(&d, 218);  // XON: a pseudo-terminal takes it
    EXPECT_FALSE(status->isVisible());

    EXPECT_FALSE(d.findChild<QLabel*>("lowLatencyStatus")->isVisible()) << "a pty has no latency setting";

    // A port that reports its modem lines shows them as lamps again, and a driver's low latency
    // is said as it holds it.
    FakeChannels f;
    f.port[1]->setLowLatency(false);
    TDialog17 fake(f.channels, memory);
    fake.show();
    EXPECT_TRUE(fake.lamp(103)->isAvailable());
    auto* latency = fake.findChild<QLabel*>("lowLatencyStatus");
    EXPECT_TRUE(latency->isVisible());
    EXPECT_TRUE(latency->text().startsWith(QStringLiteral("低遅延モード: 無効"))) << latency->text().toStdString();
    f.port[1]->setLowLatency(true);
    click(&fake, 223);  // "手動" takes a sample
    EXPECT_EQ(latency->text(), QStringLiteral("低遅延モード: 有効"));
}

TEST(InputSignalsDialogUi, BothChannelsModemInputs)
{
    FakeChannels f;
    f.port[1]->setModemStatus(MS_CTS_ON);
    f.port[2]->setModemStatus(MS_RING_ON | MS_RLSD_ON);
    auto* d = new TDialog25(f.channels);
    EXPECT_EQ(d->windowTitle().toStdString(), "ＩＮ入力表示（ＣＨ１・CH2）");
    EXPECT_FALSE(d->timerActive());
    d->show();
    EXPECT_TRUE(d->timerActive());
    EXPECT_TRUE(d->lamp(103)->isLit());
    EXPECT_FALSE(d->lamp(102)->isLit());
    EXPECT_TRUE(d->lamp(109)->isLit());
    EXPECT_TRUE(d->lamp(110)->isLit());
    EXPECT_FALSE(d->lamp(108)->isLit());
    f.port[1]->setModemStatus(MS_DSR_ON);
    EXPECT_TRUE(waitFor([&] { return d->lamp(102)->isLit() && !d->lamp(103)->isLit(); }));
    delete d;
}

// ---------------------------------------------------------------- 705, 707, 714

TEST(DisplayDialogsUi, DisplayModeWithTheTimeStampNotice)
{
    SettingsRecord r;
    r.displayMode = 2;
    Recorder rec;
    {
        TDialog5 d(r, rec.message(), rec.manual());
        EXPECT_TRUE(child<QRadioButton>(&d, 503)->isChecked());
        EXPECT_FALSE(child<QRadioButton>(&d, 504)->isEnabled());
        click(&d, 203);
        click(&d, 201);  // unchanged, but the notice comes
    }
    EXPECT_EQ(rec.messages, (std::vector<std::string>{"バッファー内で時刻が記憶しています。一度表示クリアをして下さい。"}));
    EXPECT_EQ(rec.pages, (std::vector<int>{30}));
    EXPECT_EQ(r.displayMode, 2);
    {
        TDialog5 d(r, rec.message(), rec.manual());
        child<QRadioButton>(&d, 502)->setChecked(true);
        click(&d, 202);
    }
    EXPECT_EQ(r.displayMode, 2);
    {
        TDialog5 d(r, rec.message(), rec.manual());
        child<QRadioButton>(&d, 502)->setChecked(true);
        click(&d, 201);
    }
    EXPECT_EQ(r.displayMode, 1);
}

TEST(DisplayDialogsUi, PlSettingsAndTheBufferSizeNotice)
{
    SettingsRecord r;
    Recorder rec;
    TDialog7 d(r, rec.message(), rec.manual());
    EXPECT_EQ(child<QLineEdit>(&d, 402)->text().toStdString(), "200");
    EXPECT_EQ(child<QLineEdit>(&d, 412)->maxLength(), 3);
    EXPECT_TRUE(child<QCheckBox>(&d, 329)->isChecked());
    child<QLineEdit>(&d, 412)->setText("999");
    child<QLineEdit>(&d, 402)->setText("50");
    child<QCheckBox>(&d, 306)->setChecked(true);
    click(&d, 203);
    click(&d, 201);
    EXPECT_EQ(rec.messages, (std::vector<std::string>{"Buffer Sizeを600に設定します。"}));
    EXPECT_EQ(rec.pages, (std::vector<int>{63}));
    EXPECT_EQ(r.bufferSize, 600);
    EXPECT_EQ(r.baseClockMs, 50);
    EXPECT_EQ(r.fullRedisplay, 1);
}

TEST(DisplayDialogsUi, StartupSize)
{
    Settings s;
    Recorder rec;
    {
        TDialog14 d(s, rec.manual());
        EXPECT_TRUE(child<QRadioButton>(&d, 502)->isChecked());
        child<QRadioButton>(&d, 510)->setChecked(true);
        click(&d, 203);
        click(&d, 201);
    }
    EXPECT_EQ(s.startupSizeCode, 5);
    EXPECT_EQ(rec.pages, (std::vector<int>{62}));
    {
        TDialog14 d(s, rec.manual());
        EXPECT_TRUE(child<QRadioButton>(&d, 510)->isChecked());
        child<QRadioButton>(&d, 501)->setChecked(true);
        click(&d, 202);
    }
    EXPECT_EQ(s.startupSizeCode, 5);
}

// ---------------------------------------------------------------- 713, 719

TEST(OtherDialogsUi, OtherSettingsStoreOnOkOnly)
{
    Settings s;
    {
        TDialog13 d(s);
        d.show();
        EXPECT_EQ(child<QLineEdit>(&d, 104)->text().toStdString(), "AcroRd32.exe");
        EXPECT_EQ(child<QLineEdit>(&d, 104)->maxLength(), 259);
        child<QCheckBox>(&d, 305)->setChecked(true);
        child<QLineEdit>(&d, 108)->setText("");
        d.close();  // the close box
    }
    EXPECT_EQ(s.record.noExitSaveQuery, 0);
    EXPECT_EQ(fixedText(s.pdfPageCommand), "/A page=");
    {
        TDialog13 d(s);
        child<QCheckBox>(&d, 305)->setChecked(true);
        child<QCheckBox>(&d, 103)->setChecked(true);
        child<QLineEdit>(&d, 104)->setText(QStringLiteral("/opt/ビューア/evince"));
        child<QLineEdit>(&d, 108)->setText("");
        click(&d, 201);
    }
    EXPECT_EQ(s.record.noExitSaveQuery, 1);
    EXPECT_EQ(s.record.checksumLowerCase, 1);
    EXPECT_EQ(fieldUtf8(s.pdfReaderPath), "/opt/ビューア/evince");
    EXPECT_EQ(fixedText(s.pdfReaderPath), "/opt/\x83\x72\x83\x85\x81\x5B\x83\x41/evince");  // code page 932
    EXPECT_EQ(fixedText(s.pdfPageCommand), "");
}

// OK on a text the user did not change leaves its stored bytes as they were: code page 932 that
// also reads as UTF-8, bytes the conversion cannot show, bytes after the NUL. A changed text
// replaces the field, zero-filled.
TEST(OtherDialogsUi, OkKeepsEveryStoredByteOfATextLeftAsShown)
{
    SamplingSettings sampling;
    sampling.autoLogPrefix = {'\xC3', '\xBD', '_', 0, 'x', '\x89', '\xB7'};  // ﾃｽ_ and older bytes
    const auto storedPrefix = sampling.autoLogPrefix;
    Settings s;
    s.pdfReaderPath = {'/', 'v', '\x81', 0, 'o', 'l', 'd'};  // a lone lead byte: not showable
    const Settings stored = s;
    {
        TDialog19 d(sampling, {});
        EXPECT_EQ(child<QLineEdit>(&d, 401)->text(), QStringLiteral("ﾃｽ_"));
        child<QCheckBox>(&d, 324)->setChecked(true);
        click(&d, 201);
    }
    EXPECT_EQ(sampling.autoLogging, 1);
    EXPECT_EQ(sampling.autoLogPrefix, storedPrefix);
    {
        TDialog13 d(s);
        child<QCheckBox>(&d, 103)->setChecked(true);
        click(&d, 201);
    }
    EXPECT_EQ(s.record.checksumLowerCase, 1);
    EXPECT_EQ(s.pdfReaderPath, stored.pdfReaderPath);
    EXPECT_EQ(s.pdfPageCommand, stored.pdfPageCommand);
    {
        TDialog19 d(sampling, {});
        child<QLineEdit>(&d, 401)->setText(QStringLiteral("ﾃｽ_2"));
        click(&d, 201);
    }
    EXPECT_EQ(sampling.autoLogPrefix, (std::array<char, 32>{'\xC3', '\xBD', '_', '2'}));
}

TEST(OtherDialogsUi, AutoLoggingPrefixIsCutByTheField)
{
    SamplingSettings s;
    Recorder rec;
    {
        TDialog19 d(s, rec.manual());
        EXPECT_FALSE(child<QCheckBox>(&d, 324)->isChecked());
        EXPECT_EQ(child<QLineEdit>(&d, 401)->text().toStdString(), "Log");
        child<QLineEdit>(&d, 401)->clear();
        QTest::keyClicks(child<QLineEdit>(&d, 401), QString(40, QLatin1Char('p')));
        child<QCheckBox>(&d, 324)->setChecked(true);
        click(&d, 203);
        click(&d, 201);
    }
    EXPECT_EQ(s.autoLogging, 1);
    EXPECT_EQ(fixedText(s.autoLogPrefix), std::string(31, 'p'));
    EXPECT_EQ(rec.pages, (std::vector<int>{59}));
    {
        // The field holds 31 bytes of code page 932: 15 kanji, not 10 as UTF-8 would allow.
        TDialog19 d(s, rec.manual());
        child<QLineEdit>(&d, 401)->clear();
        for (int i = 0; i < 20; ++i)
            QTest::sendKeyEvent(QTest::Click, child<QLineEdit>(&d, 401), Qt::Key_unknown, QStringLiteral("温"), Qt::NoModifier);
        EXPECT_EQ(child<QLineEdit>(&d, 401)->text(), QString(15, QChar(u'温')));
        click(&d, 201);
    }
    EXPECT_EQ(fieldUtf8(s.autoLogPrefix), QString(15, QChar(u'温')).toStdString());
    {
        TDialog19 d(s, rec.manual());
        child<QCheckBox>(&d, 324)->setChecked(false);
        click(&d, 202);
    }
    EXPECT_EQ(s.autoLogging, 1);
}

} // namespace
} // namespace kestrane
