#include "headless/timeline_text.h"

#include "platform/comm_types.h"
#include "platform/serial_port.h"

#include <cstdio>
#include <ctime>

namespace kestrane::headless {

std::string isoTime(std::int64_t wallUs)
{
    const std::int64_t seconds = wallUs >= 0 ? wallUs / 1'000'000 : (wallUs - 999'999) / 1'000'000;
    const auto micros = static_cast<long>(wallUs - seconds * 1'000'000);
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    localtime_r(&t, &tm);
    char date[32], zone[8];
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &tm);
    std::strftime(zone, sizeof zone, "%z", &tm);  // +0900
    char text[64];
    std::snprintf(text, sizeof text, "%s.%06ld%.3s:%.2s", date, micros, zone, zone + 3);
    return text;
}

namespace {

std::string modemText(std::uint32_t lines, std::uint32_t changed, std::uint32_t count)
{
    static constexpr std::pair<std::uint32_t, const char*> kLines[] = {
        {MS_CTS_ON, "CTS"}, {MS_DSR_ON, "DSR"}, {MS_RING_ON, "RI"}, {MS_RLSD_ON, "DCD"}};
    std::string text = "modem";
    for (const auto& [bit, name] : kLines)
        text += std::string(" ") + name + ((lines & bit) ? "=1" : "=0");
    std::string which;
    int bits = 0;
    for (const auto& [bit, name] : kLines)
        if (changed & bit) {
            which += (which.empty() ? "" : ",") + std::string(name);
            ++bits;
        }
    if (!which.empty())
        text += " changed " + which;
    // A line that toggled during one wait shows no change of state but was counted.
    if (count > static_cast<std::uint32_t>(bits))
        text += " (" + std::to_string(count) + " changes counted)";
    return text;
}

std::string errorText(const timeline::Entry& e)
{
    using timeline::LineError;
    const auto kind = static_cast<LineError>(e.detail);
    const std::string at = std::to_string(e.record);
    switch (kind) {
    case LineError::Parity: return "line-error parity at byte " + at;
    case LineError::Framing: return "line-error framing at byte " + at;
    case LineError::ParityOrFraming: return "line-error parity or framing at byte " + at;
    case LineError::Break: return "line-error break before byte " + at;
    case LineError::Overrun:
    case LineError::BufferOverrun: {
        std::string text = kind == LineError::Overrun ? "line-error overrun" : "line-error buffer overrun";
        text += " before byte " + at;
        if (e.value > 0)
            text += " (" + std::to_string(e.value) + " bytes lost)";
        return text;
    }
    }
    return "line-error (kind " + std::to_string(e.detail) + ") at byte " + at;
}

std::string purgeText(std::uint32_t flags)
{
    static constexpr std::pair<std::uint32_t, const char*> kFlags[] = {
        {PURGE_TXABORT, "transmit abort"}, {PURGE_RXABORT, "receive abort"},
        {PURGE_TXCLEAR, "transmit clear"}, {PURGE_RXCLEAR, "receive clear"}};
    std::string text;
    for (const auto& [bit, name] : kFlags)
        if (flags & bit)
            text += (text.empty() ? "" : ", ") + std::string(name);
    return "purge (" + (text.empty() ? std::string("nothing") : text) + ")";
}

std::string lossWords(std::uint32_t reason)
{
    switch (static_cast<LossReason>(reason)) {
    case LossReason::IoError: return "an input/output error";
    case LossReason::ClosedByServer: return "the server closed the connection";
    case LossReason::ConnectionReset: return "the connection broke";
    case LossReason::NoAnswer: return "the server stopped answering";
    default: return "the device went away";
    }
}

std::string actionText(const timeline::Entry& e)
{
    using timeline::Action;
    switch (static_cast<Action>(e.detail)) {
    case Action::DtrOn: return "action DTR on";
    case Action::DtrOff: return "action DTR off";
    case Action::RtsOn: return "action RTS on";
    case Action::RtsOff: return "action RTS off";
    case Action::BreakOn: return "action break on";
    case Action::BreakOff: return "action break off";
    case Action::Xoff: return "action XOFF";
    case Action::Xon: return "action XON";
    case Action::Purge: return "action " + purgeText(e.value);
    case Action::SettingsApplied: return "action line settings applied (" + std::to_string(e.value) + " bps)";
    case Action::Opened: return "action opened COM" + std::to_string(e.value);
    case Action::Closed: return "action closed";
    case Action::DeviceLost: return "action lost: " + lossWords(e.value);
    case Action::Reconnected: return "action reconnected COM" + std::to_string(e.value);
    case Action::LowLatency:
        return e.value ? "action low latency held by the driver" : "action low latency refused by the driver";
    case Action::UserMark: return "action mark " + std::to_string(e.value);
    }
    return "action " + std::to_string(e.detail);
}

} // namespace

std::string entryText(const timeline::Entry& e)
{
    const std::string channel = "CH" + std::to_string(e.channel) + " ";
    switch (e.kind) {
    case timeline::Kind::Data: return {};
    case timeline::Kind::LineError: return channel + errorText(e);
    case timeline::Kind::ModemChange: return channel + modemText(e.detail, e.value, e.count);
    case timeline::Kind::Action: return channel + actionText(e);
    case timeline::Kind::Lost: return channel + "capture lost " + std::to_string(e.value) + " bytes before byte " + std::to_string(e.record);
    }
    return {};
}

std::string entryLine(const timeline::Entry& e) { return isoTime(e.time.wallUs) + " " + entryText(e); }

} // namespace kestrane::headless
