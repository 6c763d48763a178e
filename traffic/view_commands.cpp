#include "traffic/view_commands.h"

#include "i18n/language.h"

#include "notation/hex_notation.h"

#include <algorithm>
#include <cstring>

namespace kestrane {

namespace {

using display::kCellWidth;
using display::kFirstCellX;
using display::kLineHeight;

// The newest (or searched) line is shown this many lines below the top of the window.
constexpr std::int32_t kLinesAboveFocus = 8;

// The pattern up to its first zero byte.
BytesView untilZero(BytesView bytes)
{
    const auto end = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
    return bytes.first(static_cast<std::size_t>(end - bytes.begin()));
}

void appendHex(std::string& out, std::uint8_t b)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    out += kDigits[b >> 4];
    out += kDigits[b & 0x0F];
}

} // namespace

std::int32_t topLineFor(std::int32_t line, std::int32_t lineCount)
{
    const std::int32_t top = line - kLinesAboveFocus;
    if (top < 0 || top > lineCount)
        return 0;
    return top;
}

// ---------------------------------------------------------------- search

std::vector<std::uint8_t> hexPatternBytes(BytesView text)
{
    std::vector<std::uint8_t> out;
    decodeHexNotation(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()),
                      [&out](std::uint8_t byte) {
                          out.push_back(byte);
                          return true;
                      });
    return out;
}

void setSearchText(SearchState& state, BytesView text)
{
    const BytesView t = untilZero(text);
    const std::size_t limit = kSearchTextSize - 1;
    std::size_t n = 0;
    while (n < t.size()) {
        const std::size_t unit = isShiftJisLead(t[n]) && n + 1 < t.size() ? 2 : 1;
        if (n + unit > limit)
            break;
        n += unit;
    }
    state.searchText.fill(0);
    std::memcpy(state.searchText.data(), t.data(), n);
}

std::string searchText(const SearchState& state)
{
    const auto end = std::find(state.searchText.begin(), state.searchText.end(), '\0');
    return {state.searchText.begin(), end};
}

std::vector<std::uint8_t> searchPattern(const SearchState& state, SearchKind kind)
{
    const std::string text = searchText(state);
    std::vector<std::uint8_t> bytes(text.begin(), text.end());
    return kind == SearchKind::Hex ? hexPatternBytes(bytes) : bytes;
}

bool findNext(SearchState& state, BytesView pattern, BytesView dataPlane, std::int32_t drawPosition)
{
    const BytesView p = untilZero(pattern);
    const auto length = static_cast<std::int64_t>(p.size());
    const std::int64_t drawn = std::clamp<std::int64_t>(drawPosition, 0, static_cast<std::int64_t>(dataPlane.size()));
    const std::int64_t start = state.searchPhase != 0 ? std::max<std::int64_t>(state.searchHitIndex, -1) + 1 : 0;

    for (std::int64_t i = start; i < drawn && i + length <= drawn; ++i) {
        if (std::equal(p.begin(), p.end(), dataPlane.begin() + i)) {
            state.searchHitIndex = static_cast<std::int32_t>(i);
            state.searchHitLength = static_cast<std::int32_t>(length);
            return true;
        }
    }
    state.searchHitIndex = 0;
    return false;
}

bool startSearch(SearchState& state, BytesView text, SearchKind kind, BytesView dataPlane, std::int32_t drawPosition)
{
    setSearchText(state, text);
    state.searchPhase = 0;
    if (!findNext(state, searchPattern(state, kind), dataPlane, drawPosition))
        return false;
    state.searchPhase = 2;
    return true;
}

ContinueResult continueSearch(SearchState& state, SearchKind kind, BytesView dataPlane, std::int32_t drawPosition)
{
    if (state.searchPhase != 1)
        return ContinueResult::NotSearching;
    if (!findNext(state, searchPattern(state, kind), dataPlane, drawPosition))
        return ContinueResult::Miss;
    state.searchPhase = 2;
    return ContinueResult::Hit;
}

SearchHighlight searchHighlight(std::int32_t hitIndex, std::int32_t hitLength, std::int32_t charsPerLine,
                                std::int32_t lineCount, std::int32_t maxTopLine)
{
    const std::int32_t cpl = std::max(charsPerLine, 1);
    const std::int32_t line = hitIndex / cpl;
    SearchHighlight h;
    h.topLine = std::min(topLineFor(line, lineCount), std::max(maxTopLine, 0));
    h.x = (hitIndex - line * cpl) * kCellWidth + kFirstCellX;
    h.y = (line - h.topLine) * kLineHeight;
    h.width = hitLength * kCellWidth;
    h.height = kLineHeight;
    return h;
}

