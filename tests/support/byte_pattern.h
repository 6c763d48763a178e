// Bytes that look like line traffic (every value occurs, no short period), the same for the same
// seed: what a far end sends when a test or bench checks a data path byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kestrane::test {

inline std::vector<std::uint8_t> bytePattern(std::size_t n, std::uint32_t seed)
{
    std::vector<std::uint8_t> v(n);
    std::uint32_t x = seed * 2654435761u + 1;
    for (auto& b : v) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<std::uint8_t>(x);
    }
    return v;
}

} // namespace kestrane::test
