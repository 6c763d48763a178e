// kestrane-extcap as Wireshark runs it: found in the personal extcap folder of a HOME by tshark,
// its options parsed by tshark, a live capture on pseudo-terminal pairs decoded as Modbus RTU,
// and a capture run driven through its fifo as Wireshark does: ended by SIGTERM or by the
// reader closing the fifo.
#include "capture/pcapng.h"
#include "capture/rtac_serial.h"
#include "support/child_process.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

namespace kestrane {
namespace {

using namespace std::chrono_literals;
using test::ChildProcess;
using test::PtyPair;
using test::TempDir;
using Bytes = std::vector<std::uint8_t>;

const Bytes kQuery = {0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A};
const Bytes kReply = {0x01, 0x03, 0x02, 0x00, 0x2A, 0x39, 0x9B};
constexpr const char* kTshark = "/usr/bin/tshark";

// A user's Wireshark and Kestrane folders: the program linked into HOME's personal extcap
// folder, ports.conf in KESTRANE_HOME mapping COM3 and COM4 to pseudo-terminals.
struct WiresharkHome {
    TempDir dir;
    PtyPair com3, com4;
    std::filesystem::path home = dir / "home";
    std::filesystem::path kestrane = dir / "kestrane";

    WiresharkHome()
    {
        std::filesystem::create_directories(home / ".config/wireshark/extcap");
        std::filesystem::create_symlink(KESTRANE_PROGRAM_DIR "/kestrane-extcap", home / ".config/wireshark/extcap/kestrane-extcap");
        std::filesystem::create_directories(kestrane);
        std::ofstream(kestrane / "ports.conf") << "COM3=" << com3.slavePath() << "\nCOM4=" << com4.slavePath()
                                                << "\nCOM7=rfc2217://127.0.0.1:9\n";
    }
    // A program started with this HOME and KESTRANE_HOME.
    [[nodiscard]] std::vector<std::string> command(std::vector<std::string> args) const
    {
        args.insert(args.begin(), {"/usr/bin/env", "HOME=" + home.string(), "KESTRANE_HOME=" + kestrane.string()});
        return args;
    }
};

bool haveTshark()
{
    return std::filesystem::exists(kTshark);
}

// tshark's warning to root comes first on the same stream.
std::string withoutRootWarning(std::string text)
{
    while (text.rfind("Running as user", 0) == 0)
        text.erase(0, text.find('\n') + 1);
    return text;
}

TEST(Extcap, TsharkListsTheLinesAndParsesTheirOptions)
{
    if (!haveTshark())
        GTEST_SKIP() << "tshark is not installed (scripts/setup.sh installs it)";
    WiresharkHome s;
    ChildProcess list(s.command({kTshark, "-D"}));
    ASSERT_EQ(list.waitForExit(60s), 0) << list.output();
    const std::string out = list.output();
    EXPECT_NE(out.find("kestrane-COM3 (Kestrane COM3: " + s.com3.slavePath() + ")"), std::string::npos) << out;
    EXPECT_NE(out.find("kestrane-COM4 (Kestrane COM4: "), std::string::npos) << out;
    EXPECT_NE(out.find("kestrane-COM7 (Kestrane COM7: rfc2217://127.0.0.1:9)"), std::string::npos) << out;
    EXPECT_NE(out.find("kestrane-tap ("), std::string::npos) << out;
    EXPECT_NE(out.find("kestrane-relay ("), std::string::npos) << out;
    // tshark reads every interface's options while listing: a sentence it cannot parse is said here.
    EXPECT_EQ(out.find("invalid"), std::string::npos) << out;
    EXPECT_EQ(out.find("couldn't find"), std::string::npos) << out;

    // The options as preferences of the interfaces, as Wireshark's dialog and -o take them
    // (Wireshark drops the dashes of an option's name: --data-bits is databits).
    ChildProcess prefs(s.command({kTshark, "-G", "currentprefs"}));
    ASSERT_EQ(prefs.waitForExit(60s), 0);
    for (const char* name : {"extcap.kestrane_com3.rate", "extcap.kestrane_com3.databits", "extcap.kestrane_com3.parity",
                             "extcap.kestrane_com3.stopbits", "extcap.kestrane_com3.flow", "extcap.kestrane_com3.protocol",
                             "extcap.kestrane_relay.ch1", "extcap.kestrane_relay.ch2"})
        EXPECT_NE(prefs.output().find(name), std::string::npos) << name;

    ChildProcess dlts(s.command({kTshark, "-i", "kestrane-COM3", "-L"}));
    ASSERT_EQ(dlts.waitForExit(60s), 0) << dlts.output();
    EXPECT_NE(dlts.output().find("RTAC_SERIAL (RTAC Serial)"), std::string::npos) << dlts.output();
}

// Fields of every packet of a capture as tshark decodes it as Modbus RTU: interface, event,
// CRC status (1 good), Modbus function, one line each.
std::string decoded(const std::filesystem::path& capture)
{
    ChildProcess tshark({kTshark, "-r", capture.string(), "-d", "rtacser.data,mbrtu", "-o", "mbrtu.crc_verification:TRUE",
                         "-T", "fields", "-e", "frame.interface_name", "-e", "rtacser.eventtype", "-e", "mbrtu.crc16.status",
                         "-e", "modbus.func_code", "-E", "separator=,"});
    EXPECT_EQ(tshark.waitForExit(60s), 0) << tshark.output();
    return withoutRootWarning(tshark.output());
}

TEST(Extcap, LiveCaptureThroughTsharkDecodesModbusWithGoodCrcs)
{
    if (!haveTshark())
        GTEST_SKIP() << "tshark is not installed (scripts/setup.sh installs it)";
    WiresharkHome s;
    const auto capture = s.dir / "live.pcapng";
    ChildProcess tshark(s.command({kTshark, "-i", "kestrane-COM3", "-o", "extcap.kestrane_com3.rate:19200", "-o",
                                   "extcap.kestrane_com3.protocol:mbrtu", "-a", "duration:4", "-w", capture.string()}));
    ASSERT_TRUE(tshark.waitForOutput("Capturing on", 0, 60s)) << tshark.output();
    // The far end answers itself every 0.6 s until the capture ends: whenever the port opened,
    // the capture holds whole frames only.
    const auto end = std::chrono::steady_clock::now() + 4500ms;
    while (std::chrono::steady_clock::now() < end) {
        s.com3.send(kQuery);
        std::this_thread::sleep_for(300ms);
        s.com3.send(kReply);
        std::this_thread::sleep_for(300ms);
    }
    ASSERT_EQ(tshark.waitForExit(60s), 0) << tshark.output();

    // Every frame one packet on COM3, received, its CRC good, function 3.
    const std::string rows = decoded(capture);
    std::istringstream lines(rows);
    std::size_t packets = 0;
    for (std::string line; std::getline(lines, line); ++packets)
        EXPECT_EQ(line, "COM3,0x02,1,3") << rows;
    EXPECT_GE(packets, 4U) << rows;
    pcapng::File file;
    ASSERT_TRUE(pcapng::read(test::readFileBytes(capture), file).ok());
    ASSERT_FALSE(file.interfaces.empty());
    EXPECT_EQ(file.interfaces[0].description, s.com3.slavePath() + ", 19200 8N1, flow none; payload Modbus RTU (tshark "
                                                                  "-d rtacser.data,mbrtu)");
}

// Wireshark's side of a capture run: the fifo it made, read as the program writes it.
class FifoReader {
public:
    explicit FifoReader(const std::filesystem::path& path)
    {
        ::mkfifo(path.c_str(), 0600);
        fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    }
    ~FifoReader() { close(); }
    void close()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }
    // Reads until the stream holds `packets` whole packets, or the writer closed it, or the time is up.
    pcapng::File readPackets(std::size_t packets, std::chrono::milliseconds timeout = 20s)
    {
        const auto end = std::chrono::steady_clock::now() + timeout;
        pcapng::File file;
        while (std::chrono::steady_clock::now() < end) {
            file = {};
            const pcapng::ReadError error = pcapng::read(bytes, file);
            (void)error;  // a block still coming in
            if ((!file.interfaces.empty() && file.packets.size() >= packets) || closed)
                return file;
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0)
                continue;
            std::uint8_t buffer[4096];
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n > 0)
                bytes.insert(bytes.end(), buffer, buffer + n);
            else if (n == 0 && (p.revents & POLLHUP))
                closed = true;
        }
        return file;
    }

    Bytes bytes;
    bool closed = false;

