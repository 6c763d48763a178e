// What the macro dialog 704 and the clock dialog 722 decide, without windows: the clock
// choices, reading a macro file, the display switch rule and the dialog's texts.
#pragma once

#include "i18n/language.h"

#include "macro/macro_memory.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

namespace kestrane {

// The radio buttons of dialog 722 and their periods.
struct MacroClockChoice {
    int id;
    const char* text;  // UTF-8
    std::int32_t periodMs;
};
inline constexpr std::array<MacroClockChoice, 8> kMacroClockChoices{{
    {501, I18N_NOOP("MacroText", "10ｍS"), 10},
    {502, "25mS", 25},
    {503, "50mS", 50},
    {504, "100mS", 100},
    {509, "200mS", 200},
    {510, "300mS", 300},
    {524, "500mS", 500},
    {525, "1000mS", 1000},
}};
inline constexpr std::int32_t kDefaultMacroClockMs = 200;

// The button checked when dialog 722 opens; none for a period it does not offer.
[[nodiscard]] std::optional<int> macroClockButtonFor(std::int32_t periodMs);
// macroClockMs after OK: the checked button's period, 200 when none is checked.
[[nodiscard]] std::int32_t macroClockAfterOk(std::optional<int> checkedId);
// The timer period of a run: a stored value the dialog does not offer still runs, held to
// 1..1000 ms so a damaged setting can neither spin nor stall the timer.
[[nodiscard]] int macroTimerPeriod(std::int32_t macroClockMs);

// Reads up to 25600 bytes of a macro file; nothing when it cannot be opened.
[[nodiscard]] std::optional<std::vector<std::uint8_t>> readMacroFile(const std::filesystem::path& path);

// The display switch 216 works only in the ASC display.
[[nodiscard]] bool macroDisplaySwitchAllowed(std::int32_t displayMode);

// Texts of the dialog and its commands (UTF-8, Japanese; shown through translate("MacroText", ...)).
namespace macro_text {
inline constexpr const char* kChooseFile = I18N_NOOP("MacroText", "Macroファイルを選んで下さい。");
inline constexpr const char* kCannotRead = I18N_NOOP("MacroText", "Macroファイルが読めません。");
inline constexpr const char* kListFull = I18N_NOOP("MacroText", "Macroファイル２０個までです。");
inline constexpr const char* kPathTooLong = I18N_NOOP("MacroText", "Macroファイルのパスが長すぎます。");
inline constexpr const char* kSwitchOnlyInAsc = I18N_NOOP("MacroText", "ＡＳＣ表示以外は切り替えしません。");
inline constexpr const char* kSendFailed = I18N_NOOP("MacroText", "送信出来ませんでした。");
inline constexpr const char* kRefusedInTimeStamped = I18N_NOOP("MacroText", "表示が時刻付きＡＳＣ表示なのでマクロは実行出来ません");
inline constexpr const char* kEditorMissing = I18N_NOOP("MacroText", "notepad.exeが見つかりませんでした。");
inline constexpr const char* kOpenTitle = I18N_NOOP("MacroText", "Ｍａｃｒｏファイル読み出し");
inline constexpr const char* kAddTitle = I18N_NOOP("MacroText", "Ｍａｃｒｏファイルリスト追加");
inline constexpr const char* kEditTitle = I18N_NOOP("MacroText", "Ｍａｃｒｏファイル編集");
inline constexpr const char* kNoFile = "******.txt";
inline constexpr const char* kInitialStatus = I18N_NOOP("MacroText", "初期化");
} // namespace macro_text

inline constexpr int kMacroManualPage = 42;

} // namespace kestrane
