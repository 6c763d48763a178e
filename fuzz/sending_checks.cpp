// The fixed-string file mdata.txt.
#include "fuzz/check_support.h"
#include "sending/fixed_strings.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace kestrane::fuzz {

std::string checkMdataTxt(Bytes data)
{
    const std::vector<std::string> strings = parseFixedStrings(data);
    KCHECK(strings.size() <= kFixedStringEntries, "more than 20 strings");
    for (const std::string& s : strings) {
        KCHECK(s.size() <= kFixedStringLineMax, "a string longer than 511 bytes");
        KCHECK(s.find_first_of("\r\n") == std::string::npos, "a string holds its line end");
        KCHECK(s.find('\0') == std::string::npos, "a string holds a NUL");
    }

    // Each string stands at its line's start; the line's end (CR, or a lone LF) follows within
    // 512 bytes, with only the bytes from a NUL on between; the next line begins two bytes after
    // a CR or one byte after an LF.
    const std::size_t limit = std::min(data.size(), kFixedStringFileBytes);
    const auto isEnd = [](std::uint8_t b) { return b == '\r' || b == '\n'; };
    std::size_t offset = 0;
    for (const std::string& s : strings) {
        KCHECK(offset + s.size() < limit, "a string reaches past the bytes read");
        KCHECK(std::memcmp(data.data() + offset, s.data(), s.size()) == 0, "a string differs from its line");
        std::size_t end = offset + s.size();
        if (!isEnd(data[end])) {
            KCHECK(data[end] == 0, "a string stops before its line end without a NUL");
            while (end < limit && !isEnd(data[end]))
                ++end;
            KCHECK(end < limit, "a line without a line end was loaded");
        }
        KCHECK(end - offset <= kFixedStringLineMax, "a line longer than 511 bytes was loaded");
        offset = end + (data[end] == '\r' ? 2 : 1);
    }
    // Fewer than 20 strings: the list ended at a line without a line end within its 512 bytes.
    if (strings.size() < kFixedStringEntries && offset < limit) {
        const std::size_t window = std::min(limit - offset, kFixedStringLineMax + 1);
        KCHECK(std::none_of(data.begin() + static_cast<std::ptrdiff_t>(offset),
                            data.begin() + static_cast<std::ptrdiff_t>(offset + window), isEnd),
               "a complete line was left out");
    }

    // Written back with CR LF line ends, the strings read the same.
    std::string rewritten;
    std::string linux;
    for (const std::string& s : strings) {
        rewritten += s + "\r\n";
        linux += s + "\n";
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(rewritten.data());
    KCHECK(parseFixedStrings(Bytes(bytes, rewritten.size())) == strings, "written strings do not read back the same");
    const auto* lf = reinterpret_cast<const std::uint8_t*>(linux.data());
    KCHECK(parseFixedStrings(Bytes(lf, linux.size())) == strings, "strings written with LF do not read back the same");

    // Only the first 10240 bytes count.
    if (data.size() > kFixedStringFileBytes)
        KCHECK(parseFixedStrings(data.first(kFixedStringFileBytes)) == strings, "bytes beyond 10240 changed the strings");
    return {};
}

} // namespace kestrane::fuzz
