#include "app/status_text.h"

#include <QCoreApplication>


#include <cstring>

namespace kestrane {

namespace {

constexpr int kTextSize = 100;

// Writes `piece` and its terminator at `column`, as a formatted print into the middle of the text would.
void putPiece(char (&text)[kTextSize], int column, const QByteArray& piece)
{
    const int room = kTextSize - 1 - column;
    const int n = piece.size() < room ? static_cast<int>(piece.size()) : room;
    std::memcpy(text + column, piece.constData(), static_cast<std::size_t>(n));
    text[column + n] = 0;
}

QByteArray stopBitsPiece(std::uint8_t code)
{
    switch (code) {
    case 1: return "1.5b: ";
    case 2: return "2bit: ";
    default: return "1bit: ";
    }
}

QByteArray parityPiece(std::uint8_t code)
{
    switch (code) {
    case 1: return toCp932(QCoreApplication::translate("StatusText", "Pr奇 "));
    case 2: return toCp932(QCoreApplication::translate("StatusText", "Pr偶 "));
    case 3: return toCp932(QCoreApplication::translate("StatusText", "PrＭ "));
    case 4: return toCp932(QStringLiteral("PrSP "));
    default: return toCp932(QCoreApplication::translate("StatusText", "Pr無 "));
    }
}

QByteArray channelPiece(int channel, int com, std::uint32_t baud, std::uint8_t byteSize)
{
    return QByteArray(" | CH") + QByteArray::number(channel) + ":COM" + QByteArray::number(com) + ":" +
           QByteArray::number(baud) + ":" + QByteArray::number(byteSize) + "bit:      ";
}

} // namespace

QByteArray statusTextBytes(const SettingsRecord& r, int fastDisplay)
{
    char text[kTextSize] = {};

    QString mode;
    switch (r.displayMode) {
    case 0: mode = QCoreApplication::translate("StatusText", "ASC表示    "); break;
    case 1: mode = QCoreApplication::translate("StatusText", "HEX表示    "); break;
    case 2: mode = QCoreApplication::translate("StatusText", "時刻ASC表示"); break;
    default: mode = QStringLiteral("           "); break;  // a mode without a name keeps the columns
    }
    putPiece(text, 0, toCp932(mode));

    putPiece(text, 11, channelPiece(1, r.ch1ComNumber, r.ch1BaudRate, r.ch1ByteSize));
    putPiece(text, 31, stopBitsPiece(r.ch1StopBits));
    putPiece(text, 36, parityPiece(r.ch1Parity));

    const QByteArray speed = toCp932(fastDisplay == 1 ? QCoreApplication::translate("StatusText", "| 高速表示") : QCoreApplication::translate("StatusText", "| 低速表示"));
    if (r.ch2Mode != Ch2Mode::NotUsed) {
        putPiece(text, 40, channelPiece(2, r.ch2ComNumber, r.ch2BaudRate, r.ch2ByteSize));
        putPiece(text, 60, stopBitsPiece(r.ch2StopBits));
        putPiece(text, 65, parityPiece(r.ch2Parity));
        putPiece(text, 70, speed);
        if (r.ch2Mode == Ch2Mode::MonitorT)
            putPiece(text, 80, toCp932(QCoreApplication::translate("StatusText", "| ﾗｲﾝﾓﾆﾀＴ接続")));
        else if (r.ch2Mode == Ch2Mode::MonitorRelay)
            putPiece(text, 80, toCp932(QCoreApplication::translate("StatusText", "| ﾗｲﾝﾓﾆﾀ中継式")));
    } else {
        putPiece(text, 40, speed);
    }
    return QByteArray(text);
}

QString statusText(const SettingsRecord& r, int fastDisplay)
{
    return fromCp932(statusTextBytes(r, fastDisplay));
}

} // namespace kestrane
