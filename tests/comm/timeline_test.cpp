// The line's timeline as the program writes it: bytes written to pty pairs at known moments come
// back in the journal with those moments and in their order across CH1 and CH2, sent frames
// with the time of each piece, and what the program and the user did on a line, in the record's
// order. Modem lines need the fake port.
#include "app/app_core.h"
#include "app/capture_save.h"
#include "capture/pcapng.h"
#include "capture/rtac_serial.h"
#include "remote/remote_serial_port.h"
#include "comm/channel.h"
#include "settings/line_status.h"
#include "support/app/pty_core.h"
#include "support/child_process.h"
#include "support/eventually.h"
#include "support/fake_serial_port.h"
#include "support/scripted_com_port_server.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <sstream>
#include <thread>

namespace kestrane {
namespace {

using namespace std::chrono_literals;
using test::eventually;
using test::FakeSerialPort;
using test::PtyCore;
using timeline::Action;
using timeline::Entry;
using timeline::Kind;

std::vector<Entry> entriesOf(const timeline::Journal& journal, Kind kind)
{
    std::vector<Entry> all, out;
    journal.copySince(0, all);
    std::copy_if(all.begin(), all.end(), std::back_inserter(out), [&](const Entry& e) { return e.kind == kind; });
    return out;
}

std::vector<std::pair<int, Action>> actionsOf(const timeline::Journal& journal)
{
    std::vector<std::pair<int, Action>> out;
    for (const Entry& e : entriesOf(journal, Kind::Action))
        out.emplace_back(e.channel, static_cast<Action>(e.detail));
    return out;
}

std::int64_t monoUs(std::chrono::steady_clock::time_point t)
{
    return std::chrono::duration_cast<std::chrono::microseconds>(t.time_since_epoch()).count();
}

void readAtOnce(Settings& s)
{
    const CommTimeouts atOnce{MAXDWORD, 0, 0, 10, 1000};
    s.lineParams.ch1Timeouts = atOnce;
    s.lineParams.ch2Timeouts = atOnce;
}

// Bytes written one at a time, alternately to CH1's and CH2's far ends, `gap` apart: each comes
// back in a data entry of its own channel, in the order written, never stamped before it was
// written, the median byte within kMedianLate after it and none later than kLate. (A time is
// when the program took the bytes from the driver: the receive thread's wake-up is what makes it
// late, and on a loaded machine a thread may wait several milliseconds for a core.)
TEST(Timeline, BytesWrittenAtKnownMomentsComeBackWithThoseMomentsInTheirOrder)
{
    constexpr std::int64_t kMedianLateUs = 1000;  // the stated accuracy
    constexpr std::int64_t kLateUs = 50'000;
    for (const auto gap : {10ms, 1ms}) {
        SCOPED_TRACE(gap.count());
        PtyCore p(Ch2Mode::Independent, readAtOnce);
        constexpr int kBytes = 100;
        std::vector<std::int64_t> written;
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < kBytes; ++i) {
            std::this_thread::sleep_until(start + i * gap);
            written.push_back(monoUs(std::chrono::steady_clock::now()));
            (i % 2 == 0 ? p.far1 : p.far2).send(std::vector<std::uint8_t>{static_cast<std::uint8_t>(i)});
        }
        ASSERT_TRUE(eventually([&] { return p.core->traffic().storedLength() == kBytes; }));
        const auto data = entriesOf(p.core->journal(), Kind::Data);
        // A byte read together with the next one (a late wake-up) shares its entry; order holds.
        std::vector<std::uint8_t> bytes;
        std::vector<std::int64_t> late;
        for (const Entry& e : data) {
            std::vector<std::uint8_t> b;
            ASSERT_TRUE(p.core->journal().bytes(e, b));
            for (const std::uint8_t byte : b) {
                EXPECT_EQ(e.channel, byte % 2 == 0 ? 1 : 2) << int(byte);
                EXPECT_GE(e.time.monoUs, written[byte]) << "stamped before it was written: " << int(byte);
                late.push_back(e.time.monoUs - written[byte]);
                bytes.push_back(byte);
            }
        }
        // Across the channels two receive threads race for bytes a millisecond apart; each keeps
        // its own order, and bytes 10 ms apart keep theirs across both.
        for (int channel : {1, 2}) {
            std::vector<std::uint8_t> own, expected;
            for (const std::uint8_t byte : bytes)
                if (byte % 2 == channel - 1)
                    own.push_back(byte);
            for (int i = channel - 1; i < kBytes; i += 2)
                expected.push_back(static_cast<std::uint8_t>(i));
            EXPECT_EQ(own, expected) << "CH" << channel;
        }
        if (gap >= 10ms) {
            EXPECT_TRUE(std::is_sorted(bytes.begin(), bytes.end())) << "order across CH1 and CH2";
            EXPECT_EQ(bytes.size(), static_cast<std::size_t>(kBytes));
        }
        std::sort(late.begin(), late.end());
        ASSERT_EQ(late.size(), static_cast<std::size_t>(kBytes));
        EXPECT_LE(late[late.size() / 2], kMedianLateUs) << "the median byte's time after its write (µs)";
        EXPECT_LE(late.back(), kLateUs);
        // The wall clock moves with the monotonic one.
        EXPECT_NEAR(static_cast<double>(data.back().time.wallUs - data.front().time.wallUs),
                    static_cast<double>(data.back().time.monoUs - data.front().time.monoUs), 2000.0);
    }
}

// A frame goes out in pieces of 100 bytes, each journalled with the moment it was handed to the
// device, at the bytes the record holds; in a line-monitor mode the record leaves it out but the
// journal keeps it, at the record's length.
TEST(Timeline, SentFramesAreJournalledPieceByPieceWhereTheRecordHoldsThem)
{
    for (const int mode : {Ch2Mode::Independent, Ch2Mode::MonitorRelay}) {
        PtyCore p(mode);
        p.far1.send("rx");
        ASSERT_TRUE(eventually([&] { return p.core->traffic().storedLength() == 2; }));
        std::vector<std::uint8_t> frame(250);
        for (std::size_t i = 0; i < frame.size(); ++i)
            frame[i] = static_cast<std::uint8_t>('A' + i % 26);
        const auto before = monoUs(std::chrono::steady_clock::now());
        ASSERT_EQ(p.core->transmit(1, frame), TransmitResult::Transmitted);
        const auto after = monoUs(std::chrono::steady_clock::now());
        std::vector<Entry> sent;
        for (const Entry& e : entriesOf(p.core->journal(), Kind::Data))
            if (e.direction == timeline::Direction::Sent)
                sent.push_back(e);
        ASSERT_EQ(sent.size(), 3u);
        for (std::size_t i = 0; i < sent.size(); ++i) {
            EXPECT_EQ(sent[i].count, i < 2 ? 100u : 50u);
            EXPECT_EQ(sent[i].record, 2u + (mode == Ch2Mode::Independent ? i * 100 : 0));
            EXPECT_GE(sent[i].time.monoUs, i == 0 ? before : sent[i - 1].time.monoUs);
            EXPECT_LE(sent[i].time.monoUs, after);
            std::vector<std::uint8_t> b;
            ASSERT_TRUE(p.core->journal().bytes(sent[i], b));
            EXPECT_TRUE(std::equal(b.begin(), b.end(), frame.begin() + static_cast<std::ptrdiff_t>(i * 100)));
            if (mode == Ch2Mode::Independent) {
                const auto at = p.core->traffic().recordIndex(sent[i].record);
                ASSERT_TRUE(at.has_value());
                EXPECT_EQ(p.core->traffic().dataAt(*at), frame[i * 100]);
            }
        }
    }
}

// What the program and the user do on a line, in order, with the record's length at that moment:
// the open (port, its line, the purge), line control from the line-status window's buttons,
// a purge, settings applied, the close. Also what a port reports of its modem lines.
TEST(Timeline, ActionsOnALineAreNotedInOrderAtTheRecordsLength)
{
    test::TempDir dir;
    FakeSerialPort* fake = nullptr;
    AppCore core(dir.path(), [&](int, OpenError&) {
        auto port = std::make_unique<FakeSerialPort>();
        fake = port.get();
        return std::unique_ptr<SerialPort>(std::move(port));
    });
    core.settings().lineParams.ch1Dcb.BaudRate = 19200;
    core.traffic().clearTraffic();
    ASSERT_EQ(core.channels().openChannel(1, 4), OpenResult::Opened);
    fake->receive("abc");
    ASSERT_TRUE(eventually([&] { return core.traffic().storedLength() == 3; }));

    LineStatusProbe probe(core.channels(), core.lineStatus, 1);
    for (const auto& button : kLineControlButtons)
        EXPECT_EQ(probe.lineControl(button.escape), 0) << button.label;
    EXPECT_EQ(core.channels().purge(1, PURGE_RXCLEAR), 0);
    EXPECT_TRUE(core.channels().apply(1).ok());
    // A loss the port reports with nothing queued: a line error of its own, with the bytes lost.
    fake->lineState(timeline::LineError::Overrun, 5);
    ASSERT_TRUE(eventually([&] { return !entriesOf(core.journal(), Kind::LineError).empty(); }));
    const Entry lost = entriesOf(core.journal(), Kind::LineError)[0];
    EXPECT_EQ(static_cast<timeline::LineError>(lost.detail), timeline::LineError::Overrun);
    EXPECT_EQ(lost.value, 5u) << "bytes lost before here";
    core.closeChannel(1);
    EXPECT_EQ(core.channels().escape(1, SETDTR), ENODEV) << "a closed channel notes nothing";

    using A = Action;
    const std::vector<std::pair<int, Action>> expected = {
        {1, A::Opened}, {1, A::SettingsApplied}, {1, A::Purge},
        {1, A::DtrOff}, {1, A::DtrOn}, {1, A::RtsOff}, {1, A::RtsOn}, {1, A::Xoff}, {1, A::Xon}, {1, A::BreakOn},
        {1, A::BreakOff}, {1, A::Purge}, {1, A::SettingsApplied}, {1, A::Purge}, {1, A::Closed}};
    EXPECT_EQ(actionsOf(core.journal()), expected);
    const auto actions = entriesOf(core.journal(), Kind::Action);
    EXPECT_EQ(actions[0].value, 4u) << "the COM number";
    EXPECT_EQ(actions[1].value, 19200u) << "the rate";
    EXPECT_EQ(actions[0].record, 0u);
    EXPECT_EQ(actions[3].record, 3u) << "after the bytes received before it";
    EXPECT_EQ(actions[11].value, PURGE_RXCLEAR);
    for (std::size_t i = 1; i < actions.size(); ++i)
        EXPECT_GE(actions[i].time.monoUs, actions[i - 1].time.monoUs);

    // A clear forgets them all.
    core.traffic().clearTraffic();
    EXPECT_EQ(core.journal().size(), 0u);
}

// A Modbus RTU master on CH1's far end and a slave on CH2's, through the relay (pymodbus makes
// and checks every message): each request and each reply is one frame of its channel, with
// exactly its bytes, and the reply's answer time is what the slave was told to wait, plus the
// wake-ups on the way (never less).
TEST(Timeline, AModbusExchangeThroughTheRelayIsOneFramePerMessageWithTheSlavesAnswerTimes)
{
    PtyCore p(Ch2Mode::MonitorRelay, [](Settings& s) {
        readAtOnce(s);
        s.lineParams.ch1Dcb.BaudRate = 115200;
        s.lineParams.ch2Dcb.BaudRate = 115200;
    });
    const std::vector<int> waitMs = {2, 10, 25, 50, 5, 15, 35, 1, 20, 8, 3, 12};
    std::vector<std::string> args = {"/usr/bin/python3", KESTRANE_TESTS_DIR "/comm/modbus_peers.py"};
    for (const int ms : waitMs)
        args.push_back(std::to_string(ms));
    const int masterFd = p.far1.master(), slaveFd = p.far2.master();
    test::ChildProcess peers(args, {}, [&] {
        // The master on 3, the slave on 4 (through free numbers first: either may be 3 or 4).
        const int m = ::fcntl(masterFd, F_DUPFD, 10), s = ::fcntl(slaveFd, F_DUPFD, 10);
        ::dup2(m, 3);
        ::dup2(s, 4);
    });
    ASSERT_EQ(peers.waitForExit(30s), 0) << peers.output() << "(scripts/setup.sh installs python3-pymodbus)";
    std::vector<std::vector<std::uint8_t>> messages;  // request, reply, request, ...
    std::size_t total = 0;
    std::istringstream lines(peers.output());
    for (std::string word, hex; lines >> word && word != "done";) {
        lines >> hex;
        std::vector<std::uint8_t> m;
        for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
            m.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
        total += m.size();
        messages.push_back(m);
    }
    ASSERT_EQ(messages.size(), 2 * waitMs.size()) << peers.output();
    ASSERT_TRUE(eventually([&] { return p.core->traffic().storedLength() == static_cast<std::int64_t>(total); }));

    std::vector<Entry> entries;
    p.core->journal().copySince(0, entries);
    timeline::FrameBuilder builder;
    for (const int ch : {1, 2})
        builder.setRule(ch, p.core->frameRule(ch));
    std::vector<timeline::Frame> frames;
    std::vector<Entry> events;
    for (const Entry& e : entries)
        builder.add(e, frames, events);
    builder.flush(0, frames, true);
    ASSERT_EQ(frames.size(), messages.size());
    std::vector<std::int64_t> lateUs;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const timeline::Frame& f = frames[i];
        EXPECT_EQ(f.channel, i % 2 == 0 ? 1 : 2) << "frame " << i;
        EXPECT_EQ(f.direction, timeline::Direction::Received);
        std::vector<std::uint8_t> bytes, chunk;
        for (const Entry& e : entries)
            if (e.kind == Kind::Data && e.sequence >= f.firstSequence && e.sequence <= f.lastSequence &&
                p.core->journal().bytes(e, chunk))
                bytes.insert(bytes.end(), chunk.begin(), chunk.end());
        EXPECT_EQ(bytes, messages[i]) << "frame " << i;
        if (i % 2 == 1) {
            const std::int64_t toldUs = waitMs[i / 2] * 1000;
            EXPECT_GE(f.answerUs, toldUs) << "reply " << i / 2;
            lateUs.push_back(f.answerUs - toldUs);
        }
    }
    std::sort(lateUs.begin(), lateUs.end());
    EXPECT_LE(lateUs[lateUs.size() / 2], 3000) << "the median answer's time over the slave's wait (µs)";
    EXPECT_LE(lateUs.back(), 50'000);
    const timeline::Summary sum = builder.summary();
    EXPECT_EQ(sum.frames, frames.size());
    EXPECT_GE(sum.answerMaxUs, 50'000);
}

// A capture's packets one a line, "COM1 0x02 0x18 4142": interface, event, control lines, payload.
std::string hexOf(const std::vector<std::uint8_t>& bytes, std::size_t from = 0)
{
    std::string hex;
    char two[3];
    for (std::size_t i = from; i < bytes.size(); ++i) {
        std::snprintf(two, sizeof two, "%02x", bytes[i]);
        hex += two;
    }
    return hex;
}

std::string row(const std::string& interface, unsigned event, unsigned lines, const std::string& payload)
{
    char head[32];
    std::snprintf(head, sizeof head, " 0x%02x 0x%02x ", event, lines);
    return interface + head + payload + "\n";
}

// The same rows as tshark reads the file (its own field for each line; the payload as data).
std::string tsharkRows(const std::filesystem::path& capture)
{
    test::ChildProcess tshark({"/usr/bin/tshark", "-r", capture.string(), "-T", "fields", "-e", "frame.interface_name",
                               "-e", "rtacser.eventtype", "-e", "rtacser.cts", "-e", "rtacser.dcd", "-e", "rtacser.dsr",
                               "-e", "rtacser.rts", "-e", "rtacser.dtr", "-e", "rtacser.ring", "-e", "data.data"});
    EXPECT_EQ(tshark.waitForExit(60s), 0) << tshark.output();
    std::istringstream lines(tshark.output());
    std::string rows;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("Running as user", 0) == 0)  // tshark's warning to root, on the same stream
            continue;
        std::istringstream fields(line);
        std::vector<std::string> f;
        for (std::string field; std::getline(fields, field, '\t');)
            f.push_back(field);
        f.resize(9);
        unsigned bits = 0;
        for (int i = 0; i < 6; ++i)
            bits |= f[2 + static_cast<std::size_t>(i)] == "1" ? 1U << i : 0;
        rows += row(f[0], static_cast<unsigned>(std::stoul(f[1], nullptr, 16)), bits, f[8]);
    }
    return rows;
}

