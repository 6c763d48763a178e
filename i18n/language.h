// The language the program speaks. Japanese is the default and every text is written in the
// source in Japanese (UTF-8); English is the translation of those texts. A text is marked for
// translation where it is written, by `translate(context, text)` (Qt's lupdate finds these
// calls, as it finds QCoreApplication::translate and tr in the windows).
//
// The language is chosen once, by the program's entry, before any text is made; from then on it
// does not change during the run (a choice in the menu applies at the next start).
#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace kestrane::i18n {

enum class Language { Japanese, English };

// "ja" or "en"; nothing for other names.
[[nodiscard]] std::optional<Language> languageNamed(std::string_view name);
[[nodiscard]] const char* languageCode(Language language);

// Which of the three sources decides, first one given wins: the command line (--lang), the
// environment (KESTRANE_LANG), the user's choice kept in the start folder; else Japanese. The
// desktop's locale never decides. A name that is not a language is skipped.
[[nodiscard]] Language chooseLanguage(std::optional<std::string> commandLine, const char* environment,
                                      std::optional<Language> kept);

// Marks a text kept in a table for translation where it is shown (lupdate reads it as
// QT_TRANSLATE_NOOP); it stays the Japanese text.
#define I18N_NOOP(context, text) text

// The text in the program's language: `source` as written (Japanese) until a translator is set.
[[nodiscard]] std::string translate(const char* context, const char* source);

// `text` with %1 .. %9 replaced by `values` (the translated text may order them as it needs).
[[nodiscard]] std::string arg(std::string_view text, std::initializer_list<std::string_view> values);

// The language in effect for this run (set by the program's entry with its translator).
[[nodiscard]] Language currentLanguage();
void setCurrentLanguage(Language language);

// What translate asks for another language's text. Set once by the program's entry, before any
// thread starts; null restores the texts as written.
using Translator = std::string (*)(const char* context, const char* source);
void setTranslator(Translator translator);

} // namespace kestrane::i18n
