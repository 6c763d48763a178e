// The menu command ids of the main menu "IDM_MENU1".
#pragma once

namespace kestrane::cmd {

// File
inline constexpr int NewLog = 55500;
inline constexpr int OpenLog = 55501;
inline constexpr int SaveLog = 55502;
inline constexpr int SaveLogAs = 55503;
inline constexpr int SaveSampling = 37828;
// Our own: the record's timeline as a pcapng capture for Wireshark.
inline constexpr int SaveCapture = 55600;
// Our own: automatic logging also writes each page's timeline as a capture (a switch).
inline constexpr int AutoLogCaptures = 55601;
inline constexpr int PageSetup = 55504;
inline constexpr int Print = 55505;
inline constexpr int Exit = 55506;
// View
inline constexpr int FirstLine = 37833;
inline constexpr int LastLine = 37835;
inline constexpr int Search = 37836;
inline constexpr int Redisplay = 55507;
inline constexpr int ClearDisplay = 55508;
inline constexpr int DisplaySettings = 55509;
inline constexpr int TimeChart = 55510;
inline constexpr int ChecksumTool = 55511;
inline constexpr int CharacterTableTool = 55512;
inline constexpr int NumberConverterTool = 55513;
inline constexpr int SamplingView = 37826;
// Send
inline constexpr int SendTyped = 55515;
inline constexpr int SendFixed = 55516;
inline constexpr int SendControl = 37840;
inline constexpr int SendLong = 55517;
inline constexpr int RunMacro = 55518;
inline constexpr int TextTransferCh2 = 37834;
inline constexpr int TextTransferCh1 = 37839;
inline constexpr int IoMonitor = 55514;
// Settings
inline constexpr int ComPortSettings = 55519;
inline constexpr int SerialSettingsCh1 = 55520;
inline constexpr int SerialSettingsCh2 = 55521;
inline constexpr int DcbSettingsCh1 = 55522;
inline constexpr int DcbSettingsCh2 = 55523;
inline constexpr int LineStatusBoth = 37841;
inline constexpr int LineStatusCh2 = 37831;
inline constexpr int LineStatusCh1 = 37829;
inline constexpr int DioPortSettings = 55524;
inline constexpr int EditFixedStrings = 55525;
inline constexpr int NewMacro = 55526;
inline constexpr int EditMacro = 55527;
inline constexpr int AutoLogSettings = 37830;
inline constexpr int SamplingSettings = 37827;
inline constexpr int ChecksumSettings = 37837;
inline constexpr int OtherSettings = 37838;
inline constexpr int PlSettings = 55528;
inline constexpr int StartupSizeSettings = 55531;
// The display's magnification (ours: the View menu's "表示倍率")
inline constexpr int Zoom100 = 38100;
inline constexpr int Zoom150 = 38150;
inline constexpr int Zoom200 = 38200;
// The line-events window (ours: the View menu's "回線イベント"); always enabled: the journal
// keeps what happened after a channel closed or was lost.
inline constexpr int LineEvents = 38300;
// The language of the window (ours: "Language / 言語" in the settings menu)
inline constexpr int LanguageJapanese = 38310;
inline constexpr int LanguageEnglish = 38311;
// Menu bar and Help
inline constexpr int ToggleSpeed = 37832;
inline constexpr int Help = 55529;
inline constexpr int About = 55530;

} // namespace kestrane::cmd
