// The send buffer: hex send notation, ASC form, checksums, frame decoration and the 520-byte bound.
#include "sending/send_buffer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace kestrane {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes frameOf(const SendState& state)
{
    const auto frame = state.sendBuffer.frame();
    return Bytes(frame.begin(), frame.end());
}

// The bytes of `text` in the hex send notation, converted into an empty buffer.
Bytes hexBytes(std::string_view text, std::int32_t method = kChecksumXor)
{
    auto state = std::make_unique<SendState>();
    state->convertHexNotation(text, true, method);
    return frameOf(*state);
}

std::array<char, 4> charText(const char* text)
{
    std::array<char, 4> field{};
    setFixedText(field, text);
    return field;
}

// Start 02, stop 03, end 0D, checksum on: the decoration of most framing examples.
FrameOptions fullDecoration(std::int32_t method, std::int32_t form, bool lowerCase = false)
{
    FrameOptions options;
    options.startOn = options.stopOn = options.checksumOn = options.endOn = true;
    options.startCharHex = charText("02");
    options.stopCharHex = charText("03");
    options.endCharHex = charText("0D");
    options.checksumMethod = method;
    options.checksumOutputForm = form;
    options.checksumLowerCase = lowerCase;
    return options;
}

// ---- hex send notation ----

TEST(HexNotation, PairsOfDigitsInEitherCase)
{
    EXPECT_EQ(hexBytes("0D0A"), (Bytes{0x0D, 0x0A}));
    EXPECT_EQ(hexBytes("0d0a"), (Bytes{0x0D, 0x0A}));
    EXPECT_EQ(hexBytes("fFaB"), (Bytes{0xFF, 0xAB}));
}

TEST(HexNotation, QuotedTextIsLiteral)
{
    EXPECT_EQ(hexBytes("\"AB\"0D"), (Bytes{0x41, 0x42, 0x0D}));
    EXPECT_EQ(hexBytes("'AB'0D"), (Bytes{0x41, 0x42, 0x0D}));
    // Spaces and hex-looking characters inside quotes are plain characters.
    EXPECT_EQ(hexBytes("\"0D 0A\""), (Bytes{'0', 'D', ' ', '0', 'A'}));
}

TEST(HexNotation, OtherQuoteInsideQuotesIsSentLiterally)
{
    EXPECT_EQ(hexBytes("'say \"hi\"'"), (Bytes{'s', 'a', 'y', ' ', '"', 'h', 'i', '"'}));
    EXPECT_EQ(hexBytes("\"it's\"01"), (Bytes{'i', 't', '\'', 's', 0x01}));
}

TEST(HexNotation, QuotedShiftJisPassesByteByByte)
{
    // "あ" in Shift-JIS is 82 A0.
    EXPECT_EQ(hexBytes("\"\x82\xA0\""), (Bytes{0x82, 0xA0}));
}

TEST(HexNotation, OddLastCharacterIsDropped)
{
    EXPECT_EQ(hexBytes("123"), (Bytes{0x12}));
    EXPECT_EQ(hexBytes("1"), Bytes{});
}

TEST(HexNotation, NonDigitsInAPair)
{
    EXPECT_EQ(hexBytes("G1"), (Bytes{0x00}));
    EXPECT_EQ(hexBytes("1G"), (Bytes{0x01}));
    // Spaces are no separators: "02 03" pairs as "02", " 0" and drops the 3.
    EXPECT_EQ(hexBytes("02 03"), (Bytes{0x02, 0x00}));
}

TEST(HexNotation, QuoteOnlyCountsWherePairStarts)
{
    // The quote is the second character of the pair 1" (value 1), so AB is a pair and the
    // quote after it opens a literal section that is never closed.
    EXPECT_EQ(hexBytes("1\"AB\"Z"), (Bytes{0x01, 0xAB, 'Z'}));
    // A quote as the first character of a pair is recognised.
    EXPECT_EQ(hexBytes("01\"A\"02"), (Bytes{0x01, 'A', 0x02}));
}

TEST(HexNotation, UnbalancedQuoteLeavesRestLiteral)
{
    EXPECT_EQ(hexBytes("41'0D0A"), (Bytes{0x41, '0', 'D', '0', 'A'}));
}

