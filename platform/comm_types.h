// The serial-port records the program keeps and stores: a DCB of 28 bytes and a COMMTIMEOUTS
// of 20 bytes in their classic Win32 layouts (they are saved byte for byte in Quellorn1.dat),
// the COMSTAT status record, and the event, error, modem-status, escape and purge codes.
#pragma once

#include "platform/le_layout.h"

#include <array>
#include <cstdint>
#include <span>
#include <type_traits>

namespace kestrane {

// Event mask bits.
inline constexpr std::uint32_t EV_RXCHAR = 0x0001;
inline constexpr std::uint32_t EV_RXFLAG = 0x0002;

// Error word bits (read and cleared by clearCommError).
inline constexpr std::uint32_t CE_RXOVER = 0x0001;
inline constexpr std::uint32_t CE_OVERRUN = 0x0002;
inline constexpr std::uint32_t CE_RXPARITY = 0x0004;
inline constexpr std::uint32_t CE_FRAME = 0x0008;
inline constexpr std::uint32_t CE_BREAK = 0x0010;
inline constexpr std::uint32_t CE_TXFULL = 0x0100;
inline constexpr std::uint32_t CE_IOE = 0x0400;
inline constexpr std::uint32_t CE_MODE = 0x8000;

// Modem input bits.
inline constexpr std::uint32_t MS_CTS_ON = 0x0010;
inline constexpr std::uint32_t MS_DSR_ON = 0x0020;
inline constexpr std::uint32_t MS_RING_ON = 0x0040;
inline constexpr std::uint32_t MS_RLSD_ON = 0x0080;

// Escape functions.
inline constexpr int SETXOFF = 1;
inline constexpr int SETXON = 2;
inline constexpr int SETRTS = 3;
inline constexpr int CLRRTS = 4;
inline constexpr int SETDTR = 5;
inline constexpr int CLRDTR = 6;
inline constexpr int SETBREAK = 8;
inline constexpr int CLRBREAK = 9;

// Purge flags.
inline constexpr std::uint32_t PURGE_TXABORT = 0x0001;
inline constexpr std::uint32_t PURGE_RXABORT = 0x0002;
inline constexpr std::uint32_t PURGE_TXCLEAR = 0x0004;
inline constexpr std::uint32_t PURGE_RXCLEAR = 0x0008;
inline constexpr std::uint32_t PURGE_ALL = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;

// DCB field codes.
inline constexpr std::uint8_t NOPARITY = 0, ODDPARITY = 1, EVENPARITY = 2, MARKPARITY = 3, SPACEPARITY = 4;
inline constexpr std::uint8_t ONESTOPBIT = 0, ONE5STOPBITS = 1, TWOSTOPBITS = 2;
inline constexpr std::uint32_t DTR_CONTROL_DISABLE = 0, DTR_CONTROL_ENABLE = 1, DTR_CONTROL_HANDSHAKE = 2;
inline constexpr std::uint32_t RTS_CONTROL_DISABLE = 0, RTS_CONTROL_ENABLE = 1, RTS_CONTROL_HANDSHAKE = 2,
                               RTS_CONTROL_TOGGLE = 3;

inline constexpr std::uint32_t MAXDWORD = 0xFFFFFFFFu;

// The device control block. `flags` holds the bit fields in their Win32 order:
// fBinary, fParity, fOutxCtsFlow, fOutxDsrFlow, fDtrControl (2 bits), fDsrSensitivity,
// fTXContinueOnXoff, fOutX, fInX, fErrorChar, fNull, fRtsControl (2 bits), fAbortOnError, fDummy2 (17 bits).
struct Dcb {
    static constexpr std::size_t kSize = 28;

    std::uint32_t DCBlength = kSize;
    std::uint32_t BaudRate = 0;
    std::uint32_t flags = 0;
    std::uint16_t wReserved = 0;
    std::uint16_t XonLim = 0;
    std::uint16_t XoffLim = 0;
    std::uint8_t ByteSize = 0;
    std::uint8_t Parity = 0;
    std::uint8_t StopBits = 0;
    std::uint8_t XonChar = 0;
    std::uint8_t XoffChar = 0;
    std::uint8_t ErrorChar = 0;
    std::uint8_t EofChar = 0;
    std::uint8_t EvtChar = 0;
    std::uint16_t wReserved1 = 0;

    // Where each bit field lies in `flags`: {shift, width}, used by its getter and its setter.
    struct Bits {
        int shift, width;
    };
    static constexpr Bits kBinary{0, 1}, kParity{1, 1}, kOutxCtsFlow{2, 1}, kOutxDsrFlow{3, 1}, kDtrControl{4, 2},
        kDsrSensitivity{6, 1}, kTXContinueOnXoff{7, 1}, kOutX{8, 1}, kInX{9, 1}, kErrorChar{10, 1}, kNull{11, 1},
        kRtsControl{12, 2}, kAbortOnError{14, 1}, kDummy2{15, 17};

    [[nodiscard]] std::uint32_t field(Bits b) const { return (flags >> b.shift) & ((1u << b.width) - 1u); }
    void setField(Bits b, std::uint32_t v)
    {
        const std::uint32_t mask = ((b.width == 32) ? 0xFFFFFFFFu : ((1u << b.width) - 1u)) << b.shift;
        flags = (flags & ~mask) | ((v << b.shift) & mask);
    }

