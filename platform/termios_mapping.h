// Line settings between the DCB record and the Linux terminal settings (termios2), as pure
// functions on a plain image of our own: <asm/termbits.h>, which has termios2, cannot share a
// source file with <termios.h>, so only termios_mapping.cpp sees the kernel's struct.
//
// Raw mode keeps PARMRK on so that breaks (and parity/framing errors when the parity check is on)
// reach us in the data as marks: FF 00 00 = break, FF 00 X = error on byte X, FF FF = a literal
// FF. MarkDecoder undoes that escaping.
#pragma once

#include "platform/comm_types.h"
#include "platform/serial_port.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kestrane {

// The fields of a struct termios2, in our own type.
struct TermiosImage {
    std::uint32_t iflag = 0;
    std::uint32_t oflag = 0;
    std::uint32_t cflag = 0;
    std::uint32_t lflag = 0;
    std::uint8_t line = 0;
    std::array<std::uint8_t, 19> cc{};
    std::uint32_t ispeed = 0;
    std::uint32_t ospeed = 0;

    bool operator==(const TermiosImage&) const = default;
};

// The kernel's flag values for the bits we use (checked against <asm/termbits.h> at compile time),
// named so they cannot collide with the macros of <termios.h>.
namespace tio {
// c_iflag
inline constexpr std::uint32_t kIgnbrk = 0000001, kBrkint = 0000002, kIgnpar = 0000004, kParmrk = 0000010,
                               kInpck = 0000020, kIstrip = 0000040, kInlcr = 0000100, kIgncr = 0000200,
                               kIcrnl = 0000400, kIuclc = 0001000, kIxon = 0002000, kIxany = 0004000,
                               kIxoff = 0010000, kImaxbel = 0020000, kIutf8 = 0040000;
// c_oflag
inline constexpr std::uint32_t kOpost = 0000001;
// c_cflag
inline constexpr std::uint32_t kCbaud = 0010017, kBother = 0010000, kCsize = 0000060, kCs5 = 0000000,
                               kCs6 = 0000020, kCs7 = 0000040, kCs8 = 0000060, kCstopb = 0000100,
                               kCread = 0000200, kParenb = 0000400, kParodd = 0001000, kHupcl = 0002000,
                               kClocal = 0004000, kCibaud = 002003600000, kCmspar = 010000000000,
                               kCrtscts = 020000000000;
// c_lflag
inline constexpr std::uint32_t kIsig = 0000001, kIcanon = 0000002, kEcho = 0000010, kEchoe = 0000020,
                               kEchok = 0000040, kEchonl = 0000100, kNoflsh = 0000200, kTostop = 0000400,
                               kEchoctl = 0001000, kEchoprt = 0002000, kEchoke = 0004000, kIexten = 0100000,
                               kExtproc = 0200000;
// c_cc indexes
inline constexpr std::size_t kVtime = 5, kVmin = 6, kVstart = 8, kVstop = 9;
} // namespace tio

// Turns `t` into the raw line the port works on: no echo, no canonical input, no signals, no
// output processing, receiver on, modem control lines ignored for opening, VMIN=1 VTIME=0,
// breaks and (with INPCK) errors marked in the data. Speed, character size, parity, stop bits
// and flow control are left as they are.
void makeRaw(TermiosImage& t);

// Applies the line parameters of `dcb` to `t` (raw as by makeRaw). Returns false and leaves `t`
// unchanged when the record holds a value the line cannot take: ByteSize outside 5..8, Parity
// outside 0..4, StopBits outside 0..2, 1.5 stop bits with other than 5 data bits, BaudRate 0.
bool applyDcb(const Dcb& dcb, TermiosImage& t);

// The DCB as the device has it: speed, character size, parity, stop bits, CRTSCTS, IXON/IXOFF
// and the XON/XOFF characters come from `t`; everything the line cannot hold (DTR/RTS levels,
// XonLim/XoffLim, EvtChar, ErrorChar, EofChar, fNull, ...) is taken from `lastSet`.
Dcb dcbFromTermios(const TermiosImage& t, const Dcb& lastSet);

// The line settings of `wanted` that a device reading back as `got` did not take
// (SetStateFailure::Field bits): rate (within 3 %: drivers round to what their clock divides),
// data bits, parity, stop bits, and flow control (RTS/CTS handshake, XON/XOFF either way).
[[nodiscard]] std::uint32_t refusedSettings(const Dcb& wanted, const TermiosImage& got);

// TCGETS2 / TCSETS2 on an open tty. On failure they return false with errno set.
bool readTermios(int fd, TermiosImage& t);
bool writeTermios(int fd, const TermiosImage& t);

// Steps of the driver's error counters (TIOCGICOUNT) since the last look.
struct ErrorCounterSteps {
    std::uint32_t frame = 0;
    std::uint32_t parity = 0;
    std::uint32_t brk = 0;
    std::uint32_t overrun = 0;
    std::uint32_t bufOverrun = 0;
};

// Undoes the PARMRK escaping of received data, across as many chunks as it comes in, and says
// where each mark fell. FF FF gives one FF; FF 00 00 is a break (no byte delivered; the error
// sits before the next byte); FF 00 X is an error on X (X delivered). Every mark seen sets a
// CE_* bit in the error word it returns (a break CE_BREAK, an error CE_RXPARITY).
//
// The kernel marks parity and framing errors alike, and a parity error on a NUL byte like a
// break. Where the driver keeps error counters, their steps tell them apart: a mark takes a
// count of its kind (a break's first, then the others'); while both parity and framing are
// counted and unmatched, their marks stay "parity or framing" until those counts are used up.
// The counters are read after the bytes, so they count every mark among them; a count whose
// mark is not read yet waits one call, longer it is forgotten (an error the line settings do
// not mark never finds one). Overruns are counters only: they go after the call's last byte,
// with the bytes lost.
class MarkDecoder {
public:
    // Decodes n bytes of `in` into `out`, which must have room for n + 1 bytes (a lone FF that
    // is not followed by 00 or FF is passed on as it is). Returns the number of bytes written.
    // Each mark is appended to `errors` (when given) with its offset in `out`. `steps`: the
    // driver's counter steps since the last call, when it keeps counters.
    std::size_t decode(const std::uint8_t* in, std::size_t n, std::uint8_t* out,
                       std::vector<ReadMarks::Error>* errors = nullptr, const ErrorCounterSteps* steps = nullptr);
    // Counter steps seen between reads (the error word was asked for): counts for marks still
    // in the driver, matched by the next call.
    void addCounted(const ErrorCounterSteps& steps)
    {
        counted_.parity += steps.parity;
        counted_.frame += steps.frame;
        counted_.brk += steps.brk;
    }
    // Error bits of the marks seen since the last call; reading clears them.
    std::uint32_t takeErrors();
    // Forgets a mark cut in half by a chunk boundary and the counts not yet matched (after the
    // input was flushed).
    void reset()
    {
        state_ = State::Plain;
        counted_ = {};
    }

private:
    enum class State { Plain, Escape, Mark };
    // Counted errors not yet matched to a mark.
    struct Counted {
        std::uint32_t parity = 0, frame = 0, brk = 0;
        bool mixed = false;  // both kinds were unmatched at once: which one a mark used is not known
    };
    timeline::LineError takeCounted();

    State state_ = State::Plain;
    std::uint32_t errors_ = 0;
    Counted counted_;
};

} // namespace kestrane
