// What the checksum settings dialog (TDialog24) stores when OK is pressed, without widgets.
#pragma once

#include "records/settings_records.h"
#include "i18n/language.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace kestrane {

// The entries of the method drop-down, in the order of their checksumMethod values (UTF-8).
inline constexpr std::array<std::string_view, 3> kChecksumMethodNames = {
    I18N_NOOP("Kestrane", "Byte単位でXOR"),
    I18N_NOOP("Kestrane", "Byte単位で加算"),
    "CRC16",
};

// The drop-down text is read up to this many characters.
inline constexpr int kChecksumMethodTextMax = 31;

// The method whose entry equals `text` exactly (same bytes, same length); none otherwise.
[[nodiscard]] std::optional<std::int32_t> checksumMethodFromName(std::string_view text) noexcept;

// The state of the dialog's controls when OK is pressed.
struct ChecksumDialogInput {
    std::string_view methodText;  // the drop-down's text (typed or picked)
    bool oneByteChecked = false;  // radio 501 "HEXで１文字"
    bool twoDigitsChecked = false;  // radio 502 "ASCで２文字"
};

// Stores the dialog's choice: the method only when the text names one of the entries, the output
// form only when one of the radio buttons is checked; anything else stays as it was.
void applyChecksumDialog(SettingsRecord& settings, const ChecksumDialogInput& input) noexcept;

} // namespace kestrane
