// Little-endian reads and writes at fixed offsets of byte images.
// Every stored format of the program (settings files, logs, port records) goes through these,
// so the layout never depends on the host's struct packing or byte order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <array>
#include <span>

namespace kestrane::le {

inline void put8(std::span<std::uint8_t> out, std::size_t at, std::uint8_t v) { out[at] = v; }

inline void put16(std::span<std::uint8_t> out, std::size_t at, std::uint16_t v)
{
    out[at] = static_cast<std::uint8_t>(v);
    out[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

inline void put32(std::span<std::uint8_t> out, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

inline void putI32(std::span<std::uint8_t> out, std::size_t at, std::int32_t v)
{
    put32(out, at, static_cast<std::uint32_t>(v));
}

inline std::uint8_t get8(std::span<const std::uint8_t> in, std::size_t at) { return in[at]; }

inline std::uint16_t get16(std::span<const std::uint8_t> in, std::size_t at)
{
    return static_cast<std::uint16_t>(in[at] | (in[at + 1] << 8));
}

inline std::uint32_t get32(std::span<const std::uint8_t> in, std::size_t at)
{
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | in[at + static_cast<std::size_t>(i)];
    return v;
}

inline std::int32_t getI32(std::span<const std::uint8_t> in, std::size_t at)
{
    return static_cast<std::int32_t>(get32(in, at));
}

template <std::size_t N>
inline void putBytes(std::span<std::uint8_t> out, std::size_t at, const std::array<char, N>& a)
{
    std::memcpy(out.data() + at, a.data(), N);
}

template <std::size_t N>
inline void getBytes(std::span<const std::uint8_t> in, std::size_t at, std::array<char, N>& a)
{
    std::memcpy(a.data(), in.data() + at, N);
}

} // namespace kestrane::le
