#include "sending/send_buffer.h"

#include "notation/hex_notation.h"
#include "notation/number_reader.h"

#include <algorithm>
#include <climits>

namespace kestrane {

namespace {

// The text up to its first NUL, as a NUL-terminated area would hold it.
std::string_view untilNul(std::string_view text) noexcept
{
    const std::size_t nul = text.find('\0');
    return nul == std::string_view::npos ? text : text.substr(0, nul);
}

// One step of the CRC16 of Modbus RTU (reflected polynomial 0xA001).
std::uint16_t crc16Step(std::uint16_t crc, std::uint8_t byte) noexcept
{
    crc = static_cast<std::uint16_t>(crc ^ byte);
    for (int bit = 0; bit < 8; ++bit) {
        if ((crc & 1u) != 0)
            crc = static_cast<std::uint16_t>((crc >> 1) ^ 0xA001u);
        else
            crc = static_cast<std::uint16_t>(crc >> 1);
    }
    return crc;
}

constexpr std::uint16_t kCrcInitial = 0xFFFF;

} // namespace

bool SendBuffer::append(std::uint8_t byte) noexcept
{
    if (count < 0 || static_cast<std::size_t>(count) >= kCapacity)
        return false;
    bytes[static_cast<std::size_t>(count)] = byte;
    ++count;
    return true;
}

void SendBuffer::zeroFill() noexcept
{
    bytes.fill(0);
}

void SendBuffer::clear() noexcept
{
    bytes.fill(0);
    count = 0;
}

std::size_t SendBuffer::assign(std::span<const std::uint8_t> data) noexcept
{
    const std::size_t n = std::min(data.size(), kCapacity);
    std::copy_n(data.begin(), n, bytes.begin());
    count = static_cast<std::int32_t>(n);
    return n;
}

std::span<const std::uint8_t> SendBuffer::frame() const noexcept
{
    const std::int32_t n = std::clamp(count, std::int32_t{0}, static_cast<std::int32_t>(kCapacity));
    return {bytes.data(), static_cast<std::size_t>(n)};
}

void SendText::clear() noexcept
{
    chars.fill(0);
}

void SendText::assign(std::string_view text) noexcept
{
    chars.fill(0);
    const std::size_t n = std::min(text.size(), kMaxChars);
    std::copy_n(text.begin(), n, chars.begin());
}

std::string_view SendText::view() const noexcept
{
    return untilNul(std::string_view(chars.data(), chars.size()));
}

FrameOptions frameOptionsFrom(const SettingsRecord& settings)
{
    FrameOptions options;
    options.startOn = settings.sendStartCharOn != 0;
    options.stopOn = settings.sendStopCharOn != 0;
    options.checksumOn = settings.sendChecksumOn != 0;
    options.endOn = settings.sendEndCharOn != 0;
    options.startCharHex = settings.sendStartCharHex;
    options.stopCharHex = settings.sendStopCharHex;
    options.endCharHex = settings.sendEndCharHex;
    options.checksumMethod = settings.checksumMethod;
    options.checksumOutputForm = settings.checksumOutputForm;
    options.checksumLowerCase = settings.checksumLowerCase != 0;
    return options;
}

std::uint8_t hexCharValue(std::string_view text) noexcept
{
    NumberRules rules;
    rules.base = 16;
    rules.prefix = true;
    rules.min = LONG_MIN;
    rules.max = LONG_MAX;
    return static_cast<std::uint8_t>(static_cast<std::uint64_t>(readNumber(text, rules).value) & 0xFFu);
}

std::array<char, 2> checksumDigits(std::uint8_t value, bool lowerCase) noexcept
{
    const char* digits = lowerCase ? "0123456789abcdef" : "0123456789ABCDEF";
    return {digits[value >> 4], digits[value & 0x0F]};
}

bool SendState::appendData(std::uint8_t byte, std::int32_t checksumMethod, std::uint16_t& crc) noexcept
{
    if (!sendBuffer.append(byte))
        return false;
    if (checksumMethod == kChecksumXor)
        checksumAccumulator = static_cast<std::uint8_t>(checksumAccumulator ^ byte);
    else if (checksumMethod == kChecksumSum)
        checksumAccumulator = static_cast<std::uint8_t>(checksumAccumulator + byte);
    crc = crc16Step(crc, byte);
    return true;
}

void SendState::convertHexNotation(std::string_view text, bool zeroFillFirst, std::int32_t checksumMethod) noexcept
{
    if (zeroFillFirst)
        sendBuffer.zeroFill();
    text = untilNul(text);
    if (text.empty())
        return;

    std::uint16_t crc = kCrcInitial;
    decodeHexNotation(text, [&](std::uint8_t byte) { return appendData(byte, checksumMethod, crc); });
    crcValue = crc;
}

void SendState::convertAsc(std::string_view text, std::int32_t checksumMethod) noexcept
{
    text = untilNul(text);
    if (text.empty())
        return;
    std::uint16_t crc = kCrcInitial;
    for (const char c : text) {
        if (!appendData(static_cast<std::uint8_t>(c), checksumMethod, crc))
            break;
    }
    crcValue = crc;
}

void SendState::composeFrame(std::string_view text, TextForm form, const FrameOptions& options) noexcept
{
    text = untilNul(text);
    text = text.substr(0, std::min(text.size(), SendText::kMaxChars));

    sendBuffer.clear();
    checksumAccumulator = 0;

    if (options.startOn)
        sendBuffer.append(hexCharValue(options.startCharHex));
    if (!text.empty()) {
        if (form == TextForm::HexNotation)
            convertHexNotation(text, false, options.checksumMethod);
        else
            convertAsc(text, options.checksumMethod);
    }
    if (options.stopOn)
        sendBuffer.append(hexCharValue(options.stopCharHex));
    // The checksum covers the data only, never the start or stop character.
    if (options.checksumOn && !text.empty()) {
        if (options.checksumMethod == kChecksumCrc16) {
            sendBuffer.append(static_cast<std::uint8_t>(crcValue & 0xFFu));
            sendBuffer.append(static_cast<std::uint8_t>(crcValue >> 8));
        } else if (options.checksumOutputForm == kChecksumTwoDigits) {
            for (const char digit : checksumDigits(checksumAccumulator, options.checksumLowerCase))
                sendBuffer.append(static_cast<std::uint8_t>(digit));
        } else {
            sendBuffer.append(checksumAccumulator);
        }
    }
    if (options.endOn)
        sendBuffer.append(hexCharValue(options.endCharHex));
}

} // namespace kestrane
