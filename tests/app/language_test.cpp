// Which language a start speaks, and the language.conf that keeps the menu's choice.
#include "app/language_file.h"
#include "i18n/language.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>

namespace kestrane {
namespace {

using i18n::Language;

TEST(Language, TheCommandLineThenTheEnvironmentThenTheKeptChoiceElseJapanese)
{
    const auto en = std::optional<Language>(Language::English);
    EXPECT_EQ(i18n::chooseLanguage(std::nullopt, nullptr, std::nullopt), Language::Japanese);
    EXPECT_EQ(i18n::chooseLanguage(std::nullopt, nullptr, en), Language::English);
    EXPECT_EQ(i18n::chooseLanguage(std::nullopt, "ja", en), Language::Japanese);
    EXPECT_EQ(i18n::chooseLanguage(std::string("ja"), "en", en), Language::Japanese);
    EXPECT_EQ(i18n::chooseLanguage(std::string("en"), "ja", std::nullopt), Language::English);
    // A name that is no language is passed over, never taken for Japanese or English; the
    // desktop's locale names (en_US.UTF-8) are not ours.
    EXPECT_EQ(i18n::chooseLanguage(std::nullopt, "en_US.UTF-8", std::nullopt), Language::Japanese);
    EXPECT_EQ(i18n::chooseLanguage(std::nullopt, "", en), Language::English);
}

TEST(LanguageFile, KeepsTheChoiceAndReadsOnlyWhatNamesALanguage)
{
    test::TempDir dir;
    EXPECT_EQ(loadLanguage(dir.path()), std::nullopt);
    ASSERT_TRUE(saveLanguage(dir.path(), Language::English));
    EXPECT_EQ(loadLanguage(dir.path()), Language::English);
    ASSERT_TRUE(saveLanguage(dir.path(), Language::Japanese));
    EXPECT_EQ(loadLanguage(dir.path()), Language::Japanese);

    EXPECT_EQ(parseLanguageFile("language=en\r\n"), Language::English);
    EXPECT_EQ(parseLanguageFile("# kept by Kestrane\nlanguage=en\nlanguage=fr\n"), Language::English);
    EXPECT_EQ(parseLanguageFile("language=ja\nlanguage=en"), Language::English);
    EXPECT_EQ(parseLanguageFile(" language=en\nLanguage=en\nlanguage = en\n"), std::nullopt);
    EXPECT_EQ(parseLanguageFile(std::string_view("\0\xff\n", 3)), std::nullopt);
    std::ofstream(dir.path() / kLanguageFile) << "language=";
    EXPECT_EQ(loadLanguage(dir.path()), std::nullopt);
}

} // namespace
} // namespace kestrane
