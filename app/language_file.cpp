#include "app/language_file.h"

#include <fstream>
#include <string>

namespace kestrane {

std::optional<i18n::Language> parseLanguageFile(std::string_view text)
{
    std::optional<i18n::Language> chosen;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.substr(0, 9) == "language=")
            if (const auto l = i18n::languageNamed(line.substr(9)))
                chosen = l;
    }
    return chosen;
}

std::optional<i18n::Language> loadLanguage(const std::filesystem::path& folder)
{
    std::ifstream in(folder / kLanguageFile, std::ios::binary);
    std::string text(4096, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    return parseLanguageFile(text);
}

FileWriteResult saveLanguage(const std::filesystem::path& folder, i18n::Language language)
{
    const std::string text = std::string("language=") + i18n::languageCode(language) + "\n";
    return writeFileAtomically(folder / kLanguageFile,
                               {std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size())});
}

} // namespace kestrane