// Line errors, breaks and modem changes of a local port (the fake one: a pty has none) on CH1
// and of a remote line (a scripted RFC 2217 server's NOTIFY-LINESTATE and NOTIFY-MODEMSTATE) on
// CH2, saved as the window saves the timeline: each is an event packet with the control lines of
// its moment, in its place between the data packets of the frames around it, and the data
// packets carry the lines too. Our reader and tshark read the same packets.
TEST(Timeline, LineErrorsBreaksAndModemChangesAreEventPacketsBetweenTheFramesOfTheCapture)
{
    test::TempDir dir;
    test::ScriptedComPortServer server;
    FakeSerialPort* fake = nullptr;
    AppCore core(dir.path(), [&](int com, OpenError& error) {
        if (com == 2)
            return openRemoteSerialPort(server.url(), error);
        auto port = std::make_unique<FakeSerialPort>();
        fake = port.get();
        return std::unique_ptr<SerialPort>(std::move(port));
    });
    core.settings().record.ch2Mode = Ch2Mode::Independent;
    core.settings().record.ch2ComNumber = 2;
    readAtOnce(core.settings());
    core.applySettings();
    core.traffic().clearTraffic();
    ASSERT_EQ(core.channels().openChannel(1, 1), OpenResult::Opened);
    ASSERT_EQ(core.channels().openChannel(2, 2), OpenResult::Opened);
    // Each step is in the journal before the next, and data comes after the line was quiet
    // longer than a frame may pause.
    std::uint64_t seen = core.journal().lastSequence();
    const auto step = [&](const std::function<void()>& act, bool quietAfter = false) {
        act();
        EXPECT_TRUE(eventually([&] { return core.journal().lastSequence() > seen; }));
        seen = core.journal().lastSequence();
        if (quietAfter)
            std::this_thread::sleep_for(30ms);
    };
    using E = timeline::LineError;
    step([&] { fake->receive("AB"); }, true);
    step([&] { fake->setModemStatus(MS_CTS_ON | MS_DSR_ON); });
    step([&] { fake->receive({'C', 'D'}, {{1, E::Parity, 0}}); }, true);
    step([&] { fake->receive({'E', 'F'}, {{0, E::Break, 0}}); }, true);  // the break came before E
    step([&] { EXPECT_EQ(core.channels().escape(1, CLRDTR), 0); });
    step([&] { fake->lineState(E::Overrun, 5); });
    step([&] { fake->setModemStatus(MS_CTS_ON | MS_DSR_ON | MS_RING_ON); });
    step([&] { fake->receive("GH"); }, true);  // DTR off, the ring on
    step([&] { server.sendRaw({'a', 'b'}); }, true);
    step([&] { server.sendComPort(106, {0x08}); });  // framing error
    step([&] { server.sendComPort(107, {0xB1}); });  // CTS (changed), DSR, DCD
    step([&] { server.sendRaw({'c', 'd'}); }, true);
    step([&] { server.sendComPort(106, {0x10}); });  // break
    step([&] { server.sendRaw({'e', 'f'}); }, true);
    step([&] { server.sendComPort(107, {0x38}); });  // DCD dropped
    // A break reported in the same segment as the bytes after it: before them, never later.
    step([&] { server.sendRaw({0xFF, 0xFA, 44, 106, 0x10, 0xFF, 0xF0, 'g', 'h'}); }, true);

    const auto capture = dir / "lines.pcapng";
    ASSERT_TRUE(saveTimelineCapture(core, capture, pcapng::kPayloadProtocols[0]));
    const unsigned rx = 0x02, status = 0x00, framing = 0x07, parity = 0x08, brk = 0x09, overflow = 0x0A;
    const unsigned rts = 0x08, rtsDtr = 0x18, cts = 0x01, dcd = 0x02, dsr = 0x04, ring = 0x20;
    const std::string expected =
        row("COM1", rx, rtsDtr, "4142") + row("COM1", status, rtsDtr | cts | dsr, "") +
        row("COM1", rx, rtsDtr | cts | dsr, "4344") + row("COM1", parity, rtsDtr | cts | dsr, "") +
        row("COM1", brk, rtsDtr | cts | dsr, "") + row("COM1", rx, rtsDtr | cts | dsr, "4546") +
        row("COM1", status, rts | cts | dsr, "") + row("COM1", overflow, rts | cts | dsr, "") +
        row("COM1", status, rts | cts | dsr | ring, "") + row("COM1", rx, rts | cts | dsr | ring, "4748") +
        row("COM2", rx, rtsDtr, "6162") + row("COM2", framing, rtsDtr, "") +
        row("COM2", status, rtsDtr | cts | dsr | dcd, "") + row("COM2", rx, rtsDtr | cts | dsr | dcd, "6364") +
        row("COM2", brk, rtsDtr | cts | dsr | dcd, "") + row("COM2", rx, rtsDtr | cts | dsr | dcd, "6566") +
        row("COM2", status, rtsDtr | cts | dsr, "") + row("COM2", brk, rtsDtr | cts | dsr, "") +
        row("COM2", rx, rtsDtr | cts | dsr, "6768");

    pcapng::File file;
    ASSERT_TRUE(pcapng::read(test::readFileBytes(capture), file).ok());
    std::string ours;
    std::uint64_t last = 0;
    for (const pcapng::Packet& p : file.packets) {
        const auto h = rtac::parseHeader(p.data);
        ASSERT_TRUE(h.has_value());
        ours += row(file.interfaces.at(p.interfaceId).name, static_cast<unsigned>(h->event), h->lines, hexOf(p.data, rtac::kHeaderSize));
        EXPECT_GE(p.timestamp, last) << "in time order";
        last = p.timestamp;
    }
    EXPECT_EQ(ours, expected);
    if (std::filesystem::exists("/usr/bin/tshark")) {
        EXPECT_EQ(tsharkRows(capture), expected);
    }
}

