// What the display dialogs compute, without widgets: the display mode (TDialog5), the low-speed
// display and buffer size (TDialog7), the start-up window size (TDialog14), the other settings
// (TDialog13) and automatic logging (TDialog19).
#pragma once

#include "records/settings_records.h"
#include "i18n/language.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kestrane {

// ---- dialog 705 ----

inline constexpr const char* kTimeStampsInBufferText =
    I18N_NOOP("Kestrane", "バッファー内で時刻が記憶しています。一度表示クリアをして下さい。");

// The radio button of a display mode (501..504), 0 for a mode without one.
[[nodiscard]] int displayModeRadio(std::int32_t mode);
struct DisplayModeChoice {
    std::int32_t mode = 0;
    bool warnTimeStamps = false;  // show kTimeStampsInBufferText (the change goes ahead)
};
// "OK" with `checkedRadio` (501..504, 0 for none) while the mode is `current`.
[[nodiscard]] DisplayModeChoice chooseDisplayMode(std::int32_t current, int checkedRadio);

// ---- dialog 707 ----

struct PlControls {
    bool fastDisplayAtStart = false;  // 329
    bool fullRedisplay = false;       // 306
    bool autoScroll = false;          // 326
    std::string idleClockFactor;      // 401
    std::string baseClockMs;          // 402
    std::string idleRedisplayCount;   // 403
    std::string trafficDisplayCount;  // 404
    std::string bufferSize;           // 412
};
[[nodiscard]] PlControls plControlsFor(const SettingsRecord& record);

enum class BufferSizeNotice { SetTo600, SetTo200, MadeEven };
[[nodiscard]] const char* bufferSizeNoticeText(BufferSizeNotice notice);
// "OK": stores every control; the buffer size is brought into 200..600 and made even, with the
// notices to show in their order.
std::vector<BufferSizeNotice> applyPlControls(SettingsRecord& record, const PlControls& controls);

// ---- dialog 714 ----

// Radio buttons 501, 502, 503, 504, 509, 510 for the size codes 0..5; 0 for another code.
[[nodiscard]] int startupSizeRadio(std::int32_t code);
// "OK": the code of the checked radio button (502 and none give 1).
[[nodiscard]] std::int32_t startupSizeCodeFor(int checkedRadio);

// ---- dialog 713 ----

struct OtherControls {
    bool noExitSaveQuery = false;         // 305
    bool comNumbersFromSystem = false;    // 101
    bool showSentText = false;            // 102
    bool checksumLowerCase = false;       // 103
    std::string pdfReaderPath;            // 104, the program's file name as the system spells it
    std::string pdfPageCommand;           // 108
};
[[nodiscard]] OtherControls otherControlsFor(const Settings& settings);
// "OK": every control stored; each text the user changed replaces the stored one (cut to its
// field), a text left as shown keeps its stored bytes.
void applyOtherControls(Settings& settings, const OtherControls& controls);

// ---- dialog 719 ----

struct AutoLogControls {
    bool autoLogging = false;  // 324
    std::string prefix;        // 401
};
[[nodiscard]] AutoLogControls autoLogControlsFor(const SamplingSettings& sampling);
// "OK": the switch stored; a changed prefix replaces the stored one, one left as shown stays.
void applyAutoLogControls(SamplingSettings& sampling, const AutoLogControls& controls);

} // namespace kestrane
