#include "settings/line_status.h"

#include "i18n/language.h"

#include <cerrno>

#include "comm/channel.h"
#include "settings/dialog_values.h"

namespace kestrane {

LineStatusProbe::LineStatusProbe(Channels& channels, LineStatusMemory& memory, int channel)
    : channels_(channels), memory_(memory), channel_(channel == 2 ? 2 : 1)
{
}

LineStatusReading LineStatusProbe::sample()
{
    LineStatusReading r;
    SerialPort* port = channels_.port(channel_);
    if (!port)
        return r;
    r.portOpen = true;

    std::uint32_t current = 0;
    r.statusRead = port->clearCommError(current, &r.stat);
    // The receive thread and the transmit path clear the port's errors too; what they saw since
    // the last sample counts as current here, so an error is not lost to whoever read it first.
    current |= channels_.takeAccumulatedErrors(channel_);
    std::uint32_t& latched = memory_.latched[static_cast<std::size_t>(channel_ - 1)];
    latched = hold() == 0 ? (latched | current) : current;
    r.errors = latched;

    r.modemRead = port->getCommModemStatus(r.modem);
    if (!r.modemRead)
        r.modem = 0;
    r.lowLatency = port->lowLatency();
    return r;
}

const char* lowLatencyText(std::optional<bool> lowLatency)
{
    if (!lowLatency)
        return "";
    // Without it a USB adapter holds received bytes up to its latency timer (16 ms on common ones).
    return *lowLatency ? I18N_NOOP("LineStatusDialog", "低遅延モード: 有効")
                       : I18N_NOOP("LineStatusDialog", "低遅延モード: 無効（受信の時刻が最大16 ms遅れ、フレームがまとまることがあります）");
}

void LineStatusProbe::toggleHold()
{
    int& h = memory_.hold[static_cast<std::size_t>(channel_ - 1)];
    h = h == 1 ? 0 : 1;
}

int LineStatusProbe::hold() const { return memory_.hold[static_cast<std::size_t>(channel_ - 1)]; }

void LineStatusProbe::resetLatched() { memory_.latched[static_cast<std::size_t>(channel_ - 1)] = 0; }

int LineStatusProbe::lineControl(int escape)
{
    // Through the channels, so the line's timeline notes it.
    return channels_.escape(channel_, escape);
}

bool readModemInputs(Channels& channels, int channel, std::uint32_t& status)
{
    status = 0;
    SerialPort* port = channels.port(channel);
    if (!port || !port->getCommModemStatus(status)) {
        status = 0;
        return false;
    }
    return true;
}

int samplingPeriodMs(std::string_view text) { return timerPeriodMs(decimalValue(text)); }

} // namespace kestrane
