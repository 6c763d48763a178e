#include "sending/fixed_strings.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>

namespace kestrane {

std::vector<std::string> parseFixedStrings(std::span<const std::uint8_t> file)
{
    const std::size_t size = std::min(file.size(), kFixedStringFileBytes);
    std::vector<std::string> out;
    std::size_t offset = 0;
    while (out.size() < kFixedStringEntries && offset < size) {
        // The CR must lie within the 512 bytes from the line's start.
        const std::size_t window = std::min(size - offset, kFixedStringLineMax + 1);
        const auto begin = file.begin() + static_cast<std::ptrdiff_t>(offset);
        const auto cr = std::find(begin, begin + static_cast<std::ptrdiff_t>(window), std::uint8_t{'\r'});
        if (cr == begin + static_cast<std::ptrdiff_t>(window))
            break;
        const auto nul = std::find(begin, cr, std::uint8_t{0});
        out.emplace_back(begin, nul);
        offset += static_cast<std::size_t>(cr - begin) + 2;  // the CR and the (unexamined) LF
    }
    return out;
}

std::vector<std::string> loadFixedStrings(const std::filesystem::path& startDirectory)
{
    std::ifstream in(startDirectory / kFixedStringFile, std::ios::binary);
    if (!in)
        return {};
    std::array<std::uint8_t, kFixedStringFileBytes> buffer{};
    in.read(reinterpret_cast<char*>(buffer.data()), static_cast<std::streamsize>(buffer.size()));
    const auto got = static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0));
    return parseFixedStrings(std::span<const std::uint8_t>(buffer.data(), got));
}

bool checkFixedStringsParse(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> file(data, size);
    const std::vector<std::string> strings = parseFixedStrings(file);

    // Limits.
    if (strings.size() > kFixedStringEntries)
        return false;
    for (const std::string& s : strings) {
        if (s.size() > kFixedStringLineMax || s.find('\r') != std::string::npos || s.find('\0') != std::string::npos)
            return false;
    }

    // Each string stands at its line's start; the line's CR follows within 512 bytes, with only
    // the bytes from a NUL on between; the next line begins two bytes after that CR.
    const std::size_t limit = std::min(size, kFixedStringFileBytes);
    std::size_t offset = 0;
    for (const std::string& s : strings) {
        if (offset + s.size() >= limit || std::memcmp(data + offset, s.data(), s.size()) != 0)
            return false;
        std::size_t cr = offset + s.size();
        if (data[cr] != '\r') {
            if (data[cr] != 0)
                return false;
            while (cr < limit && data[cr] != '\r')
                ++cr;
            if (cr >= limit)
                return false;
        }
        if (cr - offset > kFixedStringLineMax)
            return false;
        offset = cr + 2;
    }
    // Fewer than 20 strings: the list ended at a line without CR within its 512 bytes.
    if (strings.size() < kFixedStringEntries && offset < limit) {
        const std::size_t window = std::min(limit - offset, kFixedStringLineMax + 1);
        if (std::memchr(data + offset, '\r', window) != nullptr)
            return false;
    }

    // Written back with CR LF line ends, the strings read the same.
    std::string rewritten;
    for (const std::string& s : strings)
        rewritten += s + "\r\n";
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(rewritten.data());
    if (parseFixedStrings(std::span<const std::uint8_t>(bytes, rewritten.size())) != strings)
        return false;

    // Only the first 10240 bytes count.
    if (size > kFixedStringFileBytes && parseFixedStrings(file.first(kFixedStringFileBytes)) != strings)
        return false;
    return true;
}

} // namespace kestrane
