// Typed text in the hex send notation and ports.conf.
#include "fuzz/check_support.h"
#include "platform/port_resolver.h"
#include "platform/remote_address.h"
#include "sending/send_buffer.h"
#include "sending/send_preview.h"
#include "traffic/display_zoom.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <vector>

namespace kestrane::fuzz {

namespace {

// The notation read plainly, with strtol as the reader of each pair.
std::vector<std::uint8_t> plainNotation(std::string_view text)
{
    std::vector<std::uint8_t> out;
    char quote = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if ((c == '"' || c == '\'') && (quote == 0 || quote == c)) {
            quote = quote == 0 ? c : 0;
            ++i;
        } else if (quote != 0) {
            out.push_back(static_cast<std::uint8_t>(c));
            ++i;
        } else if (i + 1 < text.size()) {
            const std::string number{'0', 'x', c, text[i + 1]};
            out.push_back(static_cast<std::uint8_t>(std::strtol(number.c_str(), nullptr, 16)));
            i += 2;
        } else {
            break;
        }
    }
    return out;
}

std::uint16_t plainCrc16(const std::vector<std::uint8_t>& bytes)
{
    std::uint16_t crc = 0xFFFF;
    for (const std::uint8_t b : bytes) {
        crc ^= b;
        for (int k = 0; k < 8; ++k)
            crc = (crc & 1u) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001u) : static_cast<std::uint16_t>(crc >> 1);
    }
    return crc;
}

std::uint8_t plainCharValue(const std::array<char, 4>& field)
{
    const std::string text(field.data(), std::string_view(field.data(), 4).find('\0') == std::string_view::npos
                                              ? 4
                                              : std::string_view(field.data(), 4).find('\0'));
    return static_cast<std::uint8_t>(std::strtol(text.c_str(), nullptr, 16));
}

} // namespace

