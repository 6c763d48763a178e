// What the COM-port dialog (TDialog3) and its detail dialog (TDialog18) compute, without widgets:
// the port texts "COM%d", the list of ports offered, the checks of "登録" and what they store.
#pragma once

#include "comm/channel.h"
#include "i18n/language.h"
#include "platform/port_catalog.h"
#include "records/settings_records.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrane {

// Messages of the two dialogs (UTF-8).
inline constexpr const char* kCh1PortWrongText = I18N_NOOP("Kestrane", "CH1のポート番号が違います。");
inline constexpr const char* kCh2PortWrongText = I18N_NOOP("Kestrane", "CH2のポート番号が違います。");
inline constexpr const char* kPortsOverlapText = I18N_NOOP("Kestrane", "CH1とCH2が重なっています。");
inline constexpr const char* kEnableCh2FirstText = I18N_NOOP("Kestrane", "CH2を有効にして下さい。");
inline constexpr const char* kNoReceiveEventText = I18N_NOOP("Kestrane", "EV_RXCHAR又はEV_RXFLAGどちらかＯＮして下さい");
inline constexpr const char* kEnumerationQuestionText =
    I18N_NOOP("Kestrane", "ComProt番号の列挙時間が10秒超えました。\r\nさらに列挙しますか？");
inline constexpr const char* kEnumerationCaption = I18N_NOOP("Kestrane", "ComProt列挙");
inline constexpr const char* kPortsConfNotWrittenText =
    I18N_NOOP("Kestrane", "ports.confに書き込めないため、新しく見つかったポートに番号を付けられません。");
// Shown in the dialog when the system lists no serial port at all.
inline constexpr const char* kNoSerialPortText =
    I18N_NOOP("Kestrane", "シリアルポートが見つかりません。装置なしで試すには端末で kestrane-demo -- kestrane を実行し、"
    "装置を使うにはこのフォルダの ports.conf に COM1=/dev/ttyUSB0 のように書いてください。");

// The port list of the dialog's combo boxes reads at most this many characters.
inline constexpr std::size_t kPortTextMax = 7;
// Enumeration asks whether to go on after this long.
inline constexpr std::int64_t kEnumerationQuestionMs = 10000;

// "COM%d".
[[nodiscard]] std::string portText(int comNumber);
// The number of a port text: the decimal value from its fourth character on (the first three are
// not checked). Nothing for a text shorter than 4 characters or a number outside 1..255.
[[nodiscard]] std::optional<int> portNumberOfText(std::string_view text);

// One entry of the port lists: the text the dialog parses and what the user needs to tell ports apart.
struct PortChoice {
    std::string text;         // "COM3"
    std::string path;         // the device it opens (empty for the fixed list)
    std::string description;  // maker and product, or the UART driver
};

// COM1 .. COM255, the list when the ports are not taken from the system.
[[nodiscard]] std::vector<PortChoice> fixedPortChoices();

// Where the system's ports are found and numbered.
struct PortSources {
    SerialDeviceTree tree;
    std::filesystem::path confFile;  // ports.conf in the start-up directory
};
struct PortEnumeration {
    std::vector<PortChoice> choices;
    bool confNotWritten = false;
};
// The system's ports with their stable numbers. Before each device looked at, when more than ten
// seconds passed since the start (or the last "yes"), `askGoOn` is asked; "no" keeps the ports found so far.
[[nodiscard]] PortEnumeration enumeratePortChoices(const PortSources& sources,
                                                   const std::function<std::int64_t()>& nowMs,
                                                   const std::function<bool()>& askGoOn);

// ---- TDialog3 ----

// The controls as set up from the record.
struct ComPortControls {
    std::string ch1Text;
    bool ch2Used = false;   // 327
    std::string ch2Text;    // 252, empty when CH2 is not used
    bool monitorOn = false; // 321
    bool relay = false;     // 527 selected (else 526)
};
[[nodiscard]] ComPortControls comPortControlsFor(const SettingsRecord& record);

struct ComPortEnabling {
    bool ch2List = false;  // 252
    bool monitor = false;  // 321
    bool radios = false;   // 526, 527
};
[[nodiscard]] constexpr ComPortEnabling comPortEnabling(bool ch2Used, bool monitorOn)
{
    return {ch2Used, ch2Used, ch2Used && monitorOn};
}

enum class ComPortCheck {
    Stored,      // the record holds the choice; the dialog closes
    Ch1Wrong,    // "CH1のポート番号が違います。"; nothing stored
    Ch2Wrong,    // "CH2のポート番号が違います。"; CH1 stored, CH2 fields unchanged
    Overlap,     // "CH1とCH2が重なっています。"; likewise
};
// "登録": checks the texts and stores what passed. On Ch2Wrong and Overlap the dialog unchecks
// 327 and empties 252.
ComPortCheck applyComPortControls(SettingsRecord& record, const ComPortControls& controls);

// The COM-port command's message for a failed open of `channel`; null for Opened and codes
// without a message.
[[nodiscard]] const char* reopenFailureText(int channel, OpenResult result);

// ---- TDialog18 ----

struct DetailControls {
    bool forceSize52 = false;  // 322
    std::string gapText;       // 402
    bool rxChar = false;       // 327
    bool rxFlag = false;       // 328
};
[[nodiscard]] DetailControls detailControlsFor(const SettingsRecord& record, int channel);

enum class DetailCheck { Stored, NoReceiveEvent };
// "登録": refuses when neither event is chosen, else stores the channel's four fields.
DetailCheck applyDetailControls(SettingsRecord& record, int channel, const DetailControls& controls);

} // namespace kestrane
