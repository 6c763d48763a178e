// The shared outgoing frame: the send buffer, the send text area, the hex send notation, the
// ASC form, the checksums and the frame decoration of the character send dialogs.
// Plain C++ without Qt; everything here runs on the user-interface thread.
#pragma once

#include "records/settings_records.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace kestrane {

// Values of SettingsRecord::checksumMethod.
inline constexpr std::int32_t kChecksumXor = 0;
inline constexpr std::int32_t kChecksumSum = 1;
inline constexpr std::int32_t kChecksumCrc16 = 2;

// Values of SettingsRecord::checksumOutputForm (CRC16 ignores them).
inline constexpr std::int32_t kChecksumOneByte = 0;
inline constexpr std::int32_t kChecksumTwoDigits = 1;

// The bytes handed to the transmit operation. Every append writes at `count` and increments it;
// an append that would land outside the 520 bytes is refused, so no text can overflow it.
struct SendBuffer {
    static constexpr std::size_t kCapacity = 520;

    std::array<std::uint8_t, kCapacity> bytes{};
    std::int32_t count = 0;

    // Stores `byte` at `count`; false (nothing written) when count is outside 0..519.
    bool append(std::uint8_t byte) noexcept;
    // Zero-fills the bytes; the count is left to the caller.
    void zeroFill() noexcept;
    // Zero-fills the bytes and sets the count to 0.
    void clear() noexcept;
    // Replaces the contents by `data` (cut at the capacity); returns the number of bytes stored.
    std::size_t assign(std::span<const std::uint8_t> data) noexcept;
    // Bytes 0..count-1, with the count held to 0..520.
    [[nodiscard]] std::span<const std::uint8_t> frame() const noexcept;
};

// The text about to be converted: a 512-byte NUL-terminated area, so at most 511 characters.
struct SendText {
    static constexpr std::size_t kSize = 512;
    static constexpr std::size_t kMaxChars = kSize - 1;

    std::array<char, kSize> chars{};

    void clear() noexcept;
    // Zero-fills the area and copies `text` into it, cut to 511 characters.
    void assign(std::string_view text) noexcept;
    // The text up to its terminating NUL.
    [[nodiscard]] std::string_view view() const noexcept;
};

// How the typed text becomes data bytes.
enum class TextForm {
    HexNotation,  // "送信": hexadecimal pairs, quoted text literal
    Asc,          // "ASC送信": every character one byte
};

// The decoration of one frame: the four switches, the three character texts and the checksum
// settings. frameOptionsFrom() takes them all from the settings record; the character send
// dialogs overwrite the switches and texts with their own.
struct FrameOptions {
    bool startOn = false;
    bool stopOn = false;
    bool checksumOn = false;
    bool endOn = false;
    std::array<char, 4> startCharHex{};
    std::array<char, 4> stopCharHex{};
    std::array<char, 4> endCharHex{};
    std::int32_t checksumMethod = kChecksumXor;
    std::int32_t checksumOutputForm = kChecksumOneByte;
    bool checksumLowerCase = false;
};

[[nodiscard]] FrameOptions frameOptionsFrom(const SettingsRecord& settings);

// The byte of a start, stop or end character text, read like strtol(text, nullptr, 16): leading
// white space, an optional sign, an optional 0x, hexadecimal digits up to the first other
// character; the low 8 bits of the result. Empty or non-hexadecimal text gives 0. The text ends
// at its first NUL.
[[nodiscard]] std::uint8_t hexCharValue(std::string_view text) noexcept;

template <std::size_t N>
[[nodiscard]] std::uint8_t hexCharValue(const std::array<char, N>& field) noexcept
{
    return hexCharValue(std::string_view(field.data(), N));
}

// A checksum byte as two hexadecimal digit characters with a leading zero ("%02X", or "%02x"
// when `lowerCase`). The macro's checksum commands use the same form.
[[nodiscard]] std::array<char, 2> checksumDigits(std::uint8_t value, bool lowerCase) noexcept;

// The send buffer, the send text and the composition state. One instance for the whole run,
// owned by the application core; every sender (character send dialogs, fixed strings, control
// characters, macro) fills its buffer and hands it to the transmit operation, which leaves it
// unchanged so that a retry sends the same frame.
class SendState {
public:
    SendState() = default;
    SendState(const SendState&) = delete;
    SendState& operator=(const SendState&) = delete;

    SendBuffer sendBuffer;
    SendText sendText;
    // Running byte XOR or byte sum of the data bytes (methods 0 and 1); the macro's checksum
    // commands use it as their working byte.
    std::uint8_t checksumAccumulator = 0;
    // CRC16 of the last non-empty conversion.
    std::uint16_t crcValue = 0;

    // Appends `text` in the hex send notation at the buffer's count (which the caller sets).
    // With `zeroFillFirst` the 520 bytes are zero-filled first. Each byte is folded into
    // checksumAccumulator by `checksumMethod`; crcValue receives the CRC16 of the converted bytes
    // (an empty text leaves it unchanged). The text ends at its first NUL; conversion stops
    // when the buffer is full.
    void convertHexNotation(std::string_view text, bool zeroFillFirst, std::int32_t checksumMethod) noexcept;

    // Appends every character of `text` as one byte, with the same folding and CRC16.
    void convertAsc(std::string_view text, std::int32_t checksumMethod) noexcept;

    // Empties the buffer and builds the whole frame: start character, data, stop character,
    // checksum (only for a non-empty text), end character. The text is taken as the send text
    // area would hold it: up to its first NUL and at most 511 characters, so the largest frame
    // (516 bytes) always fits.
    void composeFrame(std::string_view text, TextForm form, const FrameOptions& options) noexcept;

private:
    // Appends one data byte and folds it into the accumulator and the CRC register `crc`.
    bool appendData(std::uint8_t byte, std::int32_t checksumMethod, std::uint16_t& crc) noexcept;
};

} // namespace kestrane
