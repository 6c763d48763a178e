// The status-bar text and its fixed byte columns; the frame size at start-up.
#include "app/app_core.h"
#include "app/status_text.h"

#include <gtest/gtest.h>

namespace kestrane {
namespace {

std::string utf8(const SettingsRecord& r, int fast) { return statusText(r, fast).toStdString(); }

TEST(StatusText, Ch2NotInUse)
{
    SettingsRecord r;  // COM1, 9600, 8 bits, 1 stop bit, no parity, CH2 off
    // Each piece cuts the one before it: CH1 at column 31, the stop bits' space at 36, the parity's space at 40.
    EXPECT_EQ(utf8(r, 1), "ASC表示     | CH1:COM1:9600:8bi1bit:Pr無| 高速表示");
    EXPECT_EQ(utf8(r, 0), "ASC表示     | CH1:COM1:9600:8bi1bit:Pr無| 低速表示");
}

TEST(StatusText, PiecesStartAtTheirByteColumns)
{
    SettingsRecord r;
    r.displayMode = 1;
    r.ch1StopBits = 2;
    r.ch1Parity = 2;
    const QByteArray b = statusTextBytes(r, 0);
    EXPECT_EQ(b.left(11), QByteArray("HEX") + toCp932(QStringLiteral("表示")) + "    ");
    EXPECT_EQ(b.mid(11, 20), QByteArray(" | CH1:COM1:9600:8bi"));
    EXPECT_EQ(b.mid(31, 5), QByteArray("2bit:"));
    EXPECT_EQ(b.mid(36, 4), QByteArray("Pr") + toCp932(QStringLiteral("偶")));
    EXPECT_EQ(b.mid(40), toCp932(QStringLiteral("| 低速表示")));
}

TEST(StatusText, SecondPortAndLineMonitorModes)
{
    SettingsRecord r;
    r.displayMode = 2;
    r.ch1ComNumber = 3;
    r.ch1StopBits = 1;
    r.ch1Parity = 1;
    r.ch2Mode = Ch2Mode::Independent;
    r.ch2ComNumber = 4;
    r.ch2BaudRate = 19200;
    r.ch2ByteSize = 7;
    r.ch2StopBits = 2;
    r.ch2Parity = 3;
    EXPECT_EQ(utf8(r, 0), "時刻ASC表示 | CH1:COM3:9600:8bi1.5b:Pr奇 | CH2:COM4:19200:7b2bit:PrＭ | 低速表示");

    r.ch2Mode = Ch2Mode::MonitorT;
    r.ch2Parity = 4;
    EXPECT_EQ(utf8(r, 1),
              "時刻ASC表示 | CH1:COM3:9600:8bi1.5b:Pr奇 | CH2:COM4:19200:7b2bit:PrSP | 高速表示| ﾗｲﾝﾓﾆﾀＴ接続");
    r.ch2Mode = Ch2Mode::MonitorRelay;
    r.ch2Parity = 0;
    const QByteArray b = statusTextBytes(r, 1);
    EXPECT_EQ(b.mid(80), toCp932(QStringLiteral("| ﾗｲﾝﾓﾆﾀ中継式")));
    EXPECT_EQ(b.mid(70, 10), toCp932(QStringLiteral("| 高速表示")));
}

TEST(StatusText, OnlyFastDisplayOneCountsAsFast)
{
    SettingsRecord r;
    EXPECT_NE(utf8(r, 2).find("低速表示"), std::string::npos);
    EXPECT_NE(utf8(r, 1).find("高速表示"), std::string::npos);
}

TEST(StatusText, LongNumbersNeverRunPastTheText)
{
    SettingsRecord r;
    r.ch1ComNumber = -2147483647;
    r.ch1BaudRate = 4294967295u;
    r.ch2Mode = Ch2Mode::MonitorRelay;
    r.ch2ComNumber = 2147483647;
    r.ch2BaudRate = 4294967295u;
    const QByteArray b = statusTextBytes(r, 1);
    EXPECT_LT(b.size(), 100);
    EXPECT_TRUE(b.endsWith(toCp932(QStringLiteral("| ﾗｲﾝﾓﾆﾀ中継式"))));
}

TEST(StartupFrame, SizeCodesAndCentring)
{
    const FrameRect screen{0, 0, 1280, 1024};
    const FrameRect first = startupFrame(1, screen, screen);
    EXPECT_EQ(first.width, 670);
    EXPECT_EQ(first.height, 510);
    EXPECT_EQ(first.x, (1280 - 670) / 2);
    EXPECT_EQ(first.y, (1024 - 510) / 2);

    const FrameRect whole = startupFrame(5, screen, screen);
    EXPECT_EQ(whole.x, 0);
    EXPECT_EQ(whole.y, 0);
    EXPECT_EQ(whole.width, 1280);
    EXPECT_EQ(whole.height, 1024);

    const FrameRect wide{0, 0, 1920, 1080};
    for (int code : {-1, 6, 1000}) {
        const FrameRect kept = startupFrame(code, wide, wide);
        EXPECT_EQ(kept.width, 670) << code;
        EXPECT_EQ(kept.height, 510) << code;
    }
    const FrameRect big{0, 0, 2000, 2000};
    const FrameRect sizes[] = {startupFrame(0, big, big), startupFrame(2, big, big), startupFrame(3, big, big),
                               startupFrame(4, big, big)};
    EXPECT_EQ(sizes[0].width * 1000 + sizes[0].height, 640480);
    EXPECT_EQ(sizes[1].width * 1000 + sizes[1].height, 800600);
    EXPECT_EQ(sizes[2].width * 1000 + sizes[2].height, 1024768);
    EXPECT_EQ(sizes[3].width * 10000 + sizes[3].height, 12801024);

    // A frame larger than the screen: the negative offset truncates toward zero.
    const FrameRect small{0, 0, 1023, 767};
    const FrameRect over = startupFrame(4, small, small);
    EXPECT_EQ(over.x, (1023 - 1280) / 2);
    EXPECT_EQ(over.x, -128);
    EXPECT_EQ(over.y, -128);
}

TEST(StartupFrame, CodeFiveFitsTheAvailableAreaOfTheScreen)
{
    // A panel of 30 pixels at the top and a dock of 64 on the left.
    const FrameRect screen{0, 0, 1920, 1080};
    const FrameRect available{64, 30, 1856, 1050};
    const FrameRect five = startupFrame(5, screen, available);
    EXPECT_EQ(five.x, 64);
    EXPECT_EQ(five.y, 30);
    EXPECT_EQ(five.width, 1856);
    EXPECT_EQ(five.height, 1050);
    // The other codes stay centred on the whole screen; a second screen right of the first.
    const FrameRect second{1920, 0, 1280, 1024};
    const FrameRect one = startupFrame(1, second, second);
    EXPECT_EQ(one.x, 1920 + (1280 - 670) / 2);
}

} // namespace
} // namespace kestrane