TEST(HexNotation, EveryPairReadsLikeStrtolOnPrefixedPair)
{
    // Each two-character pair (outside quotes, no quote first) against the C library's own
    // reading of "0x" followed by the pair.
    for (int a = 1; a < 256; ++a) {
        if (a == '"' || a == '\'')
            continue;
        for (int b = 1; b < 256; ++b) {
            const char pair[2] = {static_cast<char>(a), static_cast<char>(b)};
            const std::string prefixed = std::string("0x") + pair[0] + pair[1];
            const auto expected = static_cast<std::uint8_t>(std::strtol(prefixed.c_str(), nullptr, 16) & 0xFF);
            const Bytes got = hexBytes(std::string_view(pair, 2));
            ASSERT_EQ(got.size(), 1u) << a << ' ' << b;
            ASSERT_EQ(got[0], expected) << "pair " << a << ' ' << b;
        }
    }
}

TEST(HexNotation, TextEndsAtNul)
{
    EXPECT_EQ(hexBytes(std::string_view("01\0" "02", 5)), (Bytes{0x01}));
}

TEST(HexNotation, AppendsAtCallersCountAndZeroFillsOnRequest)
{
    auto state = std::make_unique<SendState>();
    state->convertAsc("ABCDEF", kChecksumXor);

    // Without zero-filling, bytes behind the new count keep the older frame.
    state->sendBuffer.count = 2;
    state->convertHexNotation("31", false, kChecksumXor);
    EXPECT_EQ(state->sendBuffer.count, 3);
    EXPECT_EQ(state->sendBuffer.bytes[0], 'A');
    EXPECT_EQ(state->sendBuffer.bytes[2], 0x31);
    EXPECT_EQ(state->sendBuffer.bytes[3], 'D');

    state->sendBuffer.count = 0;
    state->convertHexNotation("7E", true, kChecksumXor);
    EXPECT_EQ(frameOf(*state), (Bytes{0x7E}));
    for (std::size_t i = 1; i < SendBuffer::kCapacity; ++i)
        ASSERT_EQ(state->sendBuffer.bytes[i], 0) << i;
}

TEST(AscForm, QuotesHaveNoMeaning)
{
    auto state = std::make_unique<SendState>();
    state->convertAsc("'0D\"", kChecksumXor);
    EXPECT_EQ(frameOf(*state), (Bytes{'\'', '0', 'D', '"'}));
}

// ---- character values ----

TEST(HexCharValue, ExamplesOfTheCharacterTexts)
{
    EXPECT_EQ(hexCharValue("02"), 0x02);
    EXPECT_EQ(hexCharValue("0D"), 0x0D);
    EXPECT_EQ(hexCharValue("3"), 0x03);
    EXPECT_EQ(hexCharValue("1FF"), 0xFF);
    EXPECT_EQ(hexCharValue(""), 0x00);
    EXPECT_EQ(hexCharValue("ZZ"), 0x00);
    EXPECT_EQ(hexCharValue(charText("0d")), 0x0D);
}

TEST(HexCharValue, ReadsLikeStrtolBase16)
{
    // Every text of up to three characters over an alphabet that exercises white space, signs,
    // the 0x prefix, digits of both cases, non-digits and a byte above 0x7F.
    const std::string alphabet = std::string(" \t+-019aFgxX\"") + '\x80';
    std::vector<std::string> texts{""};
    for (int length = 1; length <= 3; ++length) {
        std::vector<std::string> longer;
        for (const auto& t : texts)
            if (t.size() == static_cast<std::size_t>(length - 1))
                for (const char c : alphabet)
                    longer.push_back(t + c);
        texts.insert(texts.end(), longer.begin(), longer.end());
    }
    // Longer texts reach the saturation of strtol.
    texts.insert(texts.end(), {"0x7FFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFFF", "-FFFFFFFFFFFFFFFFF", "-0x81", " \n-1"});
    for (const auto& text : texts) {
        const auto expected = static_cast<std::uint8_t>(std::strtol(text.c_str(), nullptr, 16) & 0xFF);
        ASSERT_EQ(hexCharValue(text), expected) << '"' << text << '"';
    }
}

// ---- checksums ----

struct CheckValue {
    const char* text;
    std::int32_t method;
    std::uint8_t accumulator;  // for XOR and sum
    std::uint16_t crc;         // for CRC16
};

class ChecksumCheckValues : public ::testing::TestWithParam<CheckValue> {};

TEST_P(ChecksumCheckValues, AscAndQuotedHexAgree)
{
    const CheckValue& v = GetParam();
    const std::string quoted = std::string("\"") + v.text + "\"";
    for (const bool asc : {true, false}) {
        auto state = std::make_unique<SendState>();
        if (asc)
            state->convertAsc(v.text, v.method);
        else
            state->convertHexNotation(quoted, true, v.method);
        if (v.method == kChecksumCrc16)
            EXPECT_EQ(state->crcValue, v.crc) << (asc ? "asc" : "hex");
        else
            EXPECT_EQ(state->checksumAccumulator, v.accumulator) << (asc ? "asc" : "hex");
    }
}

