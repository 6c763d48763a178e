#include "text/cp932.h"

#include "notation/shift_jis.h"
#include "platform/code_page.h"

#include <algorithm>
#include <iterator>

namespace kestrane {

// Qt's texts on the one code page 932 table (platform/code_page.h). Where the table has no
// character, or a text a character the code page lacks, these keep the answers the program has
// always given in its windows and on the line (those of the IBM-943 table behind Qt's
// "windows-31j" codec): a byte or pair without a character reads as U+001A, or U+FFFD for an
// undefined pair of proper bytes; a character without a code is written as FC FC; the invisible
// format characters are left out; and 1A, 1C and 7F read as U+001C, U+007F and U+001A (and back).
namespace {

constexpr char16_t kSub = 0x1A;

// 1A, 1C and 7F exchange their characters; every other character is itself.
constexpr char32_t swappedControl(char32_t c)
{
    switch (c) {
    case 0x1A: return 0x1C;
    case 0x1C: return 0x7F;
    case 0x7F: return 0x1A;
    default: return c;
    }
}

constexpr char32_t unswappedControl(char32_t c)
{
    switch (c) {
    case 0x1C: return 0x1A;
    case 0x7F: return 0x1C;
    case 0x1A: return 0x7F;
    default: return c;
    }
}

// Characters that are written as nothing: invisible format characters, variation selectors,
// the Hangul fillers.
struct Range {
    char32_t first, last;
};
constexpr Range kLeftOut[] = {
    {0x00AD, 0x00AD}, {0x034F, 0x034F}, {0x061C, 0x061C}, {0x115F, 0x1160}, {0x17B4, 0x17B5},
    {0x180B, 0x180F}, {0x200B, 0x200F}, {0x202A, 0x202E}, {0x2060, 0x206F}, {0x3164, 0x3164},
    {0xFE00, 0xFE0F}, {0xFFA0, 0xFFA0}, {0xFFF0, 0xFFF8}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A},
    {0xE0000, 0xE0FFF}};

bool leftOut(char32_t c)
{
    return std::any_of(std::begin(kLeftOut), std::end(kLeftOut),
                       [c](const Range& r) { return c >= r.first && c <= r.last; });
}

// A byte that may follow a lead byte as its second.
constexpr bool isTrail(std::uint8_t b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC); }

void appendChar(QString& out, char32_t c)
{
    const char32_t one[1] = {c};
    out += QString::fromUcs4(one, 1);
}

// A single byte that is no lead byte.
void appendSingle(QString& out, std::uint8_t byte)
{
    const auto c = cp932CharOf(byte);
    if (c)
        appendChar(out, swappedControl(*c));
    else
        out += QChar(kSub);
}

void appendPair(QString& out, std::uint8_t lead, std::uint8_t trail)
{
    if (const auto c = cp932CharOf(lead, trail)) {
        appendChar(out, *c);
    } else if (isTrail(trail)) {
        out += QChar(QChar::ReplacementCharacter);
    } else {
        out += QChar(kSub);  // the second byte cannot trail: it stands on its own
        appendSingle(out, trail);
    }
}

void appendCode(QByteArray& out, char32_t c)
{
    if (leftOut(c))
        return;
    if (c == 0xF86F) {  // a private character the IBM table writes as the numero sign
        out += "\x87\x82";
        return;
    }
    if (const auto code = cp932CodeOf(unswappedControl(c)))
        out.append(reinterpret_cast<const char*>(code->bytes.data()), code->length);
    else
        out += "\xFC\xFC";
}

} // namespace

QByteArray toCp932(const QString& text)
{
    QByteArray out;
    out.reserve(text.size() * 2);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        if (ch.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            appendCode(out, QChar::surrogateToUcs4(ch, text.at(i + 1)));
            ++i;
        } else if (ch.isHighSurrogate() && i + 1 == text.size()) {
            // The first half of a character whose second half has not come: nothing yet.
        } else {
            appendCode(out, ch.isSurrogate() ? char32_t{0xFFFD} : char32_t{ch.unicode()});
        }
    }
    return out;
}

QString fromCp932(const QByteArray& bytes)
{
    QString out;
    out.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<std::uint8_t>(bytes[i]);
        if (!isShiftJisLead(b)) {
            appendSingle(out, b);
        } else if (i + 1 < bytes.size()) {
            appendPair(out, b, static_cast<std::uint8_t>(bytes[i + 1]));
            ++i;
        }
        // A lead byte at the very end waits for a trail byte that never comes: nothing.
    }
    return out;
}

QByteArray toCp932Within(const QString& text, int maxBytes)
{
    QByteArray bytes = toCp932(text);
    bytes.truncate(static_cast<qsizetype>(
        cp932Fit(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                 static_cast<std::size_t>(std::max(maxBytes, 0)))));
    return bytes;
}

Cp932Text::Cp932Text() : valid_(cp932Available()), pairs_(kShiftJisLeadCount * 256)
{
    const auto unitOf = [](const QString& text) {
        Unit unit;
        const qsizetype n = std::min<qsizetype>(text.size(), 2);
        for (qsizetype i = 0; i < n; ++i)
            unit.chars[static_cast<std::size_t>(i)] = text.at(i).unicode();
        unit.length = static_cast<std::uint8_t>(n);
        return unit;
    };
    // A lead byte standing alone (its trail byte missing, or of another line) shows as a byte the
    // display cannot show, so it keeps its cell.
    constexpr std::uint8_t kUnshowable = 0x80;
    for (int b = 0; b < 256; ++b) {
        const auto byte = static_cast<std::uint8_t>(b);
        QString text;
        const std::uint8_t shown = isShiftJisLead(byte) ? kUnshowable : byte;
        if (valid_)
            appendSingle(text, shown);
        else
            text = QString(QChar(static_cast<char16_t>(shown)));
        singles_[static_cast<std::size_t>(b)] = unitOf(text);
    }
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (!isShiftJisLead(static_cast<std::uint8_t>(lead)))
            continue;
        for (int trail = 0; trail < 256; ++trail) {
            QString text;
            if (valid_)
                appendPair(text, static_cast<std::uint8_t>(lead), static_cast<std::uint8_t>(trail));
            else
                text = QString(QChar(static_cast<char16_t>(lead))) + QChar(static_cast<char16_t>(trail));
            const auto at = static_cast<std::size_t>(shiftJisLeadIndex(static_cast<std::uint8_t>(lead)) * 256 + trail);
            pairs_[at] = unitOf(text);
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
    const Unit& u = pairs_[static_cast<std::size_t>(shiftJisLeadIndex(lead) * 256 + trail)];
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
