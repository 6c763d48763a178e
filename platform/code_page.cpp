#include "platform/code_page.h"

#include "notation/shift_jis.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>

namespace kestrane {

namespace {

// One conversion of a whole text; nullopt on the first byte sequence that cannot be converted.
std::optional<std::string> convert(const char* to, const char* from, std::string_view in)
{
    const iconv_t cd = ::iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::string out(in.size() * 3 + 4, '\0');
    char* src = const_cast<char*>(in.data());  // iconv's signature; it does not write the input
    std::size_t srcLeft = in.size();
    char* dst = out.data();
    std::size_t dstLeft = out.size();
    const std::size_t r = ::iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    const bool ok = r != static_cast<std::size_t>(-1) && srcLeft == 0 &&
                    ::iconv(cd, nullptr, nullptr, &dst, &dstLeft) != static_cast<std::size_t>(-1);
    ::iconv_close(cd);
    if (!ok)
        return std::nullopt;
    out.resize(out.size() - dstLeft);
    return out;
}

// Length of the UTF-8 sequence starting with `b` (0 for a byte that cannot start one).
std::size_t utf8Length(std::uint8_t b)
{
    if (b < 0x80)
        return 1;
    if (b >= 0xC2 && b <= 0xDF)
        return 2;
    if (b >= 0xE0 && b <= 0xEF)
        return 3;
    if (b >= 0xF0 && b <= 0xF4)
        return 4;
    return 0;
}

} // namespace

std::optional<std::string> cp932ToUtf8(std::string_view bytes) { return convert("UTF-8", "CP932", bytes); }

std::string cp932ToUtf8Lossy(std::string_view bytes)
{
    std::string out;
    for (std::size_t i = 0; i < bytes.size();) {
        const auto b = static_cast<std::uint8_t>(bytes[i]);
        const std::size_t n = isShiftJisLead(b) && i + 1 < bytes.size() ? 2 : 1;
        if (const auto unit = cp932ToUtf8(bytes.substr(i, n))) {
            out += *unit;
        } else if (n == 2 && cp932ToUtf8(bytes.substr(i, 1))) {
            out += *cp932ToUtf8(bytes.substr(i, 1));  // a lead byte that cannot pair stands alone
            i += 1;
            continue;
        } else {
            out += "\xEF\xBF\xBD";
        }
        i += n;
    }
    return out;
}

std::optional<std::string> utf8ToCp932(std::string_view utf8) { return convert("CP932", "UTF-8", utf8); }

std::string utf8ToCp932Lossy(std::string_view utf8)
{
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        std::size_t n = utf8Length(static_cast<std::uint8_t>(utf8[i]));
        if (n == 0 || i + n > utf8.size())
            n = 1;
        const auto unit = utf8ToCp932(utf8.substr(i, n));
        out += unit ? *unit : std::string("?");
        i += n;
    }
    return out;
}

std::size_t cp932Fit(std::string_view bytes, std::size_t maxBytes)
{
    std::size_t end = 0;
    while (end < bytes.size()) {
        const std::size_t n = isShiftJisLead(static_cast<std::uint8_t>(bytes[end])) ? 2 : 1;
        if (end + n > maxBytes || end + n > bytes.size())
            break;
        end += n;
    }
    return end;
}

} // namespace kestrane
