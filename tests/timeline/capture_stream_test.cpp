#include "capture/pcapng.h"
#include "capture/rtac_serial.h"
#include "timeline/capture_stream.h"

#include "support/child_process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace kestrane::timeline {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::int64_t kWall = 1'750'000'000'000'000;  // a wall-clock moment, microseconds

const Bytes kQuery = {0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A};
const Bytes kReply = {0x01, 0x03, 0x02, 0x00, 0x2A, 0x39, 0x9B};

Stamp at(std::int64_t us) { return {kWall + us, us}; }

Entry event(Kind kind, int channel, std::int64_t us, std::uint8_t detail)
{
    Entry e;
    e.kind = kind;
    e.channel = static_cast<std::uint8_t>(channel);
    e.time = at(us);
    e.detail = detail;
    return e;
}

// A Modbus exchange through the relay: the master's query on CH1 in two pieces, a parity error
// on CH2 and CTS dropping while the slave answers on CH2, 20 ms later.
void exchange(Journal& j, std::int64_t base)
{
    j.appendData(1, Direction::Received, at(base), 0, std::span(kQuery).first(5));
    j.appendData(1, Direction::Received, at(base + 3'000), 5, std::span(kQuery).subspan(5));
    j.appendData(2, Direction::Received, at(base + 23'000), 8, std::span(kReply).first(4));
    j.append(event(Kind::LineError, 2, base + 23'500, static_cast<std::uint8_t>(LineError::Parity)));
    j.append(event(Kind::ModemChange, 2, base + 24'000, modem::kDsr));
    j.appendData(2, Direction::Received, at(base + 26'000), 12, std::span(kReply).subspan(4));
}

CaptureStream stream()
{
    CaptureStream s({CaptureLine{"COM1", "/dev/ttyUSB0"}, CaptureLine{"COM2", "rfc2217://bench:3001"}}, "test");
    s.setRule(1, {4000, 1000});
    s.setRule(2, {4000, 1000});
    return s;
}

TEST(CaptureStream, FramesAndEventsBecomePacketsInTimeOrder)
{
    Journal j;
    exchange(j, 0);
    CaptureStream s = stream();
    Bytes out;
    s.header(out);
    s.take(j, out, 26'000);
    // The reply is still open (quiet not yet past its rule): the query alone is out.
    pcapng::File f;
    ASSERT_TRUE(pcapng::read(out, f).ok());
    ASSERT_EQ(f.packets.size(), 1U);
    s.take(j, out, 26'000 + 4'001);
    f = {};
    ASSERT_TRUE(pcapng::read(out, f).ok());
    ASSERT_EQ(f.interfaces.size(), 2U);
    EXPECT_EQ(f.interfaces[1].description, "rfc2217://bench:3001");
    ASSERT_EQ(f.packets.size(), 4U);

    const auto header = [&](std::size_t i) { return *rtac::parseHeader(f.packets[i].data); };
    const auto payload = [&](std::size_t i) { return Bytes(f.packets[i].data.begin() + rtac::kHeaderSize, f.packets[i].data.end()); };
    EXPECT_EQ(f.packets[0].interfaceId, 0U);
    EXPECT_EQ(header(0).event, rtac::Event::DataReceived);
    EXPECT_EQ(payload(0), kQuery);
    EXPECT_EQ(f.packets[0].timestamp, static_cast<std::uint64_t>(kWall));
    EXPECT_EQ(header(0).seconds, kWall / 1'000'000);
    EXPECT_EQ(f.packets[0].direction, pcapng::Direction::Inbound);
    // The reply, then the error and the modem change that fell inside it.
    EXPECT_EQ(f.packets[1].interfaceId, 1U);
    EXPECT_EQ(payload(1), kReply);
    EXPECT_EQ(f.packets[1].timestamp, static_cast<std::uint64_t>(kWall + 23'000));
    EXPECT_EQ(header(1).lines, rtac::line::kDtr | rtac::line::kRts) << "no modem input yet";
    EXPECT_EQ(header(2).event, rtac::Event::ParityError);
    EXPECT_EQ(f.packets[2].timestamp, static_cast<std::uint64_t>(kWall + 23'500));
    EXPECT_EQ(header(3).event, rtac::Event::StatusChange);
    EXPECT_EQ(header(3).lines, rtac::line::kDsr | rtac::line::kDtr | rtac::line::kRts);
    EXPECT_EQ(s.packets(), 4U);
}

TEST(CaptureStream, WhatTheJournalNoLongerHoldsIsMarkedLost)
{
    Journal j(3, 1024);  // keeps three entries
    exchange(j, 0);
    CaptureStream s = stream();
    Bytes out;
    s.take(j, out, 0, true);
    s.finish(out);
    Bytes file;
    s.header(file);
    file.insert(file.end(), out.begin(), out.end());
    pcapng::File f;
    ASSERT_TRUE(pcapng::read(file, f).ok());
    ASSERT_FALSE(f.packets.empty());
    EXPECT_EQ(rtac::parseHeader(f.packets[0].data)->event, rtac::Event::CaptureDataLost);
}

// A line that never goes quiet: its frame goes out in pieces while it lasts, none lost, none
// longer than a packet may be, each at the time its first bytes came.
TEST(CaptureStream, AFrameThatNeverEndsGoesOutInPiecesWhileItLasts)
{
    Journal j;
    CaptureStream s = stream();
    Bytes out, sent;
    s.header(out);
    for (int i = 0; i < 150; ++i) {
        Bytes chunk(1000);
        for (std::size_t k = 0; k < chunk.size(); ++k)
            chunk[k] = static_cast<std::uint8_t>((sent.size() + k) % 251);
        j.appendData(1, Direction::Received, at(i * 1'000), sent.size(), chunk);
        sent.insert(sent.end(), chunk.begin(), chunk.end());
        s.take(j, out, i * 1'000);
    }
    pcapng::File f;
    ASSERT_TRUE(pcapng::read(out, f).ok());
    ASSERT_EQ(f.packets.size(), 2U) << "two whole pieces out while the line still runs";
    EXPECT_EQ(f.packets[0].timestamp, static_cast<std::uint64_t>(kWall));
    EXPECT_EQ(f.packets[1].timestamp, static_cast<std::uint64_t>(kWall + 65'000)) << "the chunk its bytes began in";
    s.take(j, out, 150'000 + 4'001);
    f = {};
    ASSERT_TRUE(pcapng::read(out, f).ok());
    ASSERT_EQ(f.packets.size(), 3U);
    Bytes got;
    for (const pcapng::Packet& p : f.packets) {
        EXPECT_LE(p.data.size(), rtac::kHeaderSize + kMaxPacketPayload);
        EXPECT_EQ(rtac::parseHeader(p.data)->event, rtac::Event::DataReceived);
        got.insert(got.end(), p.data.begin() + rtac::kHeaderSize, p.data.end());
    }
    EXPECT_EQ(f.packets[2].timestamp, static_cast<std::uint64_t>(kWall + 131'000));
    EXPECT_TRUE(got == sent);
    EXPECT_EQ(s.dataBytes(), sent.size());
}

// Wireshark's own reading of what we write: Debian's tshark decodes the payload as Modbus RTU
// and checks each CRC.
TEST(CaptureStream, TsharkDecodesModbusQueriesAndResponsesWithGoodCrcs)
{
    if (!std::filesystem::exists("/usr/bin/tshark"))
        GTEST_SKIP() << "tshark is not installed (scripts/setup.sh installs it)";
    Journal j;
    for (int round = 0; round < 3; ++round)
        exchange(j, round * 100'000);
    CaptureStream s = stream();
    Bytes out;
    s.header(out);
    s.take(j, out, 1'000'000);
    s.finish(out);
    test::TempDir dir;
    const auto path = dir / "modbus.pcapng";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
    test::ChildProcess tshark({"/usr/bin/tshark", "-r", path.string(), "-d", "rtacser.data,mbrtu", "-o",
                               "mbrtu.crc_verification:TRUE", "-T", "fields", "-e", "frame.interface_name", "-e",
                               "rtacser.eventtype", "-e", "mbrtu.crc16.status", "-e", "modbus.func_code", "-E", "separator=,"},
                              dir.path());
    ASSERT_EQ(tshark.waitForExit(std::chrono::seconds(60)), 0) << tshark.output();
    // Each exchange: the query on COM1 and the response on COM2, CRC good (1), function 3; then
    // the parity error and the status change inside the response.
    std::string expected;
    for (int round = 0; round < 3; ++round)
        expected += "COM1,0x02,1,3\nCOM2,0x02,1,3\nCOM2,0x08,,\nCOM2,0x00,,\n";
    std::string got = tshark.output();
    if (got.rfind("Running as user", 0) == 0)  // tshark's warning to root, on the same stream
        got.erase(0, got.find('\n') + 1);
    EXPECT_EQ(got, expected);
}

} // namespace
} // namespace kestrane::timeline
