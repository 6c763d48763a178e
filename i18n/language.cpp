#include "i18n/language.h"

#include <atomic>

namespace kestrane::i18n {

namespace {
// Written once at start-up, read by any thread that makes a text.
std::atomic<Translator> g_translator{nullptr};
std::atomic<Language> g_language{Language::Japanese};
} // namespace

std::optional<Language> languageNamed(std::string_view name)
{
    if (name == "ja")
        return Language::Japanese;
    if (name == "en")
        return Language::English;
    return std::nullopt;
}

const char* languageCode(Language language) { return language == Language::English ? "en" : "ja"; }

Language chooseLanguage(std::optional<std::string> commandLine, const char* environment, std::optional<Language> kept)
{
    if (commandLine)
        if (const auto l = languageNamed(*commandLine))
            return *l;
    if (environment)
        if (const auto l = languageNamed(environment))
            return *l;
    return kept.value_or(Language::Japanese);
}

std::string translate(const char* context, const char* source)
{
    if (const Translator t = g_translator.load(std::memory_order_acquire))
        return t(context, source);
    return source;
}

Language currentLanguage() { return g_language.load(std::memory_order_acquire); }

void setCurrentLanguage(Language language) { g_language.store(language, std::memory_order_release); }

std::string arg(std::string_view text, std::initializer_list<std::string_view> values)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9') {
            const auto n = static_cast<std::size_t>(text[i + 1] - '1');
            if (n < values.size()) {
                out += values.begin()[n];
                ++i;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

void setTranslator(Translator translator) { g_translator.store(translator, std::memory_order_release); }

} // namespace kestrane::i18n
