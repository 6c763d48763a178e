#include "companions/code_table.h"

#include "text/cp932.h"
#include "notation/shift_jis.h"

#include <QCoreApplication>

namespace kestrane {

namespace {

// A decoded unit is one character when it is a single code point that is no replacement.
bool isOneCharacter(QStringView text)
{
    if (text.size() == 2 && text.at(0).isHighSurrogate() && text.at(1).isLowSurrogate())
        return true;
    return text.size() == 1 && text.at(0) != QChar::ReplacementCharacter && text.at(0).unicode() != 0x1A;
}

bool isPrivateUse(QStringView text)
{
    return text.size() == 1 && text.at(0).unicode() >= 0xE000 && text.at(0).unicode() <= 0xF8FF;
}

} // namespace

std::vector<std::uint8_t> codeTablePages()
{
    std::vector<std::uint8_t> pages{0};
    for (int b = 0x81; b <= 0xFC; ++b)
        if (isShiftJisLead(static_cast<std::uint8_t>(b)))
            pages.push_back(static_cast<std::uint8_t>(b));
    return pages;
}

QString codeTablePageName(std::uint8_t lead)
{
    if (lead == 0)
        return QCoreApplication::translate("CodeTable", "1バイト文字 (ASCII・半角カナ)");
    return QCoreApplication::translate("CodeTable", "2バイト文字 %1xx").arg(QString::number(lead, 16).toUpper());
}

QString controlCodeName(std::uint8_t byte)
{
    static const char* const kNames[32] = {"NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL",
                                           "BS",  "HT",  "LF",  "VT",  "FF",  "CR",  "SO",  "SI",
                                           "DLE", "DC1", "DC2", "DC3", "DC4", "NAK", "SYN", "ETB",
                                           "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};
    if (byte < 32)
        return QString::fromLatin1(kNames[byte]);
    if (byte == 0x20)
        return QStringLiteral("SP");
    if (byte == 0x7F)
        return QStringLiteral("DEL");
    return {};
}

std::array<CodeCell, 256> codeTablePage(std::uint8_t lead, const Cp932Text& cp932)
{
    std::array<CodeCell, 256> cells;
    for (int i = 0; i < 256; ++i) {
        const auto byte = static_cast<std::uint8_t>(i);
        CodeCell& cell = cells[static_cast<std::size_t>(i)];
        if (lead == 0) {
            cell.code = byte;
            if (const QString name = controlCodeName(byte); !name.isEmpty()) {
                cell.kind = CellKind::Control;
                cell.text = name;
            } else if (isShiftJisLead(byte)) {
                cell.kind = CellKind::LeadByte;
                cell.text = QStringLiteral("[%1]").arg(QString::number(byte, 16).toUpper());
            } else if (const QStringView t = cp932.single(byte); isOneCharacter(t)) {
                cell.kind = CellKind::Character;
                cell.text = t.toString();
            }
            continue;
        }
        cell.code = static_cast<std::uint16_t>(lead << 8 | byte);
        if (!isShiftJisLead(lead))
            continue;
        const QStringView t = cp932.pair(lead, byte);
        if (!isOneCharacter(t))
            continue;
        if (isPrivateUse(t)) {
            cell.kind = CellKind::UserDefined;
            cell.text = QCoreApplication::translate("CodeTable", "外字");
        } else {
            cell.kind = CellKind::Character;
            cell.text = t.toString();
        }
    }
    return cells;
}

QString cellHex(const CodeCell& cell)
{
    return QStringLiteral("%1").arg(cell.code, cell.code > 0xFF ? 4 : 2, 16, QLatin1Char('0')).toUpper();
}

} // namespace kestrane
