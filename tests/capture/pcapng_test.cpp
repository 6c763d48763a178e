#include "capture/pcapng.h"
#include "capture/rtac_serial.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace kestrane::pcapng {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes twoLineCapture()
{
    Bytes out;
    appendSectionHeader(out, "Kestrane");
    appendInterface(out, {kLinkTypeRtacSerial, 0, "COM1", "/dev/ttyUSB0", kMicroseconds});
    appendInterface(out, {kLinkTypeRtacSerial, 0, "COM2", "", kMicroseconds});
    // Payloads of every length modulo 4, so each padding is written and skipped.
    for (std::uint8_t n = 0; n < 6; ++n) {
        Bytes data(n, static_cast<std::uint8_t>(0xF0 + n));
        appendPacket(out, n % 2, 1'700'000'000'000'000ULL + n, n % 3 == 0 ? Direction::Unknown : n % 3 == 1 ? Direction::Inbound : Direction::Outbound, data);
    }
    return out;
}

TEST(Pcapng, WrittenBlocksReadBackWhole)
{
    const Bytes bytes = twoLineCapture();
    ASSERT_EQ(bytes.size() % 4, 0U);
    File file;
    const ReadError e = read(bytes, file);
    ASSERT_TRUE(e.ok()) << e.reason << " at " << e.offset;
    ASSERT_EQ(file.interfaces.size(), 2U);
    EXPECT_EQ(file.interfaces[0].name, "COM1");
    EXPECT_EQ(file.interfaces[0].description, "/dev/ttyUSB0");
    EXPECT_EQ(file.interfaces[1].description, "");
    EXPECT_EQ(file.interfaces[1].unitsPerSecond(), 1'000'000U);
    ASSERT_EQ(file.packets.size(), 6U);
    for (std::uint8_t n = 0; n < 6; ++n) {
        const Packet& p = file.packets[n];
        EXPECT_EQ(p.interfaceId, n % 2U);
        EXPECT_EQ(p.timestamp, 1'700'000'000'000'000ULL + n);
        EXPECT_EQ(p.data, Bytes(n, static_cast<std::uint8_t>(0xF0 + n)));
        EXPECT_EQ(p.originalLength, n);
        EXPECT_EQ(static_cast<int>(p.direction), n % 3);
    }
}

TEST(Pcapng, PacketBlockLayoutIsTheFormats)
{
    // One received byte 0x41 at 2^32 + 5 microseconds on interface 1: every field at its offset.
    Bytes out;
    appendPacket(out, 1, (1ULL << 32) + 5, Direction::Inbound, std::vector<std::uint8_t>{0x41});
    const Bytes expected = {
        6, 0, 0, 0, 48, 0, 0, 0,   // type, total length
        1, 0, 0, 0,                // interface
        1, 0, 0, 0, 5, 0, 0, 0,    // time: high word, low word
        1, 0, 0, 0, 1, 0, 0, 0,    // captured, original length
        0x41, 0, 0, 0,             // data, padded
        2, 0, 4, 0, 1, 0, 0, 0,    // epb_flags: inbound
        0, 0, 0, 0,                // end of options
        48, 0, 0, 0,
    };
    EXPECT_EQ(out, expected);
}

TEST(Pcapng, BigEndianSectionsAndSeveralSectionsAreRead)
{
    // A big-endian section with one interface and one packet, then one of ours.
    const Bytes be = {
        0x0A, 0x0D, 0x0D, 0x0A, 0, 0, 0, 28, 0x1A, 0x2B, 0x3C, 0x4D, 0, 1, 0, 0,
        0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 28,
        0, 0, 0, 1, 0, 0, 0, 20, 0, 250, 0, 0, 0, 0, 0, 0, 0, 0, 0, 20,
        0, 0, 0, 6, 0, 0, 0, 36, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9, 0, 0, 0, 2, 0, 0, 0, 2,
        0xAB, 0xCD, 0, 0, 0, 0, 0, 36,
    };
    Bytes bytes = be;
    const Bytes ours = twoLineCapture();
    bytes.insert(bytes.end(), ours.begin(), ours.end());
    File file;
    ASSERT_TRUE(read(bytes, file).ok());
    ASSERT_EQ(file.interfaces.size(), 3U);
    ASSERT_EQ(file.packets.size(), 7U);
    EXPECT_EQ(file.packets[0].timestamp, 9U);
    EXPECT_EQ(file.packets[0].data, (Bytes{0xAB, 0xCD}));
    // Interface numbers count from each section's first interface.
    EXPECT_EQ(file.packets[1].interfaceId, 1U);
    EXPECT_EQ(file.packets[2].interfaceId, 2U);
}

TEST(Pcapng, DamageIsRefusedWhereItIsAndKeepsWhatCameBefore)
{
    const Bytes good = twoLineCapture();
    File whole;
    ASSERT_TRUE(read(good, whole).ok());
    const std::size_t lastBlock = good.size() - good[good.size() - 4];  // the trailing length of the last block

    {   // Cut short (a capture that crashed): five packets and the place of the sixth.
        File file;
        const ReadError e = read(std::span(good).first(good.size() - 3), file);
        EXPECT_EQ(e.offset, lastBlock);
        EXPECT_EQ(file.packets.size(), 5U);
    }
    {   // Trailing length differs from the leading one.
        Bytes bad = good;
        bad[bad.size() - 4] ^= 4;
        File file;
        EXPECT_EQ(read(bad, file).offset, good.size() - 4);
    }
    {   // A packet of an interface never described.
        Bytes bad = good;
        bad[lastBlock + 8] = 2;
        File file;
        EXPECT_FALSE(read(bad, file).ok());
        EXPECT_EQ(file.packets.size(), 5U);
    }
    {   // A captured length past the block.
        Bytes bad = good;
        bad[lastBlock + 20] = 40;
        File file;
        EXPECT_EQ(read(bad, file).offset, lastBlock + 20);
    }
    for (const Bytes& notOne : {Bytes{}, Bytes{1, 0, 0, 0, 12, 0, 0, 0, 12, 0, 0, 0}}) {
        File file;
        EXPECT_FALSE(read(notOne, file).ok());
    }
}

TEST(RtacSerial, HeaderIsBigEndianAndNamesItsEvents)
{
    Bytes out;
    rtac::appendHeader(out, {0x01020304, 999'999, rtac::Event::ParityError, rtac::line::kCts | rtac::line::kDtr});
    EXPECT_EQ(out, (Bytes{1, 2, 3, 4, 0, 0x0F, 0x42, 0x3F, 8, 0x11, 0, 0}));
    const auto h = rtac::parseHeader(out);
    ASSERT_TRUE(h);
    EXPECT_EQ(h->microseconds, 999'999U);
    EXPECT_EQ(h->event, rtac::Event::ParityError);
    EXPECT_FALSE(rtac::parseHeader(std::span(out).first(11)));
    EXPECT_STREQ(rtac::eventName(1), "DATA_TX_START");
    EXPECT_STREQ(rtac::eventName(10), "SERIAL_OVERFLOW_EVENT");
    EXPECT_STREQ(rtac::eventName(11), "UNKNOWN");
}

} // namespace
} // namespace kestrane::pcapng
