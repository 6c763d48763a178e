#include "text/cp932.h"

#include "notation/shift_jis.h"

#include <algorithm>

#include <QStringEncoder>

#include <QByteArrayView>
#include <QStringDecoder>

namespace kestrane {

QByteArray toCp932(const QString& text)
{
    QStringEncoder enc("windows-31j");
    return enc.encode(text);
}

QString fromCp932(const QByteArray& bytes)
{
    QStringDecoder dec("windows-31j");
    return dec.decode(bytes);
}

QByteArray toCp932Within(QString text, int maxBytes)
{
    QByteArray bytes = toCp932(text);
    while (bytes.size() > std::max(maxBytes, 0)) {
        text.chop(1);
        bytes = toCp932(text);
    }
    return bytes;
}

Cp932Text::Cp932Text() : pairs_(60 * 256)
{
    QStringDecoder decoder("windows-31j");
    valid_ = decoder.isValid();

    const auto decodeUnit = [&](const char* bytes, qsizetype count) {
        Unit unit;
        QString text;
        if (valid_) {
            decoder.resetState();
            text = decoder.decode(QByteArrayView(bytes, count));
        } else {
            text = QString::fromLatin1(bytes, count);
        }
        const qsizetype n = std::min<qsizetype>(text.size(), 2);
        for (qsizetype i = 0; i < n; ++i)
            unit.chars[static_cast<std::size_t>(i)] = text.at(i).unicode();
        unit.length = static_cast<std::uint8_t>(n);
        return unit;
    };

    // A lead byte standing alone (its trail byte missing, or of another line) shows as a byte the
    // display cannot show, so it keeps its cell.
    const char unshowable = '\x80';
    for (int b = 0; b < 256; ++b) {
        const char byte = static_cast<char>(b);
        singles_[static_cast<std::size_t>(b)] = decodeUnit(isShiftJisLead(static_cast<std::uint8_t>(b)) ? &unshowable : &byte, 1);
    }
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (!isShiftJisLead(static_cast<std::uint8_t>(lead)))
            continue;
        for (int trail = 0; trail < 256; ++trail) {
            const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            pairs_[static_cast<std::size_t>(leadIndex(static_cast<std::uint8_t>(lead)) * 256 + trail)] = decodeUnit(bytes, 2);
        }
    }
}

QStringView Cp932Text::single(std::uint8_t byte) const
{
    const Unit& u = singles_[byte];
    return QStringView(u.chars.data(), u.length);
}

QStringView Cp932Text::pair(std::uint8_t lead, std::uint8_t trail) const
{
    if (!isShiftJisLead(lead))
        return {};
    const Unit& u = pairs_[static_cast<std::size_t>(leadIndex(lead) * 256 + trail)];
    return QStringView(u.chars.data(), u.length);
}

void Cp932Text::append(QString& out, const std::uint8_t* bytes, int count) const
{
    int i = 0;
    while (i < count) {
        if (isShiftJisLead(bytes[i]) && i + 1 < count) {
            out.append(pair(bytes[i], bytes[i + 1]));
            i += 2;
        } else {
            out.append(single(bytes[i]));
            ++i;
        }
    }
}

QString Cp932Text::decode(const std::uint8_t* bytes, int count) const
{
    QString out;
    out.reserve(count);
    append(out, bytes, count);
    return out;
}

} // namespace kestrane
