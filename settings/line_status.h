// What the line-status windows (TDialog17 / TDialog17a, TDialog25) read and do, without widgets:
// one sample of a channel's error word, hold reasons, queue counts and modem inputs, the latched
// error word with its hold switch, and the line-control escapes.
#pragma once

#include "platform/comm_types.h"
#include "i18n/language.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace kestrane {

class Channels;

// A lamp: its label (control id and text) and the bit that lights it.
struct LampDef {
    int labelId;
    const char* label;
    std::uint32_t bit;
};

// Error lamps, top to bottom (bits of the error word).
inline constexpr std::array<LampDef, 8> kErrorLamps = {{
    {608, I18N_NOOP("Kestrane", "ブレーク状態"), CE_BREAK},
    {610, I18N_NOOP("Kestrane", "フレーミングエラー"), CE_FRAME},
    {612, I18N_NOOP("Kestrane", "オーバーランエラー"), CE_OVERRUN},
    {613, I18N_NOOP("Kestrane", "モードエラー"), CE_MODE},
    {615, I18N_NOOP("Kestrane", "I/O エラー"), CE_IOE},
    {617, I18N_NOOP("Kestrane", "受信BFオーバー"), CE_RXOVER},
    {619, I18N_NOOP("Kestrane", "受信パリティエラー"), CE_RXPARITY},
    {621, I18N_NOOP("Kestrane", "送信BF満杯"), CE_TXFULL},
}};
// Transmit-hold lamps, top to bottom (ComStat flags).
inline constexpr std::array<LampDef, 7> kComStatLamps = {{
    {607, I18N_NOOP("Kestrane", "送信はCTS待ち"), ComStat::fCtsHold},
    {696, I18N_NOOP("Kestrane", "送信はDSR待ち"), ComStat::fDsrHold},
    {611, I18N_NOOP("Kestrane", "送信はRLSD(CD)待ち"), ComStat::fRlsdHold},
    {601, I18N_NOOP("Kestrane", "送信停止XOFFを受信"), ComStat::fXoffHold},
    {614, I18N_NOOP("Kestrane", "送信停止XOFFを送信"), ComStat::fXoffSent},
    {616, I18N_NOOP("Kestrane", "EOF文字を送出"), ComStat::fEof},
    {618, I18N_NOOP("Kestrane", "文字の送信待ち"), ComStat::fTxim},
}};
// Modem-input lamps of dialog 717, top to bottom.
inline constexpr std::array<LampDef, 4> kModemLamps = {{
    {103, "CTS", MS_CTS_ON},
    {102, "DSR", MS_DSR_ON},
    {104, "RING", MS_RING_ON},
    {105, "RLSD", MS_RLSD_ON},
}};
// The CH2 column of dialog 25 (its CH1 column is kModemLamps).
inline constexpr std::array<LampDef, 4> kCh2ModemLamps = {{
    {108, "CTS", MS_CTS_ON},
    {107, "DSR", MS_DSR_ON},
    {109, "RING", MS_RING_ON},
    {110, "RLSD", MS_RLSD_ON},
}};

// The eight line-control buttons of dialog 717: id, label, escape function.
struct LineControlButton {
    int id;
    const char* label;
    int escape;
};
inline constexpr std::array<LineControlButton, 8> kLineControlButtons = {{
    {201, I18N_NOOP("Kestrane", "DTR を OFF"), CLRDTR},
    {202, I18N_NOOP("Kestrane", "DTR を ON "), SETDTR},
    {203, I18N_NOOP("Kestrane", "RTS を OFF "), CLRRTS},
    {216, I18N_NOOP("Kestrane", "RTS を ON "), SETRTS},
    {217, I18N_NOOP("Kestrane", "XOFFの処理"), SETXOFF},
    {218, I18N_NOOP("Kestrane", "XONの処理"), SETXON},
    {219, I18N_NOOP("Kestrane", "送信ブレーク"), SETBREAK},
    {220, I18N_NOOP("Kestrane", "ブレーク復帰"), CLRBREAK},
}};

inline constexpr const char* kHoldText = I18N_NOOP("Kestrane", " HOLD中 ");
inline constexpr const char* kLiveText = I18N_NOOP("Kestrane", "常時表示");
inline constexpr const char* kAutomaticText = I18N_NOOP("Kestrane", "自動状態");
inline constexpr const char* kManualText = I18N_NOOP("Kestrane", "手動状態");
inline constexpr int kLineStatusFirstPeriodMs = 200;

// The per-channel state that outlives the windows: the latched error word and the hold switch
// (0 latching, shown " HOLD中 "; 1 live, shown "常時表示"). One per run, shared by every window.
struct LineStatusMemory {
    std::array<std::uint32_t, 2> latched{};
    std::array<int, 2> hold{};
};

// One sample of a channel.
struct LineStatusReading {
    bool portOpen = false;    // false: the channel's port is closed; nothing below was read
    bool statusRead = false;  // the error word and ComStat were read
    std::uint32_t errors = 0; // the latched error word the lamps show
    ComStat stat;
    bool modemRead = false;   // false where the device has no modem lines (a pseudo-terminal)
    std::uint32_t modem = 0;
    std::optional<bool> lowLatency;  // whether the driver holds low latency; nothing: no such setting
};

// What the window says of the driver's low latency (asked for at open): empty where the device
// has no such setting (a pseudo-terminal, a network line).
[[nodiscard]] const char* lowLatencyText(std::optional<bool> lowLatency);

// The line-status logic of one channel: reads through Channels (never keeping the port, which a
// close destroys), so a window may outlive its port. GUI thread only.
class LineStatusProbe {
public:
    LineStatusProbe(Channels& channels, LineStatusMemory& memory, int channel);

    // Reads and clears the port's error state (adding the errors the receive and transmit paths
    // collected since the last sample), latches it as the hold switch says, reads the status and
    // the modem inputs.
    LineStatusReading sample();
    // "Hold": flips the hold switch (no sample).
    void toggleHold();
    [[nodiscard]] int hold() const;
    [[nodiscard]] const char* holdText() const { return hold() == 1 ? kLiveText : kHoldText; }
    // "Reset": the latched word becomes 0 (the caller then takes a sample).
    void resetLatched();
    // A line-control button: one escape function on the port. 0 when the port took it, else the
    // system's reason (ENOTTY: the device has no such line, as a pseudo-terminal has no DTR/RTS;
    // ENODEV: the port is closed or gone).
    [[nodiscard]] int lineControl(int escape);

    [[nodiscard]] int channel() const { return channel_; }

private:
    Channels& channels_;
    LineStatusMemory& memory_;
    int channel_;
};

// The modem inputs of a channel for dialog 25; nothing read (false) when its port is closed or has
// no modem lines.
bool readModemInputs(Channels& channels, int channel, std::uint32_t& status);

// The period of the "自動" button from its edit: the decimal value, raised to the shortest timer period.
[[nodiscard]] int samplingPeriodMs(std::string_view text);

} // namespace kestrane
