// The companion programs' arithmetic: checksums (by the sending library's code), number
// conversions and the code table's cells.
#include "companions/checksum_calc.h"
#include "companions/code_table.h"
#include "companions/number_convert.h"
#include "text/cp932.h"

#include <gtest/gtest.h>

#include <ostream>

namespace kestrane {
namespace {

struct ChecksumCase {
    const char* text;
    TextForm form;
    const char* data;
    int byteXor, byteSum, crc16;
};

void PrintTo(const ChecksumCase& c, std::ostream* os)
{
    *os << c.text << (c.form == TextForm::Asc ? " (ASC)" : " (hex notation)");
}

class ChecksumExamples : public ::testing::TestWithParam<ChecksumCase> {};

TEST_P(ChecksumExamples, DataAndAllThreeChecksums)
{
    const ChecksumCase& c = GetParam();
    const ChecksumResult r = computeChecksums(c.text, c.form);
    EXPECT_EQ(hexBytes(r.data), c.data);
    EXPECT_EQ(r.byteXor, c.byteXor);
    EXPECT_EQ(r.byteSum, c.byteSum);
    EXPECT_EQ(r.crc16, c.crc16);
}

INSTANTIATE_TEST_SUITE_P(
    SendingExamples, ChecksumExamples,
    ::testing::Values(
        ChecksumCase{"123456789", TextForm::Asc, "31 32 33 34 35 36 37 38 39", 0x31, 0xDD, 0x4B37},
        ChecksumCase{"abc", TextForm::Asc, "61 62 63", 0x60, 0x26, 0x5749},
        ChecksumCase{"\"abc\"", TextForm::HexNotation, "61 62 63", 0x60, 0x26, 0x5749},
        ChecksumCase{"\"AB\"", TextForm::HexNotation, "41 42", 0x03, 0x83, 0xD1B1},
        ChecksumCase{"5A55", TextForm::HexNotation, "5A 55", 0x0F, 0xAF, 0x2FFB},
        ChecksumCase{"0d0A", TextForm::HexNotation, "0D 0A", 0x07, 0x17, 0x2785},
        ChecksumCase{"123", TextForm::HexNotation, "12", 0x12, 0x12, 0x4D3F},
        ChecksumCase{"G1", TextForm::HexNotation, "00", 0x00, 0x00, 0x40BF},
        ChecksumCase{"1G", TextForm::HexNotation, "01", 0x01, 0x01, 0x807E},
        ChecksumCase{"02 03", TextForm::HexNotation, "02 00", 0x02, 0x02, 0xD000}));

TEST(ChecksumCalculator, FieldsAreWhatKestraneAppends)
{
    // Byte sum over "AB" in the two-character form: the characters 8 and 3.
    EXPECT_EQ(hexBytes(checksumField("\"AB\"", TextForm::HexNotation, kChecksumSum, kChecksumTwoDigits, false)), "38 33");
    EXPECT_EQ(hexBytes(checksumField("\"AB\"", TextForm::HexNotation, kChecksumXor, kChecksumOneByte, false)), "03");
    // Byte XOR over 5A 55 is 0F, written 0F or 0f.
    EXPECT_EQ(hexBytes(checksumField("5A55", TextForm::HexNotation, kChecksumXor, kChecksumTwoDigits, false)), "30 46");
    EXPECT_EQ(hexBytes(checksumField("5A55", TextForm::HexNotation, kChecksumXor, kChecksumTwoDigits, true)), "30 66");
    // CRC16 is two raw bytes, low byte first, whatever the output form.
    for (const std::int32_t form : {kChecksumOneByte, kChecksumTwoDigits})
        EXPECT_EQ(hexBytes(checksumField("123456789", TextForm::Asc, kChecksumCrc16, form, true)), "37 4B");
    EXPECT_TRUE(checksumField("", TextForm::Asc, kChecksumXor, kChecksumOneByte, false).empty());
}

TEST(ChecksumCalculator, LongTextsAreCutWhereTheSendDialogsCutThem)
{
    const std::string text(600, 'x');
    const ChecksumResult r = computeChecksums(text, TextForm::Asc);
    EXPECT_TRUE(r.cut);
    EXPECT_EQ(r.data.size(), SendText::kMaxChars);
    EXPECT_EQ(r.byteXor, ('x' * (SendText::kMaxChars % 2)) & 0xFF);
    EXPECT_FALSE(computeChecksums(std::string(511, 'x'), TextForm::Asc).cut);
}

struct NumberCase {
    const char* text;
    Radix radix;
    IntegerType type;
    ParseError error;
    const char* decimal;
    const char* hex;
    const char* binary;
    const char* octal;
};

void PrintTo(const NumberCase& c, std::ostream* os)
{
    *os << '"' << c.text << "\" radix " << static_cast<int>(c.radix) << ", " << c.type.bits << (c.type.isSigned ? "-bit signed" : "-bit unsigned");
}

class NumberConversions : public ::testing::TestWithParam<NumberCase> {};

TEST_P(NumberConversions, ParseAndShowInEveryRadix)
{
    const NumberCase& c = GetParam();
    const ParseResult r = parseNumber(c.text, c.radix, c.type);
    ASSERT_EQ(r.error, c.error) << c.text;
    if (c.error != ParseError::None)
        return;
    EXPECT_EQ(formatNumber(r.pattern, Radix::Decimal, c.type), c.decimal);
    EXPECT_EQ(formatNumber(r.pattern, Radix::Hex, c.type), c.hex);
    EXPECT_EQ(formatNumber(r.pattern, Radix::Binary, c.type), c.binary);
    EXPECT_EQ(formatNumber(r.pattern, Radix::Octal, c.type), c.octal);
}

constexpr IntegerType u8{8, false}, s8{8, true}, u16{16, false}, s16{16, true}, u32{32, false}, s32{32, true};
constexpr ParseError ok = ParseError::None;

INSTANTIATE_TEST_SUITE_P(
    Table, NumberConversions,
    ::testing::Values(
        NumberCase{"255", Radix::Decimal, u8, ok, "255", "FF", "1111 1111", "377"},
        NumberCase{"FF", Radix::Hex, s8, ok, "-1", "FF", "1111 1111", "377"},
        NumberCase{"-128", Radix::Decimal, s8, ok, "-128", "80", "1000 0000", "200"},
        NumberCase{"-129", Radix::Decimal, s8, ParseError::OutOfRange, "", "", "", ""},
        NumberCase{"128", Radix::Decimal, s8, ParseError::OutOfRange, "", "", "", ""},
        NumberCase{"-1", Radix::Decimal, u8, ParseError::OutOfRange, "", "", "", ""},
        NumberCase{"256", Radix::Decimal, u8, ParseError::OutOfRange, "", "", "", ""},
        NumberCase{"100", Radix::Hex, u8, ParseError::OutOfRange, "", "", "", ""},
        NumberCase{"0x1234", Radix::Hex, s16, ok, "4660", "1234", "0001 0010 0011 0100", "11064"},
        NumberCase{"1000 0000 0000 0000", Radix::Binary, s16, ok, "-32768", "8000", "1000 0000 0000 0000", "100000"},
        NumberCase{"0b101", Radix::Binary, u16, ok, "5", "0005", "0000 0000 0000 0101", "5"},
        NumberCase{"177777", Radix::Octal, s16, ok, "-1", "FFFF", "1111 1111 1111 1111", "177777"},
        NumberCase{"200000", Radix::Octal, u16, ParseError::OutOfRange, "", "", "", ""},
        NumberCase{"4294967295", Radix::Decimal, u32, ok, "4294967295", "FFFFFFFF",
                   "1111 1111 1111 1111 1111 1111 1111 1111", "37777777777"},
        NumberCase{"4294967296", Radix::Decimal, u32, ParseError::OutOfRange, "", "", "", ""},
        NumberCase{"-2147483648", Radix::Decimal, s32, ok, "-2147483648", "80000000",
                   "1000 0000 0000 0000 0000 0000 0000 0000", "20000000000"},
        NumberCase{"99999999999999999999999", Radix::Decimal, s32, ParseError::OutOfRange, "", "", "", ""},
        NumberCase{"12", Radix::Binary, u8, ParseError::NotANumber, "", "", "", ""},
        NumberCase{"8", Radix::Octal, u8, ParseError::NotANumber, "", "", "", ""},
        NumberCase{"G", Radix::Hex, u8, ParseError::NotANumber, "", "", "", ""},
        NumberCase{"-5", Radix::Hex, s8, ParseError::NotANumber, "", "", "", ""},
        NumberCase{"0x", Radix::Hex, u8, ParseError::NotANumber, "", "", "", ""},
        NumberCase{"  ", Radix::Decimal, u8, ParseError::Empty, "", "", "", ""}));

TEST(CodeTable, SingleBytePageHasControlsLettersKanaAndLeadBytes)
{
    const Cp932Text cp932;
    ASSERT_TRUE(cp932.valid());
    const auto page = codeTablePage(0, cp932);
    EXPECT_EQ(page[0x02].kind, CellKind::Control);
    EXPECT_EQ(page[0x02].text.toStdString(), "STX");
    EXPECT_EQ(page[0x7F].text.toStdString(), "DEL");
    EXPECT_EQ(page[0x41].text.toStdString(), "A");
    EXPECT_EQ(cellHex(page[0x41]).toStdString(), "41");
    EXPECT_EQ(page[0xB1].text.toStdString(), "ｱ");
    EXPECT_EQ(page[0x81].kind, CellKind::LeadByte);
    EXPECT_EQ(page[0xFC].kind, CellKind::LeadByte);
    for (int unused : {0x80, 0xA0, 0xFD, 0xFE, 0xFF})
        EXPECT_EQ(page[static_cast<std::size_t>(unused)].kind, CellKind::Unused) << unused;
}

TEST(CodeTable, DoubleBytePagesDecodeEveryPairTheCodePageDefines)
{
    const Cp932Text cp932;
    EXPECT_EQ(codeTablePages().size(), 1u + 31u + 29u);
    const auto hiragana = codeTablePage(0x82, cp932);
    EXPECT_EQ(hiragana[0xA0].text.toStdString(), "あ");
    EXPECT_EQ(cellHex(hiragana[0xA0]).toStdString(), "82A0");
    EXPECT_EQ(hiragana[0x3F].kind, CellKind::Unused);
    EXPECT_EQ(hiragana[0x7F].kind, CellKind::Unused);
    EXPECT_EQ(codeTablePage(0x87, cp932)[0x40].text.toStdString(), "①");
    EXPECT_EQ(codeTablePage(0x89, cp932)[0xB7].text.toStdString(), "温");
    EXPECT_EQ(codeTablePage(0xF0, cp932)[0x40].kind, CellKind::UserDefined);
    // Every character cell round-trips to its own code.
    int characters = 0;
    for (const std::uint8_t lead : codeTablePages()) {
        if (lead == 0)
            continue;
        for (const CodeCell& cell : codeTablePage(lead, cp932)) {
            if (cell.kind != CellKind::Character)
                continue;
            ++characters;
            const QByteArray back = toCp932(cell.text);
            ASSERT_EQ(back.size(), 2) << cellHex(cell).toStdString();
            const int code = (static_cast<std::uint8_t>(back[0]) << 8) | static_cast<std::uint8_t>(back[1]);
            // Some characters have two codes (NEC and IBM rows); the encoder picks one of them.
            if (code != cell.code) {
                EXPECT_EQ(fromCp932(back), cell.text);
            }
        }
    }
    EXPECT_GT(characters, 7000);
}

} // namespace
} // namespace kestrane
