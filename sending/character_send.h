// What the character send dialogs (708 typed line, 701 long string) compute, without widgets:
// the dialog-state record and its exchange with the settings, the history of the last 20
// different lines, and the frame a press of "送信" or "ASC送信" leaves in the send buffer.
#pragma once

#include "sending/send_buffer.h"
#include "records/settings_records.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrane {

// The state of one dialog kind's controls; shared by every open dialog of that kind.
struct CharacterSendRecord {
    std::array<char, 4> startCharHex{};  // edit 402
    std::array<char, 4> stopCharHex{};   // edit 403
    std::array<char, 4> endCharHex{};    // edit 404
    std::int16_t startOn = 0;            // check box 301
    std::int16_t stopOn = 0;             // check box 302
    std::int16_t checksumOn = 0;         // check box 303
    std::int16_t endOn = 0;              // check box 304
    std::int16_t ch1Selected = 0;        // radio 501
    std::int16_t ch2Selected = 0;        // radio 502

    bool operator==(const CharacterSendRecord&) const = default;
};

// The record as a dialog opens: texts and switches from the settings, CH1 selected.
[[nodiscard]] CharacterSendRecord recordFromSettings(const SettingsRecord& settings);
// Stores the record's texts and switches into the settings (after every send and at close).
void storeRecord(const CharacterSendRecord& record, SettingsRecord& settings);
// The frame decoration of a send: the record's switches and texts, the checksum settings'
// method, output form and letter case.
[[nodiscard]] FrameOptions frameOptionsFor(const CharacterSendRecord& record, const SettingsRecord& settings);
// The channel a send goes out on: 2 when the CH2 radio is on, otherwise 1.
[[nodiscard]] int selectedChannel(const CharacterSendRecord& record) noexcept;

// A character text field (4 bytes, NUL-terminated) from what an edit holds: at most 3 bytes.
[[nodiscard]] std::array<char, 4> characterField(std::string_view text) noexcept;
[[nodiscard]] std::string_view fieldText(const std::array<char, 4>& field) noexcept;

// The last 20 different lines sent from one dialog kind, newest first. Lives for the whole run.
class SendHistory {
public:
    static constexpr std::size_t kEntries = 20;
    static constexpr std::size_t kTextSize = 520;  // NUL-terminated

    struct Entry {
        std::int32_t inUse = 0;
        std::array<char, kTextSize> text{};
    };

    // Makes `text` entry 0 unless an entry in use holds exactly the same bytes (then nothing
    // changes, not even the order). An empty text is never added. True when the history changed.
    bool add(std::string_view text);

    // The texts of the entries in use, entry 0 first.
    [[nodiscard]] std::vector<std::string> texts() const;
    [[nodiscard]] const std::array<Entry, kEntries>& entries() const { return entries_; }

private:
    std::array<Entry, kEntries> entries_{};
};

// One dialog kind's process-wide memory: its record and its history.
struct CharacterSendMemory {
    CharacterSendRecord record;
    SendHistory history;
};

// Both kinds, owned by the application core.
struct SendDialogMemory {
    CharacterSendMemory typed;       // dialog 708 "入力文字送信"
    CharacterSendMemory longString;  // dialog 701 "ロング文字送信"
};

// The longest prefix of a code page 932 text that fits `maxBytes` without splitting a
// double-byte character (a lead byte 81-9F or E0-FC and the byte after it).
[[nodiscard]] std::size_t cp932PrefixLength(std::string_view bytes, std::size_t maxBytes) noexcept;

// The part of a typed line that a send takes: cut to 511 bytes at a character boundary.
[[nodiscard]] std::string_view sendableLine(std::string_view line) noexcept;

// Steps 2 and 3 of a send: the typed line (code page 932 bytes; cut to 511 bytes at a character
// boundary) goes into the send text, the frame is composed into the send buffer in `form`
// with the record's decoration, and a non-empty line is added to `history`. The caller then
// transmits the buffer on selectedChannel() and stores the record into the settings, whatever
// the result. True when the history changed.
bool prepareCharacterSend(SendState& state, SendHistory& history, const CharacterSendRecord& record,
                          const SettingsRecord& settings, std::string_view line, TextForm form);

} // namespace kestrane
