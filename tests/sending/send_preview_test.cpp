// What the send dialogs show before a send: the frame's bytes (as the composition makes them),
// the part each byte belongs to, and how each typed character was read.
#include "sending/send_preview.h"

#include <gtest/gtest.h>

namespace kestrane {
namespace {

using Bytes = std::vector<std::uint8_t>;
using U = CharUse;
using P = FramePart;

TEST(SendPreview, MarksWhatTheHexNotationReadsAsZeroOrIgnores)
{
    struct Case {
        const char* text;
        Bytes bytes;
        std::vector<U> uses;
    };
    const Case cases[] = {
        {"hello", {0x00, 0x00}, {U::ReadAsZero, U::Ignored, U::ReadAsZero, U::Ignored, U::Ignored}},
        {"02 03", {0x02, 0x00}, {U::Sent, U::Sent, U::ReadAsZero, U::Ignored, U::Ignored}},  // no separators
        {"1G", {0x01}, {U::Sent, U::Ignored}},
        {"\"AB\"0d", {0x41, 0x42, 0x0D}, {U::Quote, U::Sent, U::Sent, U::Quote, U::Sent, U::Sent}},
    };
    for (const Case& c : cases) {
        const FramePreview p = previewFrame(c.text, TextForm::HexNotation, {});
        EXPECT_EQ(p.bytes, c.bytes) << c.text;
        EXPECT_EQ(p.uses, c.uses) << c.text;
        EXPECT_EQ(p.hasMisread(), c.text[0] != '"') << c.text;
    }
    EXPECT_EQ(previewFrame("hello", TextForm::HexNotation, {}).misread, (std::vector<bool>{true, true}));
    // ASC takes every character; beyond 511 nothing goes out.
    const FramePreview cut = previewFrame(std::string(600, 'A'), TextForm::Asc, {});
    EXPECT_EQ(cut.bytes.size(), 511u);
    EXPECT_EQ(cut.uses[510], U::Sent);
    EXPECT_EQ(cut.uses[511], U::Ignored);
}

TEST(SendPreview, NamesEveryPartOfTheComposedFrame)
{
    FrameOptions o;
    o.startOn = o.stopOn = o.checksumOn = o.endOn = true;
    o.startCharHex = {'0', '2', 0, 0};
    o.stopCharHex = {'0', '3', 0, 0};
    o.endCharHex = {'0', 'D', 0, 0};
    const FramePreview x = previewFrame("\"AB\"", TextForm::HexNotation, o);
    EXPECT_EQ(x.bytes, (Bytes{0x02, 0x41, 0x42, 0x03, 0x03, 0x0D}));
    EXPECT_EQ(x.parts, (std::vector<P>{P::Start, P::Data, P::Data, P::Stop, P::Checksum, P::End}));
    o.checksumMethod = kChecksumCrc16;  // always two raw bytes, low first
    const FramePreview crc = previewFrame("123456789", TextForm::Asc, o);
    EXPECT_EQ(Bytes(crc.bytes.end() - 4, crc.bytes.end()), (Bytes{0x03, 0x37, 0x4B, 0x0D}));
    EXPECT_EQ(crc.parts[crc.parts.size() - 2], P::Checksum);
    const FramePreview empty = previewFrame("", TextForm::HexNotation, o);  // no checksum without data
    EXPECT_EQ(empty.parts, (std::vector<P>{P::Start, P::Stop, P::End}));
}

} // namespace
} // namespace kestrane