INSTANTIATE_TEST_SUITE_P(Methods, ChecksumCheckValues,
                         ::testing::Values(CheckValue{"123456789", kChecksumCrc16, 0, 0x4B37},
                                           CheckValue{"abc", kChecksumXor, 0x60, 0},
                                           CheckValue{"abc", kChecksumSum, 0x26, 0},
                                           CheckValue{"abc", kChecksumCrc16, 0, 0x5749}));

TEST(Crc16, FrameSendsLowByteFirst)
{
    FrameOptions options;
    options.checksumOn = true;
    options.checksumMethod = kChecksumCrc16;
    auto state = std::make_unique<SendState>();
    state->composeFrame("123456789", TextForm::Asc, options);
    EXPECT_EQ(frameOf(*state), (Bytes{'1', '2', '3', '4', '5', '6', '7', '8', '9', 0x37, 0x4B}));
    state->composeFrame("abc", TextForm::Asc, options);
    EXPECT_EQ(frameOf(*state), (Bytes{'a', 'b', 'c', 0x49, 0x57}));
}

TEST(Crc16, RestartsForEveryConversion)
{
    auto state = std::make_unique<SendState>();
    state->convertAsc("xyz", kChecksumCrc16);
    state->sendBuffer.count = 0;
    state->convertAsc("abc", kChecksumCrc16);
    EXPECT_EQ(state->crcValue, 0x5749);
}

TEST(Crc16, EmptyTextLeavesCrcValue)
{
    auto state = std::make_unique<SendState>();
    state->convertAsc("abc", kChecksumCrc16);
    state->convertHexNotation("", true, kChecksumCrc16);
    EXPECT_EQ(state->crcValue, 0x5749);
    state->convertAsc("", kChecksumCrc16);
    EXPECT_EQ(state->crcValue, 0x5749);
}

TEST(Checksum, SumWrapsModulo256)
{
    auto state = std::make_unique<SendState>();
    state->convertHexNotation("FF02", true, kChecksumSum);
    EXPECT_EQ(state->checksumAccumulator, 0x01);
}

TEST(Checksum, DigitsInBothCases)
{
    EXPECT_EQ(checksumDigits(0x0F, false), (std::array<char, 2>{'0', 'F'}));
    EXPECT_EQ(checksumDigits(0xAB, true), (std::array<char, 2>{'a', 'b'}));
    EXPECT_EQ(checksumDigits(0x00, true), (std::array<char, 2>{'0', '0'}));
}

// ---- frame decoration ----

TEST(ComposeFrame, XorOneRawByteExcludesStartAndStop)
{
    auto state = std::make_unique<SendState>();
    state->composeFrame("\"AB\"", TextForm::HexNotation, fullDecoration(kChecksumXor, kChecksumOneByte));
    EXPECT_EQ(frameOf(*state), (Bytes{0x02, 0x41, 0x42, 0x03, 0x03, 0x0D}));
}

TEST(ComposeFrame, SumAsTwoCharacters)
{
    auto state = std::make_unique<SendState>();
    state->composeFrame("\"AB\"", TextForm::HexNotation, fullDecoration(kChecksumSum, kChecksumTwoDigits));
    EXPECT_EQ(frameOf(*state), (Bytes{0x02, 0x41, 0x42, 0x03, '8', '3', 0x0D}));
}

TEST(ComposeFrame, TwoCharacterFormFollowsLetterCase)
{
    auto state = std::make_unique<SendState>();
    state->composeFrame("5A55", TextForm::HexNotation, fullDecoration(kChecksumXor, kChecksumTwoDigits));
    EXPECT_EQ(frameOf(*state), (Bytes{0x02, 0x5A, 0x55, 0x03, '0', 'F', 0x0D}));
    state->composeFrame("5A55", TextForm::HexNotation, fullDecoration(kChecksumXor, kChecksumTwoDigits, true));
    EXPECT_EQ(frameOf(*state), (Bytes{0x02, 0x5A, 0x55, 0x03, '0', 'f', 0x0D}));
}

TEST(ComposeFrame, Crc16IsTwoRawBytesWhateverTheForm)
{
    for (const std::int32_t form : {kChecksumOneByte, kChecksumTwoDigits}) {
        for (const bool lower : {false, true}) {
            auto state = std::make_unique<SendState>();
            state->composeFrame("abc", TextForm::Asc, fullDecoration(kChecksumCrc16, form, lower));
            EXPECT_EQ(frameOf(*state), (Bytes{0x02, 'a', 'b', 'c', 0x03, 0x49, 0x57, 0x0D}))
                << "form " << form << " lower " << lower;
        }
    }
}

