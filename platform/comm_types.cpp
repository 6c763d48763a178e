#include "platform/comm_types.h"

namespace kestrane {

void Dcb::toBytes(std::span<std::uint8_t, kSize> out) const { le::writeRecord(*this, out); }

Dcb Dcb::fromBytes(std::span<const std::uint8_t, kSize> in) { return le::readRecord<Dcb>(in); }

void CommTimeouts::toBytes(std::span<std::uint8_t, kSize> out) const { le::writeRecord(*this, out); }

CommTimeouts CommTimeouts::fromBytes(std::span<const std::uint8_t, kSize> in)
{
    return le::readRecord<CommTimeouts>(in);
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
