// Every dialog's id, its object name: code that opens, finds or pictures a dialog names it here
// instead of by its bare number.
#pragma once

namespace kestrane::dialog_id {

inline constexpr const char* ControlCharacters = "20";  // TDialog20
inline constexpr const char* InputSignals = "25";       // TDialog25
inline constexpr const char* DioMonitor = "409";        // TDialog9
inline constexpr const char* LongStringSend = "701";    // TRsinputsend
inline constexpr const char* ComPort = "703";           // TDialog3
inline constexpr const char* Macro = "704";             // TMacrosend
inline constexpr const char* Display = "705";           // TDialog5
inline constexpr const char* About = "706";
inline constexpr const char* PlSettings = "707";        // TDialog7
inline constexpr const char* TypedSend = "708";         // TRsinputsend1
inline constexpr const char* Dcb = "711";               // TDialog11, TDialog11a
inline constexpr const char* FixedStringSend = "712";   // TRsinputsend2
inline constexpr const char* OtherSettings = "713";     // TDialog13
inline constexpr const char* StartupSize = "714";       // TDialog14
inline constexpr const char* SamplingSettings = "715";  // TDialog15
inline constexpr const char* SamplingView = "716";      // TDialog16
inline constexpr const char* LineStatus = "717";        // TDialog17, TDialog17a
inline constexpr const char* PortDetails = "718";       // TDialog18
inline constexpr const char* AutoLog = "719";           // TDialog19
inline constexpr const char* Search = "721";
inline constexpr const char* MacroClock = "722";        // TDialog22
inline constexpr const char* Enumeration = "723";
inline constexpr const char* ChecksumSettings = "724";  // TDialog24
inline constexpr const char* LineEvents = "events";     // TEventWindow (ours: 回線イベント)

} // namespace kestrane::dialog_id