    [[nodiscard]] bool fBinary() const { return field(kBinary); }
    [[nodiscard]] bool fParity() const { return field(kParity); }
    [[nodiscard]] bool fOutxCtsFlow() const { return field(kOutxCtsFlow); }
    [[nodiscard]] bool fOutxDsrFlow() const { return field(kOutxDsrFlow); }
    [[nodiscard]] std::uint32_t fDtrControl() const { return field(kDtrControl); }
    [[nodiscard]] bool fDsrSensitivity() const { return field(kDsrSensitivity); }
    [[nodiscard]] bool fTXContinueOnXoff() const { return field(kTXContinueOnXoff); }
    [[nodiscard]] bool fOutX() const { return field(kOutX); }
    [[nodiscard]] bool fInX() const { return field(kInX); }
    [[nodiscard]] bool fErrorChar() const { return field(kErrorChar); }
    [[nodiscard]] bool fNull() const { return field(kNull); }
    [[nodiscard]] std::uint32_t fRtsControl() const { return field(kRtsControl); }
    [[nodiscard]] bool fAbortOnError() const { return field(kAbortOnError); }
    [[nodiscard]] std::uint32_t fDummy2() const { return field(kDummy2); }

    void setFBinary(bool v) { setField(kBinary, v); }
    void setFParity(bool v) { setField(kParity, v); }
    void setFOutxCtsFlow(bool v) { setField(kOutxCtsFlow, v); }
    void setFOutxDsrFlow(bool v) { setField(kOutxDsrFlow, v); }
    void setFDtrControl(std::uint32_t v) { setField(kDtrControl, v); }
    void setFDsrSensitivity(bool v) { setField(kDsrSensitivity, v); }
    void setFTXContinueOnXoff(bool v) { setField(kTXContinueOnXoff, v); }
    void setFOutX(bool v) { setField(kOutX, v); }
    void setFInX(bool v) { setField(kInX, v); }
    void setFErrorChar(bool v) { setField(kErrorChar, v); }
    void setFNull(bool v) { setField(kNull, v); }
    void setFRtsControl(std::uint32_t v) { setField(kRtsControl, v); }
    void setFAbortOnError(bool v) { setField(kAbortOnError, v); }
    void setFDummy2(std::uint32_t v) { setField(kDummy2, v); }

    void toBytes(std::span<std::uint8_t, kSize> out) const;
    static Dcb fromBytes(std::span<const std::uint8_t, kSize> in);
    bool operator==(const Dcb&) const = default;
};

struct CommTimeouts {
    static constexpr std::size_t kSize = 20;

    std::uint32_t ReadIntervalTimeout = 0;
    std::uint32_t ReadTotalTimeoutMultiplier = 0;
    std::uint32_t ReadTotalTimeoutConstant = 0;
    std::uint32_t WriteTotalTimeoutMultiplier = 0;
    std::uint32_t WriteTotalTimeoutConstant = 0;

    void toBytes(std::span<std::uint8_t, kSize> out) const;
    static CommTimeouts fromBytes(std::span<const std::uint8_t, kSize> in);
    bool operator==(const CommTimeouts&) const = default;
};

// The stored layouts (Win32's), one table each for writing and reading.
constexpr auto tableOf(std::type_identity<Dcb>)
{
    using le::at;
    return le::table<Dcb>(Dcb::kSize, at(0, &Dcb::DCBlength), at(4, &Dcb::BaudRate), at(8, &Dcb::flags),
                          at(12, &Dcb::wReserved), at(14, &Dcb::XonLim), at(16, &Dcb::XoffLim),
                          at(18, &Dcb::ByteSize), at(19, &Dcb::Parity), at(20, &Dcb::StopBits),
                          at(21, &Dcb::XonChar), at(22, &Dcb::XoffChar), at(23, &Dcb::ErrorChar),
                          at(24, &Dcb::EofChar), at(25, &Dcb::EvtChar), at(26, &Dcb::wReserved1));
}

constexpr auto tableOf(std::type_identity<CommTimeouts>)
{
    using le::at;
    using T = CommTimeouts;
    return le::table<T>(T::kSize, at(0, &T::ReadIntervalTimeout), at(4, &T::ReadTotalTimeoutMultiplier),
                        at(8, &T::ReadTotalTimeoutConstant), at(12, &T::WriteTotalTimeoutMultiplier),
                        at(16, &T::WriteTotalTimeoutConstant));
}

// Port status of clearCommError. `flags`: fCtsHold, fDsrHold, fRlsdHold, fXoffHold, fXoffSent, fEof, fTxim.
struct ComStat {
    std::uint32_t flags = 0;
    std::uint32_t cbInQue = 0;
    std::uint32_t cbOutQue = 0;

    static constexpr std::uint32_t fCtsHold = 0x01, fDsrHold = 0x02, fRlsdHold = 0x04, fXoffHold = 0x08,
                                   fXoffSent = 0x10, fEof = 0x20, fTxim = 0x40;
};

// The line defaults of a channel: 9600 baud, 8 data bits, no parity, one stop bit, no flow control.
// DCBlength and the reserved words are left as they are.
void applyLineDefaults(Dcb& dcb);
CommTimeouts defaultTimeouts();

} // namespace kestrane