TEST(ComposeFrame, EmptyTextSendsNoChecksum)
{
    FrameOptions options = fullDecoration(kChecksumXor, kChecksumOneByte);
    options.stopOn = false;
    auto state = std::make_unique<SendState>();
    state->composeFrame("", TextForm::HexNotation, options);
    EXPECT_EQ(frameOf(*state), (Bytes{0x02, 0x0D}));

    options.checksumMethod = kChecksumCrc16;
    state->composeFrame("", TextForm::Asc, options);
    EXPECT_EQ(frameOf(*state), (Bytes{0x02, 0x0D}));
}

TEST(ComposeFrame, TextWithoutDataBytesStillCarriesChecksum)
{
    // The text is not empty, so the checksum field is there: over no bytes at all.
    FrameOptions options;
    options.checksumOn = true;
    options.checksumMethod = kChecksumCrc16;
    auto state = std::make_unique<SendState>();
    state->composeFrame("1", TextForm::HexNotation, options);
    EXPECT_EQ(frameOf(*state), (Bytes{0xFF, 0xFF}));

    options.checksumMethod = kChecksumXor;
    state->composeFrame("\"\"", TextForm::HexNotation, options);
    EXPECT_EQ(frameOf(*state), (Bytes{0x00}));
}

TEST(ComposeFrame, UnknownMethodFoldsNothing)
{
    // A settings file may hold any number; only 0, 1 and 2 name a method.
    auto state = std::make_unique<SendState>();
    state->composeFrame("\"AB\"", TextForm::HexNotation, fullDecoration(7, kChecksumOneByte));
    EXPECT_EQ(frameOf(*state), (Bytes{0x02, 0x41, 0x42, 0x03, 0x00, 0x0D}));
}

TEST(ComposeFrame, EnabledCharacterTexts)
{
    FrameOptions options;
    options.startOn = options.endOn = true;
    options.startCharHex = charText("");
    options.endCharHex = charText("1FF");
    auto state = std::make_unique<SendState>();
    state->composeFrame("41", TextForm::HexNotation, options);
    EXPECT_EQ(frameOf(*state), (Bytes{0x00, 0x41, 0xFF}));
}

TEST(ComposeFrame, DisabledDecorationAddsNothing)
{
    FrameOptions options = fullDecoration(kChecksumXor, kChecksumOneByte);
    options.startOn = options.stopOn = options.checksumOn = options.endOn = false;
    auto state = std::make_unique<SendState>();
    state->composeFrame("4142", TextForm::HexNotation, options);
    EXPECT_EQ(frameOf(*state), (Bytes{0x41, 0x42}));
}

TEST(ComposeFrame, StartsAfreshEveryTime)
{
    auto state = std::make_unique<SendState>();
    const FrameOptions options = fullDecoration(kChecksumSum, kChecksumOneByte);
    state->composeFrame("\"a much longer first frame\"", TextForm::HexNotation, options);
    state->composeFrame("4142", TextForm::HexNotation, options);
    const Bytes expected{0x02, 0x41, 0x42, 0x03, 0x83, 0x0D};
    EXPECT_EQ(frameOf(*state), expected);
    for (std::size_t i = expected.size(); i < SendBuffer::kCapacity; ++i)
        ASSERT_EQ(state->sendBuffer.bytes[i], 0) << i;
}

TEST(ComposeFrame, OptionsFromSettings)
{
    SettingsRecord settings;
    settings.sendStartCharOn = 1;
    settings.sendEndCharOn = 1;
    settings.sendChecksumOn = 1;
    setFixedText(settings.sendStartCharHex, "02");
    setFixedText(settings.sendStopCharHex, "03");  // stop is off
    setFixedText(settings.sendEndCharHex, "0A");
    settings.checksumMethod = kChecksumXor;
    settings.checksumOutputForm = kChecksumTwoDigits;
    settings.checksumLowerCase = 1;
    auto state = std::make_unique<SendState>();
    state->composeFrame("5A55", TextForm::HexNotation, frameOptionsFrom(settings));
    EXPECT_EQ(frameOf(*state), (Bytes{0x02, 0x5A, 0x55, '0', 'f', 0x0A}));
}

