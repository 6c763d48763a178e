// The number reader against the C library where its rules are the C library's, and each rule
// against the reading without it.
#include "fuzz/check_support.h"
#include "notation/number_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <string_view>

namespace kestrane::fuzz {

std::string checkNumberReader(Bytes data)
{
    if (data.size() < 2)
        return {};
    // The first byte picks the base, the second a width, a range and the separators; the rest is the text.
    constexpr int kBases[] = {10, 16, 8, 36};
    const int base = kBases[data[0] & 3];
    const std::string_view text(reinterpret_cast<const char*>(data.data()) + 2, data.size() - 2);
    const std::string untilNul(text.substr(0, text.find('\0')));

    // C white space, a sign, the 0x prefix in base 16 only, the int64 range: strtoll.
    NumberRules c;
    c.base = base;
    c.prefix = base == 16;
    const NumberRead read = readNumber(text, c);
    char* end = nullptr;
    errno = 0;
    const long long expected = std::strtoll(untilNul.c_str(), &end, base);
    KCHECK(read.value == expected, "value differs from strtoll");
    KCHECK(read.end == static_cast<std::size_t>(end - untilNul.c_str()), "end differs from strtoll's");
    KCHECK(read.digits == (read.end != 0), "digits without an end");
    KCHECK(read.saturated == (errno == ERANGE), "saturation differs from strtoll's");

    // A width reads as the text cut there.
    NumberRules narrow = c;
    narrow.width = data[1] & 7;
    const NumberRead cut = readNumber(text.substr(0, narrow.width), c);
    const NumberRead within = readNumber(text, narrow);
    KCHECK(within.value == cut.value && within.end == cut.end, "a width reads differently from the cut text");

    // A narrower range holds the value at its ends.
    NumberRules held = c;
    held.min = (data[1] & 8) != 0 ? 0 : -1000;
    held.max = 1000;
    const NumberRead inRange = readNumber(text, held);
    KCHECK(inRange.value == std::clamp<std::int64_t>(read.value, held.min, held.max), "a range does not hold the value");
    KCHECK(inRange.end == read.end, "a range moves the end");

    // Spaces and tabs alone as white space: the same wherever no other white space leads.
    NumberRules spaceTab = c;
    spaceTab.blanks = NumberRules::Blanks::SpaceTab;
    const std::size_t lead = untilNul.find_first_not_of(" \t\n\v\f\r");
    if (untilNul.substr(0, lead).find_first_of("\n\v\f\r") == std::string::npos)
        KCHECK(readNumber(text, spaceTab).value == read.value, "spaces and tabs read differently");
    else
        KCHECK(readNumber(text, spaceTab).value == 0, "other white space skipped");

    // Separators: without a space or an underscore in the text, nothing changes; with them, the
    // value is that of the text without them wherever they stand among the digits.
    NumberRules separated = c;
    separated.separators = true;
    const NumberRead spaced = readNumber(text, separated);
    if (untilNul.find_first_of(" _") == std::string::npos)
        KCHECK(spaced.value == read.value && spaced.end == read.end, "separators change a text without them");
    KCHECK(!spaced.digits || spaced.end >= read.end, "separators end the number early");
    return {};
}

} // namespace kestrane::fuzz
