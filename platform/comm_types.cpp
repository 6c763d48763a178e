#include "platform/comm_types.h"

#include "platform/le_bytes.h"

namespace kestrane {

void Dcb::toBytes(std::span<std::uint8_t, kSize> out) const
{
    le::put32(out, 0, DCBlength);
    le::put32(out, 4, BaudRate);
    le::put32(out, 8, flags);
    le::put16(out, 12, wReserved);
    le::put16(out, 14, XonLim);
    le::put16(out, 16, XoffLim);
    le::put8(out, 18, ByteSize);
    le::put8(out, 19, Parity);
    le::put8(out, 20, StopBits);
    le::put8(out, 21, XonChar);
    le::put8(out, 22, XoffChar);
    le::put8(out, 23, ErrorChar);
    le::put8(out, 24, EofChar);
    le::put8(out, 25, EvtChar);
    le::put16(out, 26, wReserved1);
}

Dcb Dcb::fromBytes(std::span<const std::uint8_t, kSize> in)
{
    Dcb d;
    d.DCBlength = le::get32(in, 0);
    d.BaudRate = le::get32(in, 4);
    d.flags = le::get32(in, 8);
    d.wReserved = le::get16(in, 12);
    d.XonLim = le::get16(in, 14);
    d.XoffLim = le::get16(in, 16);
    d.ByteSize = le::get8(in, 18);
    d.Parity = le::get8(in, 19);
    d.StopBits = le::get8(in, 20);
    d.XonChar = le::get8(in, 21);
    d.XoffChar = le::get8(in, 22);
    d.ErrorChar = le::get8(in, 23);
    d.EofChar = le::get8(in, 24);
    d.EvtChar = le::get8(in, 25);
    d.wReserved1 = le::get16(in, 26);
    return d;
}

void CommTimeouts::toBytes(std::span<std::uint8_t, kSize> out) const
{
    le::put32(out, 0, ReadIntervalTimeout);
    le::put32(out, 4, ReadTotalTimeoutMultiplier);
    le::put32(out, 8, ReadTotalTimeoutConstant);
    le::put32(out, 12, WriteTotalTimeoutMultiplier);
    le::put32(out, 16, WriteTotalTimeoutConstant);
}

CommTimeouts CommTimeouts::fromBytes(std::span<const std::uint8_t, kSize> in)
{
    CommTimeouts t;
    t.ReadIntervalTimeout = le::get32(in, 0);
    t.ReadTotalTimeoutMultiplier = le::get32(in, 4);
    t.ReadTotalTimeoutConstant = le::get32(in, 8);
    t.WriteTotalTimeoutMultiplier = le::get32(in, 12);
    t.WriteTotalTimeoutConstant = le::get32(in, 16);
    return t;
}

void applyLineDefaults(Dcb& dcb)
{
    dcb.BaudRate = 9600;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.flags = 0;
    dcb.setFBinary(true);
    dcb.setFDtrControl(DTR_CONTROL_ENABLE);
    dcb.setFRtsControl(RTS_CONTROL_DISABLE);
    dcb.XonLim = 2048;
    dcb.XoffLim = 512;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    dcb.ErrorChar = 0;
    dcb.EofChar = 0;
    dcb.EvtChar = 0x0D;
}

CommTimeouts defaultTimeouts()
{
    return CommTimeouts{100, 2, 100, 10, 1000};
}

} // namespace kestrane