std::string checkHexNotation(Bytes data)
{
    if (data.size() < 11)
        return {};
    const std::uint8_t flags = data[0];
    FrameOptions o;
    o.startOn = flags & 1;
    o.stopOn = flags & 2;
    o.checksumOn = flags & 4;
    o.endOn = flags & 8;
    o.checksumMethod = (flags >> 4) % 3;
    o.checksumOutputForm = (flags >> 6) & 1;
    o.checksumLowerCase = data[1] & 1;
    const TextForm form = (data[1] & 2) ? TextForm::Asc : TextForm::HexNotation;
    for (std::size_t i = 0; i < 3; ++i) {
        o.startCharHex[i] = static_cast<char>(data[2 + i]);
        o.stopCharHex[i] = static_cast<char>(data[5 + i]);
        o.endCharHex[i] = static_cast<char>(data[8 + i]);
    }
    std::string_view text(reinterpret_cast<const char*>(data.data() + 11), data.size() - 11);

    auto state = std::make_unique<SendState>();
    state->composeFrame(text, form, o);
    const auto frame = state->sendBuffer.frame();
    KCHECK(state->sendBuffer.count >= 0 && state->sendBuffer.count <= 520, "count outside the send buffer");

    // The frame built plainly: start, data, stop, checksum of the data, end.
    std::string_view typed = text.substr(0, text.find('\0'));
    typed = typed.substr(0, std::min<std::size_t>(typed.size(), 511));
    const std::vector<std::uint8_t> payload =
        form == TextForm::Asc ? std::vector<std::uint8_t>(typed.begin(), typed.end()) : plainNotation(typed);
    std::vector<std::uint8_t> want;
    if (o.startOn)
        want.push_back(plainCharValue(o.startCharHex));
    want.insert(want.end(), payload.begin(), payload.end());
    if (o.stopOn)
        want.push_back(plainCharValue(o.stopCharHex));
    if (o.checksumOn && !typed.empty()) {
        std::uint8_t acc = 0;
        for (const std::uint8_t b : payload)
            acc = o.checksumMethod == kChecksumSum ? static_cast<std::uint8_t>(acc + b) : static_cast<std::uint8_t>(acc ^ b);
        if (o.checksumMethod == kChecksumCrc16) {
            const std::uint16_t crc = plainCrc16(payload);
            want.push_back(static_cast<std::uint8_t>(crc & 0xFF));
            want.push_back(static_cast<std::uint8_t>(crc >> 8));
        } else if (o.checksumOutputForm == kChecksumTwoDigits) {
            char digits[3];
            std::snprintf(digits, sizeof digits, o.checksumLowerCase ? "%02x" : "%02X", acc);
            want.push_back(static_cast<std::uint8_t>(digits[0]));
            want.push_back(static_cast<std::uint8_t>(digits[1]));
        } else {
            want.push_back(acc);
        }
    }
    if (o.endOn)
        want.push_back(plainCharValue(o.endCharHex));
    KCHECK(want.size() <= 520, "a composed frame can outgrow the send buffer");
    KCHECK(std::vector<std::uint8_t>(frame.begin(), frame.end()) == want, "frame differs from its plain composition");

    // The send dialogs' preview shows that very frame, each byte with its part, each typed
    // character with how it was read.
    const FramePreview preview = previewFrame(text, form, o);
    KCHECK(preview.bytes == want, "the preview differs from the frame");
    KCHECK(preview.parts.size() == want.size() && preview.misread.size() == want.size(), "preview parts miss bytes");
    KCHECK(static_cast<std::size_t>(std::count(preview.parts.begin(), preview.parts.end(), FramePart::Data)) == payload.size(),
           "preview data differs from the data sent");
    KCHECK(preview.uses.size() == text.size(), "preview uses miss characters");

    // Appending at any count the caller may have set never writes outside the buffer.
    const std::int32_t at = static_cast<std::int32_t>(flags) * 3 - 100;  // -100 .. 665
    state->sendBuffer.count = at;
    state->convertHexNotation(typed, (data[1] & 4) != 0, o.checksumMethod);
    if (at < 0 || at >= 520)
        KCHECK(state->sendBuffer.count == at, "an append outside the buffer moved the count");
    else
        KCHECK(state->sendBuffer.count >= at && state->sendBuffer.count <= 520, "count left the buffer");
    return {};
}

std::string checkPortsConf(Bytes data)
{
    const std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());
    const auto entries = parsePortsConf(text);
    std::string again;
    for (const auto& [n, path] : entries) {
        KCHECK(n >= 1 && n <= 255, "COM number outside 1..255");
        KCHECK(!path.empty(), "empty path");
        KCHECK(path.find_first_of("#\n") == std::string::npos, "path holds a comment or a line break");
        KCHECK(!std::isspace(static_cast<unsigned char>(path.front())) &&
                   !std::isspace(static_cast<unsigned char>(path.back())),
               "path not trimmed");
        again += "COM" + std::to_string(n) + "=" + path + "\n";
        // A remote line: only its own characters, and it reads back the same when written out.
        if (const auto remote = parseRemoteAddress(path)) {
            KCHECK(looksRemote(path), "a remote address that does not look remote");
            KCHECK(remote->port >= 1, "port 0");
            KCHECK(!remote->host.empty() && remote->host.find_first_of(",()[]/# \t") == std::string::npos,
                   "host with characters a name or an address cannot have");
            KCHECK(parseRemoteAddress(remote->url()) == remote, "remote address does not read back");
        }
    }
    KCHECK(parsePortsConf(again) == entries, "written entries do not read back the same");
    return {};
}

std::string checkDisplayConf(Bytes data)
{
    const std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());
    const int zoom = parseZoom(text);
    KCHECK(std::find(kZoomSteps.begin(), kZoomSteps.end(), zoom) != kZoomSteps.end(), "magnification not one of the steps");
    KCHECK(parseZoom("zoom=" + std::to_string(zoom) + "\n") == zoom, "a written magnification does not read back");
    return {};
}

} // namespace kestrane::fuzz
