// The device field's text: losses with their reason, whether the device is waited for, why a
// port did not open, a reconnection note; CH2 left out while unused.
#include "app/device_status_text.h"

#include <netdb.h>

#include <gtest/gtest.h>

namespace kestrane {
namespace {

using State = DeviceStatus::State;

DeviceStatus lost(LossReason why, bool awaiting)
{
    DeviceStatus d;
    d.state = State::Lost;
    d.comNumber = 3;
    d.path = "/dev/ttyUSB0";
    d.lossReason = why;
    d.awaiting = awaiting;
    return d;
}

TEST(DeviceFieldText, NothingToSayForOpenOrClosedChannels)
{
    DeviceStatus open;
    open.state = State::Open;
    const auto t = deviceFieldText(open, DeviceStatus{}, true);
    EXPECT_TRUE(t.text.isEmpty());
    EXPECT_FALSE(t.warning);
}

TEST(DeviceFieldText, ALostDeviceNamesChannelPathAndReason)
{
    struct Case {
        DeviceStatus d;
        const char* reason;
        const char* waiting;
        const char* detail;
    };
    const Case cases[] = {
        {lost(LossReason::HungUp, true), "取り外し", "再接続待ち", "取り外されました）。戻るのを待っています。"},
        {lost(LossReason::IoError, false), "I/Oエラー", "再接続なし", "I/Oエラー）。自動再接続はしません。"},
    };
    for (const Case& c : cases) {
        const auto t = deviceFieldText(c.d, DeviceStatus{}, false);
        const std::string s = t.text.toStdString();
        EXPECT_EQ(s.rfind("CH1: ttyUSB0", 0), 0u) << s;
        EXPECT_EQ(t.detail.toStdString().rfind("CH1: /dev/ttyUSB0", 0), 0u) << "the whole path in the detail";
        EXPECT_NE(t.detail.toStdString().find(c.detail), std::string::npos) << t.detail.toStdString();
        EXPECT_NE(s.find(c.reason), std::string::npos) << s;
        EXPECT_NE(s.find(c.waiting), std::string::npos) << s;
        EXPECT_TRUE(t.warning);
    }
}

TEST(DeviceFieldText, AFailedOpenSaysWhyAndChannelTwoOnlyWhenUsed)
{
    DeviceStatus refused;
    refused.comNumber = 2;
    refused.openFailure = OpenError(OpenError::Busy, EBUSY, "/dev/ttyACM0");
    const auto unused = deviceFieldText(DeviceStatus{}, refused, false);
    EXPECT_TRUE(unused.text.isEmpty());
    const auto used = deviceFieldText(DeviceStatus{}, refused, true);
    EXPECT_EQ(used.text.toStdString(), "CH2: ttyACM0 他のプログラムが使用中");
    EXPECT_NE(used.detail.toStdString().find("/dev/ttyACM0 は他のプログラム"), std::string::npos) << used.detail.toStdString();
    EXPECT_TRUE(used.warning);

    // Both channels at once.
    const auto both = deviceFieldText(lost(LossReason::HungUp, true), refused, true);
    EXPECT_NE(both.text.indexOf(QStringLiteral("CH1:")), -1);
    EXPECT_NE(both.text.indexOf(QStringLiteral("CH2:")), -1);
}

TEST(DeviceFieldText, ARemoteLineIsNamedWithWhatItsServerLeftUnconfirmed)
{
    DeviceStatus line;
    line.state = State::Open;
    line.path = "rfc2217://[::1]:3456";
    line.unconfirmed = kSettingDtr | kSettingRts;
    auto t = deviceFieldText(line, DeviceStatus{}, false);
    EXPECT_EQ(t.text.toStdString(), "CH1: [::1]:3456（未確認: DTR, RTS）");
    EXPECT_NE(t.detail.indexOf(QStringLiteral("rfc2217://[::1]:3456 のサーバーが確認していない設定: DTR, RTS")), -1);
    EXPECT_FALSE(t.warning);
    line.path = "tcp://bench-7:4001";
    line.unconfirmed = kSettingNoLineControl;
    EXPECT_EQ(deviceFieldText(line, DeviceStatus{}, false).text.toStdString(), "CH1: bench-7:4001（回線設定なし）");

    // Lost: tried again with growing pauses, the latest try's failure in the detail.
    line.state = State::Lost;
    line.lossReason = LossReason::ClosedByServer;
    line.awaiting = true;
    line.retries = 2;
    line.openFailure = OpenError(OpenError::Refused, ECONNREFUSED, line.path);
    t = deviceFieldText(line, DeviceStatus{}, false);
    EXPECT_EQ(t.text.toStdString(), "CH1: bench-7:4001 切断（サーバー切断）再接続待ち");
    EXPECT_NE(t.detail.indexOf(QStringLiteral("再接続を試みています（3 回目: 接続拒否）")), -1) << t.detail.toStdString();

    DeviceStatus refused;
    refused.openFailure = OpenError(OpenError::NameNotFound, 0, "rfc2217://bench-9:4001");
    t = deviceFieldText(refused, DeviceStatus{}, false);
    EXPECT_EQ(t.text.toStdString(), "CH1: bench-9:4001 ホスト名が不明");
    EXPECT_NE(t.detail.indexOf(QStringLiteral("ホスト名がわかりません")), -1) << t.detail.toStdString();
    // The resolver's reason, when it gave one, with its name.
    refused.openFailure.resolverError = EAI_NONAME;
    t = deviceFieldText(refused, DeviceStatus{}, false);
    EXPECT_NE(t.detail.indexOf(QStringLiteral("rfc2217://bench-9:4001: ホスト名が見つかりません（EAI_NONAME）")), -1)
        << t.detail.toStdString();
    // A name server that failed on the system's side says the system's reason.
    refused.openFailure = OpenError(OpenError::Other, EMFILE, "rfc2217://bench-9:4001");
    refused.openFailure.resolverError = EAI_SYSTEM;
    t = deviceFieldText(refused, DeviceStatus{}, false);
    EXPECT_NE(t.detail.indexOf(QStringLiteral("を開けません: 開いているファイルが多すぎます（EMFILE）")), -1)
        << t.detail.toStdString();
}

TEST(DeviceFieldText, AReconnectionIsANoteNotAWarning)
{
    DeviceStatus back;
    back.state = State::Open;
    back.path = "/dev/ttyUSB0";
    back.reconnectedAt = std::chrono::system_clock::now();
    const auto t = deviceFieldText(back, DeviceStatus{}, false);
    EXPECT_NE(t.text.indexOf(QStringLiteral("再接続")), -1);
    EXPECT_NE(t.detail.indexOf(QStringLiteral("/dev/ttyUSB0 に")), -1);
    EXPECT_FALSE(t.warning);
}

} // namespace
} // namespace kestrane