// The modem lines a device holds when the port opens are the lines of the first frames, before
// any of them changes.
TEST(Timeline, TheModemLinesHeldAtTheOpenAreTheLinesOfTheFirstFrames)
{
    test::TempDir dir;
    AppCore core(dir.path(), [&](int, OpenError&) {
        auto port = std::make_unique<FakeSerialPort>();
        port->setModemStatus(MS_DSR_ON | MS_RLSD_ON);
        return std::unique_ptr<SerialPort>(std::move(port));
    });
    core.traffic().clearTraffic();
    ASSERT_EQ(core.channels().openChannel(1, 1), OpenResult::Opened);
    const auto fake = dynamic_cast<FakeSerialPort*>(core.channels().port(1));
    ASSERT_NE(fake, nullptr);
    fake->receive("AB");
    ASSERT_TRUE(eventually([&] { return core.traffic().storedLength() == 2; }));
    pcapng::File file;
    ASSERT_TRUE(pcapng::read(timelineCapture(core, pcapng::kPayloadProtocols[0]), file).ok());
    ASSERT_FALSE(file.packets.empty());
    const auto data = file.packets.back();
    EXPECT_EQ(rtac::parseHeader(data.data)->event, rtac::Event::DataReceived);
    EXPECT_EQ(rtac::parseHeader(data.data)->lines, rtac::line::kRts | rtac::line::kDtr | rtac::line::kDsr | rtac::line::kDcd);
}

} // namespace
} // namespace kestrane
