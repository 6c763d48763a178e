// The language the user chose in the menu (Language / 言語), kept in a small file of our own in
// the start folder: "language.conf" with the line "language=en" or "language=ja". It is read
// before the window exists and applies from the next start.
#pragma once

#include "i18n/language.h"
#include "platform/atomic_file.h"

#include <filesystem>
#include <optional>
#include <string_view>

namespace kestrane {

inline constexpr const char* kLanguageFile = "language.conf";

// The language a language.conf text names (its last "language=" line that names one).
[[nodiscard]] std::optional<i18n::Language> parseLanguageFile(std::string_view text);
// The language kept in `folder`; nothing without a file or a readable choice in it.
[[nodiscard]] std::optional<i18n::Language> loadLanguage(const std::filesystem::path& folder);
// Keeps `language` in `folder` (written whole, or not at all).
[[nodiscard]] FileWriteResult saveLanguage(const std::filesystem::path& folder, i18n::Language language);

} // namespace kestrane
