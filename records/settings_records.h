// The process-wide configuration records and their stored images.
// Each record is a plain struct with named fields; the byte images of the settings files are
// produced and read by one table per record (settings_layout.h).
#pragma once

#include "platform/code_page.h"
#include "platform/comm_types.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kestrane {

// Copies `text` into a fixed NUL-terminated field (zero-filled first, cut to N-1 bytes).
template <std::size_t N>
void setFixedText(std::array<char, N>& field, const std::string& text)
{
    field.fill(0);
    const std::size_t n = text.size() < N - 1 ? text.size() : N - 1;
    for (std::size_t i = 0; i < n; ++i)
        field[i] = text[i];
}

// The text of a fixed field up to its first NUL. The last byte is the terminator's place: a
// field without a NUL reads as its first N-1 bytes (the byte itself is kept as stored).
template <std::size_t N>
std::string fixedText(const std::array<char, N>& field)
{
    std::size_t n = 0;
    while (n + 1 < N && field[n] != 0)
        ++n;
    return std::string(field.data(), n);
}

// The settings files hold their texts (pdf reader and page command, log prefix) in code page
// 932, and so do these fields, byte for byte as read (the bytes after the NUL too); the program
// converts them to UTF-8 only where it uses them (file names, dialogs).
template <std::size_t N>
std::string fieldUtf8(const std::array<char, N>& field)
{
    return cp932ToUtf8Lossy(fixedText(field));
}

// Stores a UTF-8 text as code page 932 ('?' for what it lacks), cut at a character boundary.
template <std::size_t N>
void setFieldUtf8(std::array<char, N>& field, std::string_view utf8)
{
    std::string bytes = utf8ToCp932Lossy(utf8);
    bytes.resize(cp932Fit(bytes, N - 1));
    setFixedText(field, bytes);
}

// What a dialog hands back for a field it showed as fieldUtf8: a text left as it was shown keeps
// the stored bytes untouched (those the conversion cannot show and those after the NUL); a
// changed one replaces the field.
template <std::size_t N>
void setEditedFieldUtf8(std::array<char, N>& field, std::string_view utf8)
{
    if (utf8 != fieldUtf8(field))
        setFieldUtf8(field, utf8);
}

inline constexpr const char* kDefaultPdfReader = "AcroRd32.exe";
inline constexpr const char* kDefaultPdfPageCommand = "/A page=";

// How CH2 is used (`ch2Mode`).
struct Ch2Mode {
    static constexpr std::int32_t NotUsed = 0;
    static constexpr std::int32_t Independent = 1;   // a second independent port
    static constexpr std::int32_t MonitorT = 3;      // line monitor, T connection
    static constexpr std::int32_t MonitorRelay = 7;  // line monitor, relay
};
[[nodiscard]] constexpr bool isLineMonitor(std::int32_t ch2Mode)
{
    return ch2Mode == Ch2Mode::MonitorT || ch2Mode == Ch2Mode::MonitorRelay;
}

// How bytes are drawn (`displayMode`).
struct DisplayMode {
    static constexpr std::int32_t Asc = 0;
    static constexpr std::int32_t Hex = 1;
    static constexpr std::int32_t TimeStampedAsc = 2;
    static constexpr std::int32_t AscWithIo = 3;  // never set: its radio button is always disabled
};

// General settings (178 bytes stored).
struct SettingsRecord {
    static constexpr std::size_t kSize = 178;

    std::int32_t ch1ComNumber = 1;
    std::uint32_t ch1BaudRate = 9600;
    std::uint8_t ch1ByteSize = 8;
    std::uint8_t ch1StopBits = 0;
    std::uint8_t ch1Parity = 0;
    std::int32_t ch1FlowControl = 0;
    std::int32_t sendStartCharOn = 0;
    std::int32_t sendStopCharOn = 0;
    std::int32_t sendChecksumOn = 0;
    std::int32_t checksumOutputForm = 0;
    std::int32_t sendEndCharOn = 0;
    std::array<char, 4> sendStartCharHex{};
    std::array<char, 4> sendStopCharHex{};
    std::array<char, 4> sendEndCharHex{};
    std::int32_t dioFitted = 0;
    std::uint16_t dioControlWord = 0x91;
    std::uint16_t dioDriverNo = 1;
    std::uint16_t dioGroupNo = 1;
    std::int32_t fullRedisplay = 0;
    std::int32_t idleClockFactor = 10;
    std::int32_t baseClockMs = 200;
    std::int32_t idleRedisplayCount = 1;
    std::int32_t trafficDisplayCount = 1;
    std::int32_t displayMode = 0;
    std::int32_t ch2Mode = 0;
    std::int32_t ch2ComNumber = 0;
    std::uint32_t ch2BaudRate = 9600;
    std::uint8_t ch2ByteSize = 8;
    std::uint8_t ch2StopBits = 0;
    std::uint8_t ch2Parity = 0;
    std::int32_t ch2FlowControl = 0;
    std::int32_t ch1ForceConfigSize52 = 0;
    std::int32_t ch2ForceConfigSize52 = 0;
    std::int32_t ch1RxGapMs = 1000;
    std::int32_t ch2RxGapMs = 1000;
    std::int32_t bufferSize = 600;
    std::int32_t autoScroll = 1;
    std::int32_t macroClockMs = 200;
    std::int32_t ch1MaskRxChar = 1;
    std::int32_t ch1MaskRxFlag = 0;
    std::int32_t ch2MaskRxChar = 1;
    std::int32_t ch2MaskRxFlag = 0;
    std::int32_t checksumMethod = 0;
    std::int32_t noExitSaveQuery = 0;
    std::int32_t fastDisplayAtStart = 1;
    std::int32_t comNumbersFromRegistry = 1;
    std::int32_t showSentText = 1;
    std::int32_t checksumLowerCase = 0;
    std::array<char, 10> reserved{};

    bool operator==(const SettingsRecord&) const = default;
};

// Line parameters of both channels (108 bytes in memory, stored in four overlapping pieces).
struct LineParams {
    static constexpr std::size_t kSize = 108;

    Dcb ch1Dcb;
    Dcb ch2Dcb;
    CommTimeouts ch1Timeouts;
    CommTimeouts ch2Timeouts;
    std::array<std::uint8_t, 12> spare{};

    LineParams();
    bool operator==(const LineParams&) const = default;
};

struct SamplingField {
    std::int32_t position = 0;  // first character position
    std::int32_t length = 0;    // number of characters
    bool operator==(const SamplingField&) const = default;
};

// Sampling and automatic-logging settings (80 bytes stored).
struct SamplingSettings {
    static constexpr std::size_t kSize = 80;

    std::int32_t samplingCount = 0;
    std::array<SamplingField, 5> samplingFields{};
    std::int32_t autoLogging = 0;
    std::array<char, 32> autoLogPrefix{'L', 'o', 'g'};

    bool operator==(const SamplingSettings&) const = default;
};

// Everything the four settings files hold, plus the run-time display speed that the start-up
// display rule derives from them.
struct Settings {
    SettingsRecord record;
    std::array<char, 260> pdfReaderPath{};
    std::array<char, 128> pdfPageCommand{};
    LineParams lineParams;
    SamplingSettings sampling;
    std::int32_t startupSizeCode = 1;

    Settings();
};

// The line defaults of one channel (1 or 2), applied to its stores and its line summary.
void applyChannelLineDefaults(Settings& s, int channel);

// The flow-control code a line summary keeps for a DCB: 1 Xon/Xoff, 2 hardware, 0 otherwise.
[[nodiscard]] std::int32_t flowControlCode(const Dcb& dcb);

} // namespace kestrane
