// DCB records onto terminal settings and back, on plain images (no device); the decoding of the
// error marks the terminal layer puts into received data.
#include "platform/termios_mapping.h"

#include "support/port_events.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

namespace kestrane {
namespace {

using test::describe;

using namespace tio;

Dcb line(std::uint32_t baud, std::uint8_t bits, std::uint8_t parity, std::uint8_t stop)
{
    Dcb d;
    applyLineDefaults(d);
    d.BaudRate = baud;
    d.ByteSize = bits;
    d.Parity = parity;
    d.StopBits = stop;
    return d;
}

// A terminal as a fresh tty comes: cooked, echoing, 38400 baud, software flow on.
TermiosImage cookedTty()
{
    TermiosImage t;
    t.iflag = kIcrnl | kIxon | kImaxbel | kIutf8 | kBrkint | kIgnpar;
    t.oflag = kOpost | 0000004 /* ONLCR */;
    t.cflag = 0000017 /* B38400 */ | kCs8 | kCread | kHupcl;
    t.lflag = kIsig | kIcanon | kEcho | kEchoe | kEchok | kEchoctl | kEchoke | kIexten;
    t.cc[kVmin] = 1;
    t.cc[kVtime] = 0;
    t.cc[kVstart] = 0x11;
    t.cc[kVstop] = 0x13;
    t.ispeed = t.ospeed = 38400;
    return t;
}

TEST(MakeRaw, TurnsACookedTerminalIntoARawLineKeepingItsSpeedAndFraming)
{
    TermiosImage t = cookedTty();
    t.cflag = (t.cflag & ~kCsize) | kCs7 | kParenb | kCstopb;
    t.cc[kVmin] = 0;
    t.cc[kVtime] = 5;
    makeRaw(t);

    EXPECT_EQ(t.lflag & (kIcanon | kEcho | kIsig | kIexten), 0u);
    EXPECT_EQ(t.oflag & kOpost, 0u);
    EXPECT_EQ(t.iflag & (kIcrnl | kInlcr | kIgncr | kIstrip | kIxon | kIxoff | kBrkint | kIgnbrk | kIgnpar), 0u);
    EXPECT_EQ(t.cflag & (kCread | kClocal), kCread | kClocal);
    EXPECT_EQ(t.cc[kVmin], 1);
    EXPECT_EQ(t.cc[kVtime], 0);
    // Breaks must come marked, not as NUL bytes.
    EXPECT_TRUE(t.iflag & kParmrk);
    EXPECT_EQ(t.cflag & (kCsize | kParenb | kCstopb | kCbaud), kCs7 | kParenb | kCstopb | 0000017u);
    EXPECT_EQ(t.ospeed, 38400u);
}

// Every framing a DCB can ask for survives the trip to the terminal and back.
class FramingRoundTrip : public ::testing::TestWithParam<std::tuple<int, int, int>> {};

TEST_P(FramingRoundTrip, ReadsBackAsSet)
{
    const auto [bits, parity, stop] = GetParam();
    const Dcb d = line(57600, static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(parity),
                       static_cast<std::uint8_t>(stop));
    TermiosImage t = cookedTty();
    const bool valid = !(stop == ONE5STOPBITS && bits != 5) && !(stop == TWOSTOPBITS && bits == 5);
    ASSERT_EQ(applyDcb(d, t), valid);
    if (!valid)
        return;
    // The framing must come from the image, not from the record kept from the last set.
    Dcb kept = d;
    kept.BaudRate = 1;
    kept.ByteSize = 0;
    kept.Parity = 99;
    kept.StopBits = 99;
    EXPECT_EQ(dcbFromTermios(t, kept), d) << bits << "/" << parity << "/" << stop;
}

INSTANTIATE_TEST_SUITE_P(AllFramings, FramingRoundTrip,
                         ::testing::Combine(::testing::Range(5, 9), ::testing::Range(0, 5), ::testing::Range(0, 3)));

TEST(ApplyDcb, ParityCodesMeanWhatTheKernelMeans)
{
    const std::uint32_t bits = kParenb | kParodd | kCmspar;
    const std::vector<std::pair<std::uint8_t, std::uint32_t>> cases = {
        {NOPARITY, 0},
        {ODDPARITY, kParenb | kParodd},
        {EVENPARITY, kParenb},
        {MARKPARITY, kParenb | kCmspar | kParodd},
        {SPACEPARITY, kParenb | kCmspar},
    };
    for (const auto& [parity, flags] : cases) {
        TermiosImage t = cookedTty();
        ASSERT_TRUE(applyDcb(line(9600, 8, parity, ONESTOPBIT), t));
        EXPECT_EQ(t.cflag & bits, flags) << "parity " << int(parity);
    }
}

TEST(ApplyDcb, StopBitsAndCharacterSize)
{
    TermiosImage t = cookedTty();
    ASSERT_TRUE(applyDcb(line(9600, 5, NOPARITY, ONE5STOPBITS), t));
    EXPECT_EQ(t.cflag & (kCsize | kCstopb), kCs5 | kCstopb);
    ASSERT_TRUE(applyDcb(line(9600, 7, NOPARITY, TWOSTOPBITS), t));
    EXPECT_EQ(t.cflag & (kCsize | kCstopb), kCs7 | kCstopb);
    ASSERT_TRUE(applyDcb(line(9600, 6, NOPARITY, ONESTOPBIT), t));
    EXPECT_EQ(t.cflag & (kCsize | kCstopb), kCs6);
}

TEST(ApplyDcb, AnyRateGoesThroughBotherForBothDirections)
{
    TermiosImage t = cookedTty();
    t.cflag |= 0000015u << 16;  // an input speed code (CIBAUD) left by someone else
    ASSERT_TRUE(applyDcb(line(123457, 8, NOPARITY, ONESTOPBIT), t));
    EXPECT_EQ(t.cflag & kCbaud, kBother);
    EXPECT_EQ(t.cflag & kCibaud, 0u) << "the input speed must follow the output speed";
    EXPECT_EQ(t.ospeed, 123457u);
    EXPECT_EQ(t.ispeed, 123457u);
}

TEST(ApplyDcb, RefusesRecordsTheLineCannotTakeAndLeavesTheImage)
{
    std::vector<std::pair<const char*, Dcb>> bad = {
        {"ByteSize 4", line(9600, 4, NOPARITY, ONESTOPBIT)},
        {"ByteSize 9", line(9600, 9, NOPARITY, ONESTOPBIT)},
        {"Parity 5", line(9600, 8, 5, ONESTOPBIT)},
        {"Parity 7", line(9600, 8, 7, ONESTOPBIT)},
        {"StopBits 3", line(9600, 8, NOPARITY, 3)},
        {"1.5 stop bits with 8 data bits", line(9600, 8, NOPARITY, ONE5STOPBITS)},
        {"2 stop bits with 5 data bits", line(9600, 5, NOPARITY, TWOSTOPBITS)},
        {"BaudRate 0", line(0, 8, NOPARITY, ONESTOPBIT)},
    };
    for (const auto& [what, d] : bad) {
        TermiosImage t = cookedTty();
        EXPECT_FALSE(applyDcb(d, t)) << what;
        EXPECT_EQ(t, cookedTty()) << what;
    }
}

TEST(ApplyDcb, HardwareFlowFromCtsOutFlowOrRtsHandshake)
{
    Dcb d = line(9600, 8, NOPARITY, ONESTOPBIT);
    TermiosImage t = cookedTty();
    ASSERT_TRUE(applyDcb(d, t));
    EXPECT_FALSE(t.cflag & kCrtscts);

    d.setFOutxCtsFlow(true);
    ASSERT_TRUE(applyDcb(d, t));
    EXPECT_TRUE(t.cflag & kCrtscts);

    d.setFOutxCtsFlow(false);
    d.setFRtsControl(RTS_CONTROL_HANDSHAKE);
    ASSERT_TRUE(applyDcb(d, t));
    EXPECT_TRUE(t.cflag & kCrtscts);

    d.setFRtsControl(RTS_CONTROL_ENABLE);
    ASSERT_TRUE(applyDcb(d, t));
    EXPECT_FALSE(t.cflag & kCrtscts);
}

TEST(ApplyDcb, SoftwareFlowAndItsCharacters)
{
    Dcb d = line(9600, 8, NOPARITY, ONESTOPBIT);
    d.XonChar = 0x21;
    d.XoffChar = 0x23;
    TermiosImage t = cookedTty();
    ASSERT_TRUE(applyDcb(d, t));
    EXPECT_EQ(t.iflag & (kIxon | kIxoff), 0u) << "a cooked tty's IXON must not survive";
    EXPECT_EQ(t.cc[kVstart], 0x21);
    EXPECT_EQ(t.cc[kVstop], 0x23);

    d.setFOutX(true);
    ASSERT_TRUE(applyDcb(d, t));
    EXPECT_EQ(t.iflag & (kIxon | kIxoff), kIxon);
    d.setFOutX(false);
    d.setFInX(true);
    ASSERT_TRUE(applyDcb(d, t));
    EXPECT_EQ(t.iflag & (kIxon | kIxoff), kIxoff);
}

TEST(ApplyDcb, ParityCheckTurnsOnInputCheckingWithMarks)
{
    Dcb d = line(9600, 7, EVENPARITY, ONESTOPBIT);
    TermiosImage t = cookedTty();
    ASSERT_TRUE(applyDcb(d, t));
    EXPECT_FALSE(t.iflag & kInpck);
    d.setFParity(true);
    ASSERT_TRUE(applyDcb(d, t));
    EXPECT_EQ(t.iflag & (kInpck | kParmrk | kIgnpar), kInpck | kParmrk);
}

// A device that answers a set without taking all of it: each line setting it dropped is named
// on its own, and only that one.
TEST(RefusedSettings, EachSettingTheDeviceDroppedIsNamedOnItsOwn)
{
    Dcb wanted = line(115200, 7, EVENPARITY, TWOSTOPBITS);
    wanted.setFRtsControl(RTS_CONTROL_HANDSHAKE);
    wanted.setFOutX(true);
    wanted.setFInX(true);
    TermiosImage asked = cookedTty();
    ASSERT_TRUE(applyDcb(wanted, asked));
    EXPECT_EQ(refusedSettings(wanted, asked), 0u) << "everything taken";

    // Drivers round the rate: within 3 % is taken.
    for (const auto& [rate, refused] : {std::pair{111900u, false}, {118400u, false}, {111600u, true}, {9600u, true}}) {
        TermiosImage got = asked;
        got.ospeed = got.ispeed = rate;
        EXPECT_EQ(refusedSettings(wanted, got), refused ? SetStateFailure::Rate : 0u) << rate;
    }
    const std::vector<std::tuple<const char*, std::function<void(TermiosImage&)>, std::uint32_t>> dropped = {
        {"8 data bits", [](TermiosImage& t) { t.cflag = (t.cflag & ~kCsize) | kCs8; }, SetStateFailure::ByteSize},
        {"no parity", [](TermiosImage& t) { t.cflag &= ~kParenb; }, SetStateFailure::Parity},
        {"odd parity", [](TermiosImage& t) { t.cflag |= kParodd; }, SetStateFailure::Parity},
        {"one stop bit", [](TermiosImage& t) { t.cflag &= ~kCstopb; }, SetStateFailure::StopBits},
        {"no RTS/CTS", [](TermiosImage& t) { t.cflag &= ~kCrtscts; }, SetStateFailure::FlowControl},
        {"no XON/XOFF out", [](TermiosImage& t) { t.iflag &= ~kIxon; }, SetStateFailure::FlowControl},
        {"no XON/XOFF in", [](TermiosImage& t) { t.iflag &= ~kIxoff; }, SetStateFailure::FlowControl},
    };
    for (const auto& [what, drop, field] : dropped) {
        TermiosImage got = asked;
        drop(got);
        EXPECT_EQ(refusedSettings(wanted, got), field) << what;
    }

    // Flow control the device turned on by itself is refused as well.
    Dcb plain = line(9600, 8, NOPARITY, ONESTOPBIT);
    TermiosImage got = cookedTty();
    ASSERT_TRUE(applyDcb(plain, got));
    EXPECT_EQ(refusedSettings(plain, got), 0u);
    for (const auto& [what, cflag, iflag] : {std::tuple{"RTS/CTS", kCrtscts, 0u}, {"XON/XOFF out", 0u, kIxon},
                                            {"XON/XOFF in", 0u, kIxoff}}) {
        TermiosImage extra = got;
        extra.cflag |= cflag;
        extra.iflag |= iflag;
        EXPECT_EQ(refusedSettings(plain, extra), SetStateFailure::FlowControl) << what;
    }
    // CTS out-flow alone also needs CRTSCTS, and is taken with it.
    plain.setFOutxCtsFlow(true);
    got.cflag |= kCrtscts;
    EXPECT_EQ(refusedSettings(plain, got), 0u);
}

TEST(DcbFromTermios, MembersTheLineCannotHoldReadBackAsSet)
{
    Dcb d = line(19200, 8, NOPARITY, ONESTOPBIT);
    d.DCBlength = 28;
    d.setFDtrControl(DTR_CONTROL_DISABLE);
    d.setFRtsControl(RTS_CONTROL_TOGGLE);
    d.setFDsrSensitivity(true);
    d.setFTXContinueOnXoff(true);
    d.setFErrorChar(true);
    d.setFNull(true);
    d.setFAbortOnError(true);
    d.setFOutxDsrFlow(true);
    d.setFDummy2(0x1ABCD);
    d.wReserved = 0x1234;
    d.XonLim = 111;
    d.XoffLim = 222;
    d.ErrorChar = '?';
    d.EofChar = 0x1A;
    d.EvtChar = ';';
    d.wReserved1 = 0xBEEF;
    TermiosImage t = cookedTty();
    ASSERT_TRUE(applyDcb(d, t));
    EXPECT_EQ(dcbFromTermios(t, d), d);
}

TEST(DcbFromTermios, ReportsWhatTheDeviceHasNotWhatWasAsked)
{
    // A pseudo-terminal keeps CS8 and drops PARENB whatever it is told.
    Dcb asked = line(9600, 7, EVENPARITY, ONESTOPBIT);
    TermiosImage t = cookedTty();
    ASSERT_TRUE(applyDcb(asked, t));
    t.cflag = (t.cflag & ~(kCsize | kParenb)) | kCs8;
    const Dcb got = dcbFromTermios(t, asked);
    EXPECT_EQ(got.ByteSize, 8);
    EXPECT_EQ(got.Parity, NOPARITY);

    // A driver reporting a classic speed code instead of BOTHER.
    t.cflag = (t.cflag & ~kCbaud) | 0000015u;  // B9600
    t.ospeed = 0;
    EXPECT_EQ(dcbFromTermios(t, asked).BaudRate, 9600u);
}

TEST(DcbFromTermios, HardwareFlowKeepsWhichSideWasAskedForWhileTheDeviceHasIt)
{
    Dcb ctsOnly = line(9600, 8, NOPARITY, ONESTOPBIT);
    ctsOnly.setFOutxCtsFlow(true);
    ctsOnly.setFRtsControl(RTS_CONTROL_ENABLE);
    TermiosImage t = cookedTty();
    ASSERT_TRUE(applyDcb(ctsOnly, t));
    EXPECT_EQ(dcbFromTermios(t, ctsOnly), ctsOnly);

    // Handshake on the device although the last record had none: report both sides.
    const Dcb none = line(9600, 8, NOPARITY, ONESTOPBIT);
    Dcb got = dcbFromTermios(t, none);
    EXPECT_TRUE(got.fOutxCtsFlow());
    EXPECT_EQ(got.fRtsControl(), RTS_CONTROL_HANDSHAKE);

    // The device lost it: neither side reads back as on.
    Dcb rtsHandshake = none;
    rtsHandshake.setFRtsControl(RTS_CONTROL_HANDSHAKE);
    rtsHandshake.setFOutxCtsFlow(true);
    t.cflag &= ~kCrtscts;
    got = dcbFromTermios(t, rtsHandshake);
    EXPECT_FALSE(got.fOutxCtsFlow());
    EXPECT_EQ(got.fRtsControl(), RTS_CONTROL_ENABLE);
}

// ---- Error marks in received data ----

struct Decoded {
    std::vector<std::uint8_t> bytes;
    std::uint32_t errors = 0;
    std::string marks;  // offsets in `bytes`
};

// Decodes `in` cut into pieces of `chunk` bytes, as reads of the tty would bring it; `steps`
// are the counters' steps seen with each piece (none: the driver keeps no counters).
Decoded decodeInChunks(const std::vector<std::uint8_t>& in, std::size_t chunk,
                       const std::vector<ErrorCounterSteps>& steps = {})
{
    MarkDecoder dec;
    Decoded out;
    std::vector<ReadMarks::Error> all;
    for (std::size_t i = 0, piece = 0; i < in.size(); i += chunk, ++piece) {
        const std::size_t n = std::min(chunk, in.size() - i);
        std::vector<std::uint8_t> buf(n + 1);
        std::vector<ReadMarks::Error> marks;
        buf.resize(dec.decode(in.data() + i, n, buf.data(), &marks, steps.empty() ? nullptr : &steps.at(piece)));
        for (ReadMarks::Error& m : marks)
            m.offset += static_cast<std::uint32_t>(out.bytes.size());
        all.insert(all.end(), marks.begin(), marks.end());
        out.bytes.insert(out.bytes.end(), buf.begin(), buf.end());
    }
    out.errors = dec.takeErrors();
    out.marks = describe(all);
    return out;
}

std::vector<std::uint8_t> text(const std::string& s) { return {s.begin(), s.end()}; }

TEST(MarkDecoder, UnescapesAndPlacesMarksWhereverTheChunksAreCut)
{
    // A literal FF, a break between 'b' and 'c', an error on 'X', two literal FFs and a NUL.
    const std::vector<std::uint8_t> in = {'a', 0xFF, 0xFF, 'b', 0xFF, 0x00, 0x00, 'c', 0xFF, 0x00, 'X',
                                          0xFF, 0xFF, 0xFF, 0xFF, 0x00, 'd'};
    const std::vector<std::uint8_t> plain = {'a', 0xFF, 'b', 'c', 'X', 0xFF, 0xFF, 0x00, 'd'};
    for (std::size_t chunk = 1; chunk <= in.size(); ++chunk) {
        const Decoded d = decodeInChunks(in, chunk);
        EXPECT_EQ(d.bytes, plain) << "chunk " << chunk;
        EXPECT_EQ(d.errors, CE_BREAK | CE_RXPARITY) << "chunk " << chunk;
        EXPECT_EQ(d.marks, "3 B, 4 PF") << "chunk " << chunk;
    }
}

TEST(MarkDecoder, AnErrorOnTheFirstByteAndOnAnFfByteIsAtThatByte)
{
    Decoded d = decodeInChunks({0xFF, 0x00, 'A', 'b'}, 4);
    EXPECT_EQ(d.bytes, text("Ab"));
    EXPECT_EQ(d.marks, "0 PF");
    // A received FF with bad parity: FF 00 FF.
    d = decodeInChunks({'a', 0xFF, 0xFF, 0xFF, 0x00, 0xFF, 'z'}, 2);
    EXPECT_EQ(d.bytes, (std::vector<std::uint8_t>{'a', 0xFF, 0xFF, 'z'}));
    EXPECT_EQ(d.marks, "2 PF");
}

TEST(MarkDecoder, TheDriversCountersTellParityFromFramingAndABreakFromABadNul)
{
    ErrorCounterSteps parity;
    parity.parity = 1;
    ErrorCounterSteps framing;
    framing.frame = 1;
    ErrorCounterSteps brk;
    brk.brk = 1;
    ErrorCounterSteps both;
    both.parity = both.frame = 1;

    EXPECT_EQ(decodeInChunks({'a', 0xFF, 0x00, 'A'}, 4, {parity}).marks, "1 P");
    EXPECT_EQ(decodeInChunks({'a', 0xFF, 0x00, 'A'}, 4, {framing}).marks, "1 F");
    EXPECT_EQ(decodeInChunks({0xFF, 0x00, 'A', 0xFF, 0x00, 'B'}, 6, {both}).marks, "0 PF, 1 PF")
        << "which mark is which is not known";
    // FF 00 00: a break when the break counter moved, a NUL with bad parity when only parity did.
    Decoded d = decodeInChunks({'a', 0xFF, 0x00, 0x00, 'b'}, 5, {brk});
    EXPECT_EQ(d.bytes, text("ab"));
    EXPECT_EQ(d.marks, "1 B");
    d = decodeInChunks({'a', 0xFF, 0x00, 0x00, 'b'}, 5, {parity});
    EXPECT_EQ(d.bytes, (std::vector<std::uint8_t>{'a', 0x00, 'b'}));
    EXPECT_EQ(d.marks, "1 P");
    // A count that found no mark is not carried to an unrelated one far later.
    d = decodeInChunks({'a', 'b', 'c', 0xFF, 0x00, 'A'}, 1, {framing, {}, {}, {}, {}, {}});
    EXPECT_EQ(d.marks, "3 PF");
}

TEST(MarkDecoder, ACountSeenBeforeItsMarkIsReadStillTellsTheKind)
{
    ErrorCounterSteps framing;
    framing.frame = 1;
    // Counted with the read before the one that brings the mark.
    EXPECT_EQ(decodeInChunks({'a', 'b', 0xFF, 0x00, 'c'}, 2, {framing, {}, {}}).marks, "2 F");
    // Counted while nothing was read (the error word was asked for).
    MarkDecoder dec;
    dec.addCounted(framing);
    const std::uint8_t in[] = {0xFF, 0x00, 'q'};
    std::uint8_t out[4];
    std::vector<ReadMarks::Error> marks;
    const ErrorCounterSteps none;
    ASSERT_EQ(dec.decode(in, 3, out, &marks, &none), 1u);
    EXPECT_EQ(describe(marks), "0 F");
}

TEST(MarkDecoder, OverrunsComeFromTheCountersAfterTheLastByteWithTheBytesLost)
{
    ErrorCounterSteps lost;
    lost.overrun = 3;
    lost.bufOverrun = 2;
    EXPECT_EQ(decodeInChunks(text("abc"), 3, {lost}).marks, "3 O3, 3 BO2");
    EXPECT_EQ(decodeInChunks(text("abc"), 3).marks, "") << "without counters no overrun is known";
}

TEST(MarkDecoder, EachMarkKindSetsItsOwnBitAndReadingClearsThem)
{
    MarkDecoder dec;
    std::uint8_t out[8];
    const std::uint8_t brk[] = {0xFF, 0x00, 0x00};
    EXPECT_EQ(dec.decode(brk, 3, out), 0u);
    EXPECT_EQ(dec.takeErrors(), CE_BREAK);
    EXPECT_EQ(dec.takeErrors(), 0u);

    const std::uint8_t parity[] = {0xFF, 0x00, 0x41};
    ASSERT_EQ(dec.decode(parity, 3, out), 1u);
    EXPECT_EQ(out[0], 0x41);
    EXPECT_EQ(dec.takeErrors(), CE_RXPARITY);

    const std::uint8_t literal[] = {0xFF, 0xFF};
    ASSERT_EQ(dec.decode(literal, 2, out), 1u);
    EXPECT_EQ(out[0], 0xFF);
    EXPECT_EQ(dec.takeErrors(), 0u);
}

TEST(MarkDecoder, ALoneFfIsPassedOnAndResetForgetsAHalfMark)
{
    MarkDecoder dec;
    std::uint8_t out[8];
    const std::uint8_t lone[] = {0xFF, 'z'};
    ASSERT_EQ(dec.decode(lone, 2, out), 2u);
    EXPECT_EQ(out[0], 0xFF);
    EXPECT_EQ(out[1], 'z');

    const std::uint8_t half[] = {'a', 0xFF, 0x00};
    ASSERT_EQ(dec.decode(half, 3, out), 1u);
    dec.reset();
    const std::uint8_t next[] = {'b'};
    ASSERT_EQ(dec.decode(next, 1, out), 1u);
    EXPECT_EQ(out[0], 'b');
    EXPECT_EQ(dec.takeErrors(), 0u);
}

} // namespace
} // namespace kestrane
