// kestrane-log and captures: what the timeline's writer makes prints exactly in every form with
// its times and events; damaged and hostile captures are refused with the byte where they break;
// a log page becomes a capture with its bytes, channels, directions and the times its stamps hold.
#include "capture/pcapng.h"
#include "capture/rtac_serial.h"
#include "support/child_process.h"
#include "support/temp_dir.h"
#include "timeline/capture_stream.h"
#include "traffic/log_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>

namespace kestrane {
namespace {

using namespace std::chrono_literals;
using test::ChildProcess;
using test::TempDir;
using Bytes = std::vector<std::uint8_t>;

constexpr std::int64_t kMoment = 1749990896'123456;  // 2025-06-15 12:34:56.123456 UTC

// Runs kestrane-log in UTC; its exit code in `code` (else it must succeed).
std::string run(std::vector<std::string> args, int* code = nullptr)
{
    args.insert(args.begin(), {"/usr/bin/env", "TZ=UTC", KESTRANE_PROGRAM_DIR "/kestrane-log"});
    ChildProcess p(args);
    const int exit = p.waitForExit();
    if (code)
        *code = exit;
    else
        EXPECT_EQ(exit, 0) << p.output();
    return p.output();
}

timeline::Entry event(timeline::Kind kind, int channel, std::int64_t us, std::uint8_t detail)
{
    timeline::Entry e;
    e.kind = kind;
    e.channel = static_cast<std::uint8_t>(channel);
    e.time = {kMoment + us, us};
    e.detail = detail;
    return e;
}

TEST(LogCapture, WhatTheTimelineWritesPrintsExactlyInEveryForm)
{
    using namespace timeline;
    Journal j;
    const Bytes at = {'A', 'T', '\r'}, ok = {'O', 'K', '\r', '\n'}, nichi = {0x93, 0xFA, 'x'};
    j.appendData(1, Direction::Sent, {kMoment, 0}, 0, at);
    j.appendData(1, Direction::Received, {kMoment + 20'113, 20'113}, 3, ok);
    j.append(event(Kind::LineError, 1, 25'000, static_cast<std::uint8_t>(LineError::Parity)));
    j.append(event(Kind::ModemChange, 2, 30'000, modem::kDsr | modem::kCts));
    j.appendData(2, Direction::Received, {kMoment + 40'000, 40'000}, 7, nichi);
    CaptureStream stream({CaptureLine{"COM1", "/dev/ttyUSB0"}, CaptureLine{"COM2", "rfc2217://bench:3001"}}, "test");
    Bytes bytes;
    stream.header(bytes);
    stream.take(j, bytes, 1'000'000, true);
    stream.finish(bytes);
    TempDir dir;
    const auto file = dir / "known.pcapng";
    test::writeFileBytes(file, bytes);

    const std::string heads = "# CH1 = COM1: /dev/ttyUSB0\n# CH2 = COM2: rfc2217://bench:3001\n";
    EXPECT_EQ(run({"--width", "2", file.string()}),
              heads + "2025-06-15 12:34:56.123456 CH1 SEND |AT\n"
                      "                           CH1 SEND |␍\n"
                      "2025-06-15 12:34:56.143569 CH1 READ |OK\n"
                      "                           CH1 READ |␍␊\n"
                      "2025-06-15 12:34:56.148456 CH1 LINE |parity error; lines RTS DTR\n"
                      "2025-06-15 12:34:56.153456 CH2 LINE |modem lines; lines CTS DSR RTS DTR\n"
                      "2025-06-15 12:34:56.163456 CH2 READ |日\n"
                      "                           CH2 READ |x\n");
    EXPECT_EQ(run({"--hex", file.string()}),
              heads + "2025-06-15 12:34:56.123456 CH1 SEND |41 54 0D\n"
                      "2025-06-15 12:34:56.143569 CH1 READ |4F 4B 0D 0A\n"
                      "2025-06-15 12:34:56.148456 CH1 LINE |parity error; lines RTS DTR\n"
                      "2025-06-15 12:34:56.153456 CH2 LINE |modem lines; lines CTS DSR RTS DTR\n"
                      "2025-06-15 12:34:56.163456 CH2 READ |93 FA 78\n");
    const std::string timed = run({"--time", file.string()});
    EXPECT_NE(timed.find("2025-06-15 12:34:56.123456 +0.000000 CH1 SEND |AT␍\n"
                         "2025-06-15 12:34:56.143569 +0.020113 CH1 READ |OK␍␊\n"),
              std::string::npos) << timed;
    EXPECT_EQ(run({"--csv", file.string()}), "time,channel,direction,bytes,event,lines\n"
                                             "2025-06-15 12:34:56.123456,1,sent,41 54 0D,,RTS DTR\n"
                                             "2025-06-15 12:34:56.143569,1,received,4F 4B 0D 0A,,RTS DTR\n"
                                             "2025-06-15 12:34:56.148456,1,,,parity error,RTS DTR\n"
                                             "2025-06-15 12:34:56.153456,2,,,modem lines,CTS DSR RTS DTR\n"
                                             "2025-06-15 12:34:56.163456,2,received,93 FA 78,,CTS DSR RTS DTR\n");
}

TEST(LogCapture, DamagedAndHostileCapturesAreRefusedWithTheByteWhereTheyBreak)
{
    // Kept as regression inputs of the capture reader's check.
    const std::filesystem::path inputs = KESTRANE_FUZZ_DIR "/regressions/pcapng";
    const std::pair<const char*, const char*> kCases[] = {
        {"cut_inside_a_packet", "is not a whole capture: at byte 100, the file ends inside a block"},
        {"block_of_4_gib", "is not a whole capture: at byte 28, a block longer than 16 MiB"},
        {"packet_longer_than_its_block", "is not a whole capture: at byte 120, a packet longer than its block"},
        {"interface_option_past_its_block", "is not a whole capture: at byte 28, an interface option runs past its block"},
    };
    for (const auto& [name, reason] : kCases) {
        int code = 0;
        const std::string out = run({(inputs / name).string()}, &code);
        EXPECT_EQ(code, 1) << name << ": " << out;
        EXPECT_EQ(out, "kestrane-log: " + (inputs / name).string() + " " + reason + "\n") << name;
    }
    TempDir dir;
    test::writeFileBytes(dir / "notes.pcapng", Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!', '\n'});
    int code = 0;
    EXPECT_NE(run({(dir / "notes.pcapng").string()}, &code).find("at byte 0, not a pcapng file"), std::string::npos);
    EXPECT_EQ(code, 1);
}

// A log of CH1 sending AT CR and receiving OK CR LF, CH2 sending ENQ and receiving x, CH1 receiving hi.
std::filesystem::path writeLog(const TempDir& dir, const std::string& name,
                               const std::vector<std::pair<char, std::string>>& pieces, std::time_t written)
{
    std::array<std::uint8_t, kTrafficPlaneSize> tags{}, data{};
    std::size_t n = 0;
    for (const auto& [tag, bytes] : pieces)
        for (const char c : bytes) {
            tags[n] = static_cast<std::uint8_t>(tag);
            data[n++] = static_cast<std::uint8_t>(c);
        }
    const auto path = dir / name;
    EXPECT_TRUE(writeLogFile(path, static_cast<std::int32_t>(n), tags, data));
    const timespec times[2] = {{written, 0}, {written, 0}};
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
    return path;
}

struct Seen {
    std::uint32_t interfaceId;
    pcapng::Direction direction;
    rtac::Event event;
    std::uint64_t time;
    std::string bytes;
    bool operator==(const Seen&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Seen& s)
{
    return os << "{CH" << s.interfaceId + 1 << " " << static_cast<int>(s.direction) << " " << static_cast<int>(s.event)
              << " " << s.time << " \"" << s.bytes << "\"}";
}

std::vector<Seen> convert(const TempDir& dir, const std::filesystem::path& log, pcapng::File& file,
                          std::vector<std::string> options = {})
{
    const auto out = dir / (log.stem().string() + ".pcapng");
    options.insert(options.end(), {"--to-pcapng", out.string(), log.string()});
    run(options);
    file = {};
    EXPECT_TRUE(pcapng::read(test::readFileBytes(out), file).ok());
    std::vector<Seen> seen;
    for (const pcapng::Packet& p : file.packets)
        seen.push_back({p.interfaceId, p.direction, rtac::parseHeader(p.data)->event, p.timestamp,
                        std::string(p.data.begin() + rtac::kHeaderSize, p.data.end())});
    return seen;
}

TEST(LogCapture, ALogBecomesACaptureWithItsBytesChannelsDirectionsAndTheTimesItsStampsHold)
{
    using enum pcapng::Direction;
    using enum rtac::Event;
    TempDir dir;
    constexpr std::time_t kWritten = 1750420800;  // 2025-06-20 12:00:00 UTC
    constexpr std::uint64_t kFirst = 1749978307;  // 2025-06-15 09:05:07 UTC, the first stamp
    const auto stamped = writeLog(dir, "stamped.LOG",
                                  {{'0', "AT\r"}, {'1', "<15d9:5,7>OK\r\n"}, {'2', "\x05"}, {'3', "<15D9:5,8>x"},
                                   {'1', "<15d9:6,0>hi"}},
                                  kWritten);
    pcapng::File file;
    // Bytes before the first stamp take its time; the stamps are not line bytes.
    EXPECT_EQ(convert(dir, stamped, file), (std::vector<Seen>{{0, Outbound, DataSent, kFirst, "AT\r"},
                                                              {0, Inbound, DataReceived, kFirst, "OK\r\n"},
                                                              {1, Outbound, DataSent, kFirst, "\x05"},
                                                              {1, Inbound, DataReceived, kFirst + 1, "x"},
                                                              {0, Inbound, DataReceived, kFirst + 53, "hi"}}));
    ASSERT_EQ(file.interfaces.size(), 2U);
    EXPECT_EQ(file.interfaces[0].tsResolution, 0) << "whole seconds: nothing finer than the log holds";
    EXPECT_EQ(file.interfaces[1].description, "stamped.LOG; times to the second, from the log's time stamps");
    EXPECT_EQ(rtac::parseHeader(file.packets[3].data)->seconds, kFirst + 1);

    // A stamp on the 31st, written on March 2nd: the last month with a 31st before it.
    const auto monthEnd = writeLog(dir, "monthEnd.LOG", {{'1', "<31d23:59,59>z"}}, 1740902400);
    EXPECT_EQ(convert(dir, monthEnd, file)[0].time, 1738367999U);  // 2025-01-31 23:59:59

    // Without stamps no times; recorded as a line monitor, tag '0' is what CH2 received.
    const auto plain = writeLog(dir, "plain.LOG", {{'1', "ab"}, {'0', "cd"}}, kWritten);
    EXPECT_EQ(convert(dir, plain, file, {"--monitor"}),
              (std::vector<Seen>{{0, Inbound, DataReceived, 0, "ab"}, {1, Inbound, DataReceived, 0, "cd"}}));
    EXPECT_EQ(file.interfaces[0].description, "plain.LOG; no times in the log");

    // The capture reads back in kestrane-log too; a capture is not converted again; a file that
    // cannot be written leaves nothing behind.
    EXPECT_NE(run({(dir / "stamped.pcapng").string()}).find("2025-06-15 09:05:08 CH2 READ |x\n"), std::string::npos);
    int code = 0;
    run({"--to-pcapng", (dir / "again.pcapng").string(), (dir / "stamped.pcapng").string()}, &code);
    EXPECT_EQ(code, 1);
    EXPECT_NE(run({"--to-pcapng", (dir / "none/x.pcapng").string(), stamped.string()}, &code).find("cannot write"),
              std::string::npos);
    EXPECT_EQ(code, 1);
    EXPECT_FALSE(std::filesystem::exists(dir / "again.pcapng"));
}

} // namespace
} // namespace kestrane
