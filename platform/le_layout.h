// Stored records as tables: each row names a member and its offset in the little-endian image,
// and the one table serves both the writer and the reader, so a layout is written down once.
//
//   constexpr auto kTable = le::table<Dcb>(Dcb::kSize, le::at(0, &Dcb::DCBlength), ...);
//   le::write(kTable, dcb, out);  le::read(kTable, dcb, in);
//
// A member is a 1-, 2- or 4-byte integer, a char, an array of any of these, or a record with a
// table of its own, found by `tableOf(std::type_identity<Record>)` beside the record.
// `misplacedRow` says whether the rows lie end to end and fill the image exactly.
#pragma once

#include "platform/le_bytes.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <tuple>
#include <type_traits>
#include <utility>

namespace kestrane::le {

template <class Record, class T>
struct Row {
    std::size_t at;
    T Record::*member;
};

template <class Record, class... T>
struct Table {
    std::size_t size;
    std::tuple<Row<Record, T>...> rows;
};

template <class Record, class T>
constexpr Row<Record, T> at(std::size_t offset, T Record::*member)
{
    return {offset, member};
}

template <class Record, class... T>
constexpr Table<Record, T...> table(std::size_t size, Row<Record, T>... rows)
{
    return {size, {rows...}};
}

template <class T>
struct IsStdArray : std::false_type {};
template <class E, std::size_t N>
struct IsStdArray<std::array<E, N>> : std::true_type {
    using Element = E;
    static constexpr std::size_t count = N;
};

template <class T>
concept Tabled = requires { tableOf(std::type_identity<T>{}); };

// Bytes a member takes in the image.
template <class T>
constexpr std::size_t sizeOf()
{
    if constexpr (IsStdArray<T>::value)
        return IsStdArray<T>::count * sizeOf<typename IsStdArray<T>::Element>();
    else if constexpr (Tabled<T>)
        return tableOf(std::type_identity<T>{}).size;
    else if constexpr (std::is_same_v<T, char> || std::is_same_v<T, std::uint8_t>)
        return 1;
    else if constexpr (std::is_same_v<T, std::uint16_t>)
        return 2;
    else {
        static_assert(std::is_same_v<T, std::uint32_t> || std::is_same_v<T, std::int32_t>, "no stored form");
        return 4;
    }
}

template <class Record, class... T, class R, class Leaf>
void walkRows(const Table<Record, T...>& t, R& r, std::size_t offset, Leaf& leaf);

// Calls `leaf(offset, value)` for every integer and char of `v` (const when writing), `v` lying
// at `offset`: arrays element by element, records with a table row by row.
template <class V, class Leaf>
void walk(V& v, std::size_t offset, Leaf& leaf)
{
    using T = std::remove_const_t<V>;
    if constexpr (IsStdArray<T>::value) {
        for (std::size_t i = 0; i < v.size(); ++i)
            walk(v[i], offset + i * sizeOf<typename IsStdArray<T>::Element>(), leaf);
    } else if constexpr (Tabled<T>) {
        walkRows(tableOf(std::type_identity<T>{}), v, offset, leaf);
    } else {
        leaf(offset, v);
    }
}

template <class Record, class... T, class R, class Leaf>
void walkRows(const Table<Record, T...>& t, R& r, std::size_t offset, Leaf& leaf)
{
    std::apply([&](const auto&... row) { (walk(r.*(row.member), offset + row.at, leaf), ...); }, t.rows);
}

// Writes every row of `r` at its offset of `out` (which holds at least t.size bytes).
template <class Record, class... T>
void write(const Table<Record, T...>& t, const Record& r, std::span<std::uint8_t> out)
{
    auto put = [out](std::size_t at, const auto& v) {
        using V = std::remove_cvref_t<decltype(v)>;
        if constexpr (sizeOf<V>() == 1)
            put8(out, at, static_cast<std::uint8_t>(v));
        else if constexpr (sizeOf<V>() == 2)
            put16(out, at, v);
        else
            put32(out, at, static_cast<std::uint32_t>(v));
    };
    walkRows(t, r, 0, put);
}

// Reads every row of `r` from its offset of `in` (which holds at least t.size bytes).
template <class Record, class... T>
void read(const Table<Record, T...>& t, Record& r, std::span<const std::uint8_t> in)
{
    auto get = [in](std::size_t at, auto& v) {
        using V = std::remove_cvref_t<decltype(v)>;
        if constexpr (sizeOf<V>() == 1)
            v = static_cast<V>(get8(in, at));
        else if constexpr (sizeOf<V>() == 2)
            v = get16(in, at);
        else
            v = static_cast<V>(get32(in, at));
    };
    walkRows(t, r, 0, get);
}

// The same for a record by its own table.
template <Tabled Record>
void writeRecord(const Record& r, std::span<std::uint8_t> out)
{
    write(tableOf(std::type_identity<Record>{}), r, out);
}

template <Tabled Record>
Record readRecord(std::span<const std::uint8_t> in)
{
    Record r;
    read(tableOf(std::type_identity<Record>{}), r, in);
    return r;
}

// The first row that does not start where the row before it ends (the first at 0), or the
// number of rows when the last one does not end at the table's size; -1 when every byte of the
// image belongs to exactly one row.
template <class Record, class... T>
constexpr int misplacedRow(const Table<Record, T...>& t)
{
    std::size_t end = 0;
    int index = 0;
    int misplaced = -1;
    std::apply(
        [&](const auto&... row) {
            const auto check = [&](const auto& r) {
                using Member = std::remove_cvref_t<decltype(std::declval<Record>().*(r.member))>;
                if (misplaced < 0 && r.at != end)
                    misplaced = index;
                end = r.at + sizeOf<Member>();
                ++index;
            };
            (check(row), ...);
        },
        t.rows);
    if (misplaced < 0 && end != t.size)
        misplaced = index;
    return misplaced;
}

} // namespace kestrane::le
