#include "platform/code_page.h"

#include "notation/shift_jis.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace kestrane {

namespace {

// One conversion through `cd` from its start state: false unless all of `in` was converted;
// `outSize` becomes the bytes written.
bool convertWhole(iconv_t cd, const void* in, std::size_t inSize, void* out, std::size_t& outSize)
{
    ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* src = static_cast<char*>(const_cast<void*>(in));  // iconv's signature; it does not write the input
    std::size_t srcLeft = inSize;
    char* dst = static_cast<char*>(out);
    std::size_t dstLeft = outSize;
    const bool ok = ::iconv(cd, &src, &srcLeft, &dst, &dstLeft) != static_cast<std::size_t>(-1) && srcLeft == 0 &&
                    ::iconv(cd, nullptr, nullptr, &dst, &dstLeft) != static_cast<std::size_t>(-1);
    outSize -= dstLeft;
    return ok;
}

// The code page as iconv has it: the character of every unit, and the code of every character
// whose code reads back as itself.
class Cp932Table {
public:
    Cp932Table() : pairs_(kShiftJisLeadCount * 256, kNone)
    {
        singles_.fill(kNone);
        const iconv_t toUnicode = ::iconv_open("UTF-32LE", "CP932");
        const iconv_t fromUnicode = ::iconv_open("CP932", "UTF-32LE");
        const auto failed = reinterpret_cast<iconv_t>(-1);
        if (toUnicode != failed && fromUnicode != failed) {
            for (int b = 0; b < 256; ++b) {
                const std::uint8_t unit[1] = {static_cast<std::uint8_t>(b)};
                if (!isShiftJisLead(unit[0]))
                    singles_[static_cast<std::size_t>(b)] = decode(toUnicode, unit, 1);
            }
            for (int lead = 0x81; lead <= 0xFC; ++lead) {
                if (!isShiftJisLead(static_cast<std::uint8_t>(lead)))
                    continue;
                for (int trail = 0; trail < 256; ++trail) {
                    const std::uint8_t unit[2] = {static_cast<std::uint8_t>(lead), static_cast<std::uint8_t>(trail)};
                    const auto at = static_cast<std::size_t>(shiftJisLeadIndex(unit[0]) * 256 + trail);
                    pairs_[at] = decode(toUnicode, unit, 2);
                }
            }
            for (const char32_t c : singles_)
                addCode(fromUnicode, c);
            for (const char32_t c : pairs_)
                addCode(fromUnicode, c);
            available_ = true;
        }
        if (toUnicode != failed)
            ::iconv_close(toUnicode);
        if (fromUnicode != failed)
            ::iconv_close(fromUnicode);
    }

    [[nodiscard]] bool available() const { return available_; }

    [[nodiscard]] std::optional<char32_t> single(std::uint8_t byte) const { return known(singles_[byte]); }

    [[nodiscard]] std::optional<char32_t> pair(std::uint8_t lead, std::uint8_t trail) const
    {
        if (!isShiftJisLead(lead))
            return std::nullopt;
        return known(pairs_[static_cast<std::size_t>(shiftJisLeadIndex(lead) * 256 + trail)]);
    }

    [[nodiscard]] std::optional<Cp932Code> code(char32_t c) const
    {
        const auto it = codes_.find(c);
        if (it == codes_.end())
            return std::nullopt;
        return it->second;
    }

private:
    static constexpr char32_t kNone = 0xFFFFFFFF;

    static std::optional<char32_t> known(char32_t c) { return c == kNone ? std::nullopt : std::optional(c); }

    static char32_t decode(iconv_t cd, const std::uint8_t* unit, std::size_t length)
    {
        std::uint8_t out[8]{};
        std::size_t outSize = sizeof out;
        if (!convertWhole(cd, unit, length, out, outSize) || outSize != 4)
            return kNone;
        return static_cast<char32_t>(out[0] | out[1] << 8 | out[2] << 16 | static_cast<std::uint32_t>(out[3]) << 24);
    }

    void addCode(iconv_t cd, char32_t c)
    {
        if (c == kNone || codes_.contains(c))
            return;
        const std::uint8_t in[4] = {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8),
                                    static_cast<std::uint8_t>(c >> 16), static_cast<std::uint8_t>(c >> 24)};
        Cp932Code code;
        std::size_t outSize = code.bytes.size();
        if (!convertWhole(cd, in, sizeof in, code.bytes.data(), outSize) || outSize == 0)
            return;
        code.length = static_cast<std::uint8_t>(outSize);
        const auto back = code.length == 1 ? single(code.bytes[0]) : pair(code.bytes[0], code.bytes[1]);
        if (back == c)
            codes_.emplace(c, code);
    }

    bool available_ = false;
    std::array<char32_t, 256> singles_{};
    std::vector<char32_t> pairs_;  // 60 lead bytes x 256 trail bytes
    std::unordered_map<char32_t, Cp932Code> codes_;
};

const Cp932Table& table()
{
    static const Cp932Table t;
    return t;
}

void appendUtf8(std::string& out, char32_t c)
{
    const auto byte = [&](std::uint32_t v) { out += static_cast<char>(v); };
    if (c < 0x80) {
        byte(c);
    } else if (c < 0x800) {
        byte(0xC0 | c >> 6);
        byte(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        byte(0xE0 | c >> 12);
        byte(0x80 | (c >> 6 & 0x3F));
        byte(0x80 | (c & 0x3F));
    } else {
        byte(0xF0 | c >> 18);
        byte(0x80 | (c >> 12 & 0x3F));
        byte(0x80 | (c >> 6 & 0x3F));
        byte(0x80 | (c & 0x3F));
    }
}

// One conversion of a whole text; nullopt on the first byte sequence that cannot be converted.
std::optional<std::string> convert(const char* to, const char* from, std::string_view in)
{
    const iconv_t cd = ::iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::string out(in.size() * 3 + 4, '\0');
    std::size_t outSize = out.size();
    const bool ok = convertWhole(cd, in.data(), in.size(), out.data(), outSize);
    ::iconv_close(cd);
    if (!ok)
        return std::nullopt;
    out.resize(outSize);
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

bool cp932Available() { return table().available(); }

std::optional<char32_t> cp932CharOf(std::uint8_t byte) { return table().single(byte); }

std::optional<char32_t> cp932CharOf(std::uint8_t lead, std::uint8_t trail) { return table().pair(lead, trail); }

std::optional<Cp932Code> cp932CodeOf(char32_t c) { return table().code(c); }

std::string cp932ToUtf8Lossy(std::string_view bytes)
{
    std::string out;
    for (std::size_t i = 0; i < bytes.size();) {
        const auto b = static_cast<std::uint8_t>(bytes[i]);
        const std::size_t n = isShiftJisLead(b) && i + 1 < bytes.size() ? 2 : 1;
        const auto c = n == 2 ? cp932CharOf(b, static_cast<std::uint8_t>(bytes[i + 1])) : cp932CharOf(b);
        if (c)
            appendUtf8(out, *c);
        else
            out += "\xEF\xBF\xBD";
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
