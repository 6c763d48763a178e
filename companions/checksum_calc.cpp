#include "companions/checksum_calc.h"

#include <algorithm>

namespace kestrane {

namespace {

// The frame Kestrane composes for `text` with only the checksum switched on.
std::vector<std::uint8_t> composeWithChecksum(std::string_view text, TextForm form, std::int32_t method,
                                              std::int32_t outputForm, bool lowerCase, SendState& state)
{
    FrameOptions options;
    options.checksumOn = true;
    options.checksumMethod = method;
    options.checksumOutputForm = outputForm;
    options.checksumLowerCase = lowerCase;
    state.composeFrame(text, form, options);
    const auto frame = state.sendBuffer.frame();
    return {frame.begin(), frame.end()};
}

std::string_view untilNul(std::string_view text)
{
    const std::size_t nul = text.find('\0');
    return nul == std::string_view::npos ? text : text.substr(0, nul);
}

} // namespace

ChecksumResult computeChecksums(std::string_view text, TextForm form)
{
    ChecksumResult result;
    text = untilNul(text);
    result.cut = text.size() > SendText::kMaxChars;

    SendState state;
    // Byte XOR: the frame is the data and one raw check byte.
    std::vector<std::uint8_t> frame = composeWithChecksum(text, form, kChecksumXor, kChecksumOneByte, false, state);
    if (frame.empty())
        return result;
    result.byteXor = frame.back();
    frame.pop_back();
    result.data = std::move(frame);

    composeWithChecksum(text, form, kChecksumSum, kChecksumOneByte, false, state);
    result.byteSum = state.checksumAccumulator;
    composeWithChecksum(text, form, kChecksumCrc16, kChecksumOneByte, false, state);
    result.crc16 = state.crcValue;
    return result;
}

std::vector<std::uint8_t> checksumField(std::string_view text, TextForm form, std::int32_t method,
                                        std::int32_t outputForm, bool lowerCase)
{
    SendState state;
    // The data alone, then the frame with the field: the field is what follows the data.
    state.composeFrame(text, form, FrameOptions{});
    const std::size_t dataSize = state.sendBuffer.frame().size();
    const std::vector<std::uint8_t> frame = composeWithChecksum(text, form, method, outputForm, lowerCase, state);
    return {frame.begin() + static_cast<std::ptrdiff_t>(std::min(dataSize, frame.size())), frame.end()};
}

std::string hexBytes(std::span<const std::uint8_t> bytes)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 3);
    for (const std::uint8_t b : bytes) {
        if (!out.empty())
            out.push_back(' ');
        out.push_back(kDigits[b >> 4]);
        out.push_back(kDigits[b & 0x0F]);
    }
    return out;
}

} // namespace kestrane
