#include "sending/fixed_strings.h"

#include <algorithm>
#include <array>
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

} // namespace kestrane