private:
    int fd_ = -1;
};

std::vector<std::string> captureRun(const WiresharkHome& s, const std::filesystem::path& fifo, const std::string& interface,
                                    std::vector<std::string> options = {})
{
    std::vector<std::string> args{KESTRANE_PROGRAM_DIR "/kestrane-extcap", "--capture", "--extcap-interface", interface,
                                  "--fifo", fifo.string()};
    args.insert(args.end(), options.begin(), options.end());
    return s.command(args);
}

Bytes payload(const pcapng::Packet& p) { return Bytes(p.data.begin() + rtac::kHeaderSize, p.data.end()); }

TEST(Extcap, RelayCaptureEndsOnSigtermWithItsLastFrameAndWhenTheReaderGoesAway)
{
    WiresharkHome s;
    const auto fifo = s.dir / "fifo";
    {
        FifoReader wireshark(fifo);
        ChildProcess relay(captureRun(s, fifo, "kestrane-relay", {"--ch1", "COM3", "--ch2", "COM4", "--rate", "115200"}));
        pcapng::File file = wireshark.readPackets(0);
        ASSERT_EQ(file.interfaces.size(), 2U) << relay.output();
        EXPECT_EQ(file.interfaces[0].name, "COM3");
        EXPECT_EQ(file.interfaces[1].name, "COM4");
        // The master's query reaches the slave through the relay, the answer comes back.
        s.com3.send(kQuery);
        EXPECT_EQ(s.com4.receive(kQuery.size(), 5s), kQuery);
        std::this_thread::sleep_for(50ms);
        s.com4.send(kReply);
        EXPECT_EQ(s.com3.receive(kReply.size(), 5s), kReply);
        file = wireshark.readPackets(1);
        ASSERT_GE(file.packets.size(), 1U) << "the query closed once the line went quiet";
        // The reply may still be open (its line has not been quiet long): the stop writes it.
        relay.signal(SIGTERM);
        EXPECT_EQ(relay.waitForExit(10s), 0) << relay.output();
        file = wireshark.readPackets(99, 5s);
        EXPECT_TRUE(wireshark.closed);
        pcapng::File whole;
        ASSERT_TRUE(pcapng::read(wireshark.bytes, whole).ok()) << "the stream ends with a whole block";
        ASSERT_EQ(whole.packets.size(), 2U);
        EXPECT_EQ(whole.packets[0].interfaceId, 0U);
        EXPECT_EQ(payload(whole.packets[0]), kQuery);
        EXPECT_EQ(whole.packets[1].interfaceId, 1U);
        EXPECT_EQ(payload(whole.packets[1]), kReply);
        EXPECT_EQ(rtac::parseHeader(whole.packets[1].data)->event, rtac::Event::DataReceived);
    }
    // Wireshark closing its end (the capture stopped) ends the program at once, not at its next write.
    std::filesystem::remove(fifo);
    FifoReader wireshark(fifo);
    ChildProcess single(captureRun(s, fifo, "kestrane-COM3"));
    ASSERT_EQ(wireshark.readPackets(0).interfaces.size(), 2U) << single.output();
    wireshark.close();
    EXPECT_EQ(single.waitForExit(5s), 0) << single.output();
    // The port is free again.
    ChildProcess again(captureRun(s, fifo, "kestrane-COM3"));
    FifoReader next(fifo);
    EXPECT_EQ(next.readPackets(0).interfaces.size(), 2U) << again.output();
    again.signal(SIGINT);
    EXPECT_EQ(again.waitForExit(10s), 0) << again.output();
}

TEST(Extcap, APortThatDoesNotOpenOrAWrongOptionEndsWithTheReason)
{
    WiresharkHome s;
    std::ofstream(s.kestrane / "ports.conf", std::ios::app) << "COM9=" << (s.dir / "missing").string() << "\n";
    const auto fifo = s.dir / "fifo";
    ChildProcess missing(captureRun(s, fifo, "kestrane-COM9"));
    EXPECT_EQ(missing.waitForExit(10s), 2);
    EXPECT_NE(missing.output().find("cannot open CH1 (COM9)"), std::string::npos) << missing.output();

    ChildProcess same(captureRun(s, fifo, "kestrane-tap", {"--ch1", "COM3", "--ch2", "COM3"}));
    EXPECT_EQ(same.waitForExit(10s), 2);
    EXPECT_NE(same.output().find("the same port"), std::string::npos) << same.output();

    ChildProcess parity(captureRun(s, fifo, "kestrane-COM3", {"--parity", "weird"}));
    EXPECT_EQ(parity.waitForExit(10s), 2);
    EXPECT_NE(parity.output().find("--parity takes none, odd, even, mark, space"), std::string::npos) << parity.output();
}

} // namespace
} // namespace kestrane
