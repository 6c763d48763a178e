#include "sending/character_send.h"

#include <algorithm>

namespace kestrane {

namespace {

bool isCp932Lead(std::uint8_t byte) noexcept
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

} // namespace

CharacterSendRecord recordFromSettings(const SettingsRecord& settings)
{
    CharacterSendRecord record;
    // A stored field may lack its NUL; the record keeps at most 3 characters of it.
    record.startCharHex = characterField(fieldText(settings.sendStartCharHex));
    record.stopCharHex = characterField(fieldText(settings.sendStopCharHex));
    record.endCharHex = characterField(fieldText(settings.sendEndCharHex));
    record.startOn = settings.sendStartCharOn != 0 ? 1 : 0;
    record.stopOn = settings.sendStopCharOn != 0 ? 1 : 0;
    record.checksumOn = settings.sendChecksumOn != 0 ? 1 : 0;
    record.endOn = settings.sendEndCharOn != 0 ? 1 : 0;
    record.ch1Selected = 1;
    record.ch2Selected = 0;
    return record;
}

void storeRecord(const CharacterSendRecord& record, SettingsRecord& settings)
{
    settings.sendStartCharHex = record.startCharHex;
    settings.sendStopCharHex = record.stopCharHex;
    settings.sendEndCharHex = record.endCharHex;
    settings.sendStartCharOn = record.startOn;
    settings.sendStopCharOn = record.stopOn;
    settings.sendChecksumOn = record.checksumOn;
    settings.sendEndCharOn = record.endOn;
}

FrameOptions frameOptionsFor(const CharacterSendRecord& record, const SettingsRecord& settings)
{
    FrameOptions options = frameOptionsFrom(settings);
    options.startOn = record.startOn != 0;
    options.stopOn = record.stopOn != 0;
    options.checksumOn = record.checksumOn != 0;
    options.endOn = record.endOn != 0;
    options.startCharHex = record.startCharHex;
    options.stopCharHex = record.stopCharHex;
    options.endCharHex = record.endCharHex;
    return options;
}

int selectedChannel(const CharacterSendRecord& record) noexcept
{
    return record.ch2Selected != 0 ? 2 : 1;
}

std::array<char, 4> characterField(std::string_view text) noexcept
{
    std::array<char, 4> field{};
    const std::size_t nul = text.find('\0');
    if (nul != std::string_view::npos)
        text = text.substr(0, nul);
    std::copy_n(text.begin(), std::min<std::size_t>(text.size(), 3), field.begin());
    return field;
}

std::string_view fieldText(const std::array<char, 4>& field) noexcept
{
    const auto end = std::find(field.begin(), field.end(), '\0');
    return {field.data(), static_cast<std::size_t>(end - field.begin())};
}

bool SendHistory::add(std::string_view text)
{
    const std::size_t nul = text.find('\0');
    if (nul != std::string_view::npos)
        text = text.substr(0, nul);
    text = text.substr(0, std::min(text.size(), kTextSize - 1));
    if (text.empty())
        return false;
    for (const Entry& e : entries_) {
        if (e.inUse != 0 && std::string_view(e.text.data()) == text)
            return false;
    }
    std::move_backward(entries_.begin(), entries_.end() - 1, entries_.end());
    Entry& first = entries_.front();
    first.text.fill(0);
    std::copy(text.begin(), text.end(), first.text.begin());
    first.inUse = 1;
    return true;
}

std::vector<std::string> SendHistory::texts() const
{
    std::vector<std::string> out;
    for (const Entry& e : entries_) {
        if (e.inUse != 0)
            out.emplace_back(e.text.data());
    }
    return out;
}

std::size_t cp932PrefixLength(std::string_view bytes, std::size_t maxBytes) noexcept
{
    std::size_t i = 0;
    while (i < bytes.size()) {
        const std::size_t unit = isCp932Lead(static_cast<std::uint8_t>(bytes[i])) && i + 1 < bytes.size() ? 2 : 1;
        if (i + unit > maxBytes)
            break;
        i += unit;
    }
    return i;
}

std::string_view sendableLine(std::string_view line) noexcept
{
    return line.substr(0, cp932PrefixLength(line, SendText::kMaxChars));
}

bool prepareCharacterSend(SendState& state, SendHistory& history, const CharacterSendRecord& record,
                          const SettingsRecord& settings, std::string_view line, TextForm form)
{
    state.sendText.assign(sendableLine(line));
    const std::string_view text = state.sendText.view();
    state.composeFrame(text, form, frameOptionsFor(record, settings));
    // The history is updated before anything is written, so it holds the line even when the
    // transmission then fails.
    return history.add(text);
}

} // namespace kestrane
