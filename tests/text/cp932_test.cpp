// Code page 932: the one table (from iconv) and Qt's texts on it. Qt's own "windows-31j" codec,
// which the program's windows used before, serves as the witness that every text reads and is
// written as before, unit by unit and character by character.
#include "text/cp932.h"
#include "notation/shift_jis.h"
#include "platform/code_page.h"

#include <gtest/gtest.h>

#include <QStringDecoder>
#include <QStringEncoder>

#include <string>

namespace kestrane {
namespace {

QByteArray unitBytes(int first, int second = -1)
{
    QByteArray b(1, static_cast<char>(first));
    if (second >= 0)
        b += static_cast<char>(second);
    return b;
}

QString qtDecoded(const QByteArray& bytes)
{
    QStringDecoder decoder("windows-31j");
    return decoder.decode(bytes);
}

std::string hex(const QByteArray& b) { return b.toHex(' ').toStdString(); }

TEST(Cp932Table, EveryUnitReadsAsIconvReadsIt)
{
    ASSERT_TRUE(cp932Available());
    int pairs = 0;
    for (int b = 0; b < 256; ++b) {
        const std::string unit(1, static_cast<char>(b));
        const auto c = cp932CharOf(static_cast<std::uint8_t>(b));
        EXPECT_EQ(c.has_value(), cp932ToUtf8(unit).has_value()) << b;
        if (c) {
            EXPECT_EQ(cp932ToUtf8Lossy(unit), *cp932ToUtf8(unit)) << b;
        }
        if (!isShiftJisLead(static_cast<std::uint8_t>(b)))
            continue;
        for (int t = 0; t < 256; ++t) {
            const std::string both{static_cast<char>(b), static_cast<char>(t)};
            const auto whole = cp932ToUtf8(both);
            ASSERT_EQ(cp932CharOf(static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(t)).has_value(),
                      whole.has_value()) << b << ' ' << t;
            EXPECT_EQ(cp932ToUtf8Lossy(both), whole.value_or("\xEF\xBF\xBD")) << b << ' ' << t;
            pairs += whole.has_value();
        }
    }
    EXPECT_GT(pairs, 7900);
    // Every code the table gives reads back as its character, in both directions.
    for (const char32_t c : {U'A', U'\\', U'~', U'ｱ', U'あ', U'亜', U'①', U'≒', U'ⅰ', U'\uE000'}) {
        const auto code = cp932CodeOf(c);
        ASSERT_TRUE(code) << static_cast<unsigned>(c);
        const auto back = code->length == 1 ? cp932CharOf(code->bytes[0]) : cp932CharOf(code->bytes[0], code->bytes[1]);
        EXPECT_EQ(back, c) << static_cast<unsigned>(c);
    }
    EXPECT_FALSE(cp932CodeOf(U'€'));
    EXPECT_FALSE(cp932CodeOf(U'¥'));  // iconv writes it as 5C, which reads back as a backslash
}

TEST(Cp932Texts, EveryUnitReadsAsBefore)
{
    const Cp932Text text;
    ASSERT_TRUE(text.valid());
    for (int b = 0; b < 256; ++b) {
        const auto byte = static_cast<std::uint8_t>(b);
        if (!isShiftJisLead(byte)) {
            EXPECT_EQ(fromCp932(unitBytes(b)), qtDecoded(unitBytes(b))) << b;
            EXPECT_EQ(text.single(byte).toString(), qtDecoded(unitBytes(b))) << b;
            continue;
        }
        // A lead byte alone: nothing at the end of a text; the display shows it as a byte it cannot show.
        EXPECT_EQ(fromCp932(unitBytes(b)), qtDecoded(unitBytes(b))) << b;
        EXPECT_EQ(text.single(byte).toString(), qtDecoded(unitBytes(0x80))) << b;
        for (int t = 0; t < 256; ++t) {
            const QString before = qtDecoded(unitBytes(b, t));
            ASSERT_EQ(fromCp932(unitBytes(b, t)), before) << b << ' ' << t;
            ASSERT_EQ(text.pair(byte, static_cast<std::uint8_t>(t)).toString(), before.left(2)) << b << ' ' << t;
        }
    }
    static const char kMixed[] = "A\x82\xA0\x81\x0A\x85\x40\x80\x1A\x7F\xB1z\x82";
    const QByteArray mixed(kMixed, sizeof kMixed - 1);
    EXPECT_EQ(fromCp932(mixed), qtDecoded(mixed));
}

TEST(Cp932Texts, EveryCharacterIsWrittenAsBefore)
{
    QStringEncoder encoder("windows-31j");
    for (char32_t c = 0; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF)
            continue;
        const QString one = QString::fromUcs4(&c, 1);
        encoder.resetState();
        const QByteArray before = encoder.encode(one);
        const QByteArray now = toCp932(one);
        ASSERT_EQ(hex(now), hex(before)) << "U+" << std::hex << static_cast<unsigned>(c);
    }
    // Whole texts, and halves of characters without their other half.
    for (const QString& text : {QStringLiteral("Aあ¥〜\u200B😀ｱ\u001A~"),
                                QString(QChar(0xD800)) + QStringLiteral("x") + QChar(0xDC00),
                                QStringLiteral("x") + QChar(0xD800), QString(QChar(0xDC00)) + QChar(0xD800)}) {
        encoder.resetState();
        EXPECT_EQ(hex(toCp932(text)), hex(encoder.encode(text)));
    }
}

TEST(Cp932Texts, TextCutWithinABudgetEndsAtACharacter)
{
    const QString text = QStringLiteral("Aあ\U0001F600b");  // 1 + 2 + 2 (FC FC) + 1 bytes
    EXPECT_EQ(toCp932Within(text, 6), toCp932(text));
    EXPECT_EQ(toCp932Within(text, 5), toCp932(QStringLiteral("Aあ\U0001F600")));
    EXPECT_EQ(toCp932Within(text, 4), toCp932(QStringLiteral("Aあ")));
    EXPECT_EQ(toCp932Within(text, 2), QByteArray("A"));
    EXPECT_EQ(toCp932Within(text, 0), QByteArray());
    EXPECT_EQ(toCp932Within(text, -3), QByteArray());
}

} // namespace
} // namespace kestrane
