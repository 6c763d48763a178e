// What the send dialogs show before a send: the frame's bytes (as the composition makes them),
// the part each byte belongs to, and how each typed character was read.
#include "sending/send_preview.h"

#include <gtest/gtest.h>

namespace kestrane {
namespace {

using Bytes = std::vector<std::uint8_t>;
using U = CharUse;
using P = FramePart;

FrameOptions framed(std::int32_t method, std::int32_t form)
{
    FrameOptions o;
    o.startOn = o.stopOn = o.checksumOn = o.endOn = true;
    o.startCharHex = {'0', '2', 0, 0};
    o.stopCharHex = {'0', '3', 0, 0};
    o.endCharHex = {'0', 'D', 0, 0};
    o.checksumMethod = method;
    o.checksumOutputForm = form;
    return o;
}

TEST(SendPreview, PlainWordsInHexNotationAreSeenAsZerosAndDroppedLetters)
{
    const FramePreview p = previewFrame("hello", TextForm::HexNotation, {});
    EXPECT_EQ(p.bytes, (Bytes{0x00, 0x00}));
    EXPECT_EQ(p.misread, (std::vector<bool>{true, true}));
    EXPECT_EQ(p.uses, (std::vector<U>{U::ReadAsZero, U::Ignored, U::ReadAsZero, U::Ignored, U::Ignored}));
    EXPECT_TRUE(p.hasMisread());

    // Spaces are no separators: "02 03" reads 02, " 0" as 00, and drops the 3.
    const FramePreview spaced = previewFrame("02 03", TextForm::HexNotation, {});
    EXPECT_EQ(spaced.bytes, (Bytes{0x02, 0x00}));
    EXPECT_EQ(spaced.uses, (std::vector<U>{U::Sent, U::Sent, U::ReadAsZero, U::Ignored, U::Ignored}));
    // A digit and a non-digit: the digit's value, the other character ignored.
    const FramePreview oneDigit = previewFrame("1G", TextForm::HexNotation, {});
    EXPECT_EQ(oneDigit.bytes, (Bytes{0x01}));
    EXPECT_EQ(oneDigit.uses, (std::vector<U>{U::Sent, U::Ignored}));
    // Quotes and clean pairs: nothing misread.
    const FramePreview clean = previewFrame("\"AB\"0d", TextForm::HexNotation, {});
    EXPECT_EQ(clean.bytes, (Bytes{0x41, 0x42, 0x0D}));
    EXPECT_EQ(clean.uses, (std::vector<U>{U::Quote, U::Sent, U::Sent, U::Quote, U::Sent, U::Sent}));
    EXPECT_FALSE(clean.hasMisread());
}

TEST(SendPreview, TheFrameIsWhatTheSendComposesWithEveryPartNamed)
{
    // Start 02, stop 03, XOR as one byte, end 0D around "AB": 02 41 42 03 03 0D.
    const FramePreview x = previewFrame("\"AB\"", TextForm::HexNotation, framed(kChecksumXor, kChecksumOneByte));
    EXPECT_EQ(x.bytes, (Bytes{0x02, 0x41, 0x42, 0x03, 0x03, 0x0D}));
    EXPECT_EQ(x.parts, (std::vector<P>{P::Start, P::Data, P::Data, P::Stop, P::Checksum, P::End}));
    EXPECT_EQ(x.misread, std::vector<bool>(6, false));
    // Byte sum as two characters; CRC16 always two raw bytes.
    const FramePreview sum = previewFrame("AB", TextForm::Asc, framed(kChecksumSum, kChecksumTwoDigits));
    EXPECT_EQ(sum.bytes, (Bytes{0x02, 0x41, 0x42, 0x03, '8', '3', 0x0D}));
    EXPECT_EQ(sum.parts[4], P::Checksum);
    EXPECT_EQ(sum.parts[5], P::Checksum);
    const FramePreview crc = previewFrame("123456789", TextForm::Asc, framed(kChecksumCrc16, kChecksumTwoDigits));
    EXPECT_EQ(Bytes(crc.bytes.end() - 3, crc.bytes.end()), (Bytes{0x37, 0x4B, 0x0D}));
    // An empty text: the start and end characters (and the stop), no checksum.
    const FramePreview empty = previewFrame("", TextForm::HexNotation, framed(kChecksumXor, kChecksumOneByte));
    EXPECT_EQ(empty.bytes, (Bytes{0x02, 0x03, 0x0D}));
    EXPECT_EQ(empty.parts, (std::vector<P>{P::Start, P::Stop, P::End}));
}

TEST(SendPreview, AscSendsEveryCharacterAndTheLimitHolds)
{
    const FramePreview p = previewFrame("hi 'x'", TextForm::Asc, {});
    EXPECT_EQ(p.bytes, (Bytes{'h', 'i', ' ', '\'', 'x', '\''}));
    EXPECT_FALSE(p.hasMisread());
    // Beyond 511 characters nothing goes out, and the preview says so.
    const std::string longText(600, 'A');
    const FramePreview cut = previewFrame(longText, TextForm::Asc, {});
    EXPECT_EQ(cut.bytes.size(), 511u);
    EXPECT_EQ(cut.uses[510], U::Sent);
    EXPECT_EQ(cut.uses[511], U::Ignored);
}

} // namespace
} // namespace kestrane
