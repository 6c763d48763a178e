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
        KCHECK(s.find('\r') == std::string::npos, "a string holds its CR");
        KCHECK(s.find('\0') == std::string::npos, "a string holds a NUL");
    }

    // Each string stands at its line's start; the line's CR follows within 512 bytes, with only
    // the bytes from a NUL on between; the next line begins two bytes after that CR.
    const std::size_t limit = std::min(data.size(), kFixedStringFileBytes);
    std::size_t offset = 0;
    for (const std::string& s : strings) {
        KCHECK(offset + s.size() < limit, "a string reaches past the bytes read");
        KCHECK(std::memcmp(data.data() + offset, s.data(), s.size()) == 0, "a string differs from its line");
        std::size_t cr = offset + s.size();
        if (data[cr] != '\r') {
            KCHECK(data[cr] == 0, "a string stops before its CR without a NUL");
            while (cr < limit && data[cr] != '\r')
                ++cr;
            KCHECK(cr < limit, "a line without CR was loaded");
        }
        KCHECK(cr - offset <= kFixedStringLineMax, "a line longer than 511 bytes was loaded");
        offset = cr + 2;
    }
    // Fewer than 20 strings: the list ended at a line without a CR within its 512 bytes.
    if (strings.size() < kFixedStringEntries && offset < limit) {
        const std::size_t window = std::min(limit - offset, kFixedStringLineMax + 1);
        KCHECK(std::memchr(data.data() + offset, '\r', window) == nullptr, "a complete line was left out");
    }

    // Written back with CR LF line ends, the strings read the same.
    std::string rewritten;
    for (const std::string& s : strings)
        rewritten += s + "\r\n";
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(rewritten.data());
    KCHECK(parseFixedStrings(Bytes(bytes, rewritten.size())) == strings, "written strings do not read back the same");

    // Only the first 10240 bytes count.
    if (data.size() > kFixedStringFileBytes)
        KCHECK(parseFixedStrings(data.first(kFixedStringFileBytes)) == strings, "bytes beyond 10240 changed the strings");
    return {};
}

} // namespace kestrane::fuzz