TEST(ComposeFrame, UsesSendTextAsItsOwnInput)
{
    auto state = std::make_unique<SendState>();
    state->sendText.assign("\"AB\"");
    state->composeFrame(state->sendText.view(), TextForm::HexNotation, fullDecoration(kChecksumXor, kChecksumOneByte));
    EXPECT_EQ(frameOf(*state), (Bytes{0x02, 0x41, 0x42, 0x03, 0x03, 0x0D}));
}

// ---- the 520-byte bound ----

TEST(Bounds, LongestTypedLineFitsWithAllDecorations)
{
    const std::string asc(SendText::kMaxChars, 'x');
    auto state = std::make_unique<SendState>();
    state->composeFrame(asc, TextForm::Asc, fullDecoration(kChecksumCrc16, kChecksumOneByte));
    const Bytes frame = frameOf(*state);
    ASSERT_EQ(frame.size(), 516u);
    EXPECT_EQ(frame.front(), 0x02);
    EXPECT_EQ(Bytes(frame.begin() + 1, frame.begin() + 512), Bytes(511, 'x'));
    EXPECT_EQ(frame[512], 0x03);
    EXPECT_EQ(frame.back(), 0x0D);

    // 511 characters of quoted hex notation: 509 literal bytes, sum as two characters.
    const std::string hex = "'" + std::string(509, 'y') + "'";
    state->composeFrame(hex, TextForm::HexNotation, fullDecoration(kChecksumSum, kChecksumTwoDigits));
    const Bytes frame2 = frameOf(*state);
    ASSERT_EQ(frame2.size(), 1u + 509u + 1u + 2u + 1u);
    const auto digits = checksumDigits(static_cast<std::uint8_t>(509 * 'y'), false);
    EXPECT_EQ(frame2[511], digits[0]);
    EXPECT_EQ(frame2[512], digits[1]);
    EXPECT_EQ(frame2.back(), 0x0D);
}

// A send state followed by a guard area, to see that nothing is written behind it.
struct GuardedState {
    SendState state;
    std::array<std::uint8_t, 64> guard{};
    GuardedState() { guard.fill(0xA5); }
    [[nodiscard]] bool guardIntact() const
    {
        for (const auto b : guard)
            if (b != 0xA5)
                return false;
        return true;
    }
};

TEST(Bounds, OverlongTextNeverWritesPastTheBuffer)
{
    auto guarded = std::make_unique<GuardedState>();
    SendState& state = guarded->state;
    const std::string longAsc(2000, 'z');

    state.convertAsc(longAsc, kChecksumSum);
    EXPECT_EQ(state.sendBuffer.count, 520);
    // The checksum covers exactly the bytes that were stored.
    EXPECT_EQ(state.checksumAccumulator, static_cast<std::uint8_t>(520 * 'z'));

    state.sendBuffer.count = 0;
    state.convertHexNotation(std::string(3000, 'A'), true, kChecksumSum);
    EXPECT_EQ(state.sendBuffer.count, 520);
    EXPECT_EQ(state.sendBuffer.bytes[519], 0xAA);

    // composeFrame takes no more than the send text holds, so the decoration still fits.
    state.composeFrame(longAsc, TextForm::Asc, fullDecoration(kChecksumCrc16, kChecksumOneByte));
    EXPECT_EQ(state.sendBuffer.count, 516);
    EXPECT_EQ(state.sendBuffer.bytes[515], 0x0D);
    EXPECT_TRUE(guarded->guardIntact());
}

TEST(Bounds, CountOutsideTheBufferRefusesAppends)
{
    auto guarded = std::make_unique<GuardedState>();
    SendState& state = guarded->state;
    for (const std::int32_t count : {520, 521, 100000, -1, -100000}) {
        state.sendBuffer.count = count;
        state.convertAsc("abc", kChecksumXor);
        state.convertHexNotation("4142", false, kChecksumXor);
        EXPECT_EQ(state.sendBuffer.count, count);
        EXPECT_TRUE(state.sendBuffer.frame().size() <= SendBuffer::kCapacity);
    }
    EXPECT_TRUE(guarded->guardIntact());
}

TEST(Bounds, AssignCutsAtCapacity)
{
    SendBuffer buffer;
    const Bytes data(600, 0x55);
    EXPECT_EQ(buffer.assign(data), 520u);
    EXPECT_EQ(buffer.count, 520);
}

TEST(SendTextArea, KeepsAtMost511CharactersAndEndsAtNul)
{
    SendText text;
    text.assign(std::string(600, 'q'));
    EXPECT_EQ(text.view().size(), 511u);
    EXPECT_EQ(text.chars[511], '\0');
    text.assign("short");
    EXPECT_EQ(text.view(), "short");
}

} // namespace
} // namespace kestrane