std::optional<SearchHighlight> takePendingHighlight(SearchState& state, std::int32_t charsPerLine,
                                                    std::int32_t lineCount, std::int32_t maxTopLine)
{
    if (state.searchPhase != 2)
        return std::nullopt;
    state.searchPhase = 1;
    return searchHighlight(state.searchHitIndex, state.searchHitLength, charsPerLine, lineCount, maxTopLine);
}

// ---------------------------------------------------------------- string enumeration

std::optional<std::int32_t> cellIndexAt(std::int32_t x, std::int32_t y, std::int32_t scrollLine,
                                        std::int32_t charsPerLine)
{
    if (y < 0 || scrollLine < 0)
        return std::nullopt;
    const std::int64_t column = x < kFirstCellX ? 0 : (x - kFirstCellX) / kCellWidth;
    const std::int64_t line = static_cast<std::int64_t>(scrollLine) + y / kLineHeight;
    const std::int64_t index = line * std::max(charsPerLine, 1) + column;
    if (index >= kTrafficPlaneSize)
        return std::nullopt;
    return static_cast<std::int32_t>(index);
}

void EnumerationSelection::press(std::int32_t x, std::int32_t y, std::int32_t scrollLine, std::int32_t charsPerLine,
                                 std::int32_t drawPosition)
{
    const auto index = cellIndexAt(x, y, scrollLine, charsPerLine);
    start_ = index && *index <= drawPosition ? *index : -1;
}

std::optional<std::vector<std::uint8_t>> EnumerationSelection::release(std::int32_t x, std::int32_t y,
                                                                       std::int32_t scrollLine,
                                                                       std::int32_t charsPerLine,
                                                                       std::int32_t drawPosition, BytesView dataPlane)
{
    const std::int32_t start = start_;
    start_ = -1;
    const auto index = cellIndexAt(x, y, scrollLine, charsPerLine);
    if (start < 0 || !index || *index > drawPosition || *index < start)
        return std::nullopt;
    // Both ends lie inside the plane, so the copy does too; the view's plane may still be shorter.
    const std::int64_t available = static_cast<std::int64_t>(dataPlane.size()) - start;
    const std::int64_t length = std::min<std::int64_t>({*index - start + 1, kMaxSelectionLength, available});
    if (length <= 0)
        return std::nullopt;
    const auto first = dataPlane.begin() + start;
    return std::vector<std::uint8_t>(first, first + length);
}

EnumerationMode initialEnumerationMode(BytesView bytes)
{
    const bool control = std::any_of(bytes.begin(), bytes.end(),
                                     [](std::uint8_t b) { return static_cast<std::int8_t>(b) < 32; });
    return control ? EnumerationMode::HexAscii : EnumerationMode::Ascii;
}

EnumerationMode nextEnumerationMode(EnumerationMode mode)
{
    switch (mode) {
    case EnumerationMode::HexAscii:
        return EnumerationMode::Hex;
    case EnumerationMode::Hex:
        return EnumerationMode::Ascii;
    case EnumerationMode::Ascii:
        break;
    }
    return EnumerationMode::HexAscii;
}

std::string_view enumerationCaption(EnumerationMode mode)
{
    switch (mode) {
    case EnumerationMode::HexAscii:
        return I18N_NOOP("Kestrane", "文字列列挙【HEX\"ASC\"】");
    case EnumerationMode::Hex:
        return I18N_NOOP("Kestrane", "文字列列挙【HEX】");
    case EnumerationMode::Ascii:
        break;
    }
    return I18N_NOOP("Kestrane", "文字列列挙【ASC】");
}

std::string renderEnumeration(BytesView bytes, EnumerationMode mode)
{
    std::string out;
    switch (mode) {
    case EnumerationMode::Ascii: {
        const BytesView text = untilZero(bytes);
        out.assign(text.begin(), text.end());
        break;
    }
    case EnumerationMode::Hex:
        for (const std::uint8_t b : bytes)
            appendHex(out, b);
        break;
    case EnumerationMode::HexAscii: {
        bool quoted = false;
        for (const std::uint8_t b : bytes) {
            const bool printable = b >= 0x20 && b <= 0x7F;
            if (printable != quoted) {
                out += '"';
                quoted = printable;
            }
            if (printable)
                out += static_cast<char>(b);
            else
                appendHex(out, b);
        }
        if (quoted)
            out += '"';
        break;
    }
    }
    return out;
}

} // namespace kestrane
