// The generated manuals: every help button's page carries its dialog's title, and every page of
// the tables carries its own title, as pdftotext reads the PDF.
#include "manual/manual_pages.h"

#include <QColor>
#include <QImage>
#include <QString>

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace kestrane::manual {
namespace {

const std::string kQuellorn = KESTRANE_PROGRAM_DIR "/Quellorn_Manual.pdf";
const std::string kKestrane = KESTRANE_PROGRAM_DIR "/Kestrane_Manual.pdf";

bool havePdfToText()
{
    return std::system("pdftotext -v >/dev/null 2>&1") == 0;
}

// The text of one page (or "" when pdftotext fails).
std::string pageText(const std::string& pdf, int page)
{
    const std::string command =
        "pdftotext -q -f " + std::to_string(page) + " -l " + std::to_string(page) + " '" + pdf + "' - 2>/dev/null";
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
            out.append(buf, n);
        ::pclose(p);
    }
    return out;
}

int pageCount(const std::string& pdf)
{
    const std::string command = "pdfinfo '" + pdf + "' 2>/dev/null";
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
            out.append(buf, n);
        ::pclose(p);
    }
    const auto at = out.find("Pages:");
    return at == std::string::npos ? 0 : std::stoi(out.substr(at + 6));
}

// The pages the help buttons open, with the title of their dialog.
struct HelpPage {
    int page;
    const char* title;
};
constexpr HelpPage kHelpPages[] = {
    {30, "表示設定"},           {37, "文字送信Diagram"},      {39, "文字送信Diagram"},  {42, "Macro実行Diagram"},
    {46, "DIO Moniter Dialog"}, {49, "Com Port Setting"},     {50, "Serial設定"},       {51, "詳細設定"},
    {52, "DCBの設定"},          {53, "DCBの設定"},            {56, "Dio Port Setting"}, {58, "サンプリング設定画面"},
    {59, "自動ロギング設定"},   {62, "起動時の画面サイズ"}, {63, "PL Setting"},       {68, "回線イベント"},
};

TEST(Manuals, EveryHelpButtonsPageCarriesItsDialogsTitle)
{
    if (!havePdfToText())
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    ASSERT_TRUE(std::filesystem::exists(kQuellorn));
    EXPECT_GE(pageCount(kQuellorn), 63);
    for (const HelpPage& h : kHelpPages) {
        const std::string text = pageText(kQuellorn, h.page);
        // The title is the page's heading: it comes before anything but the running header.
        const auto header = text.find("Kestrane 詳細説明書");
        const auto title = text.find(h.title);
        ASSERT_NE(title, std::string::npos) << "page " << h.page << " lacks " << h.title << ":\n" << text;
        EXPECT_LT(title, std::min<std::size_t>(text.size(), (header == std::string::npos ? 0 : header) + 80))
            << "page " << h.page;
    }
    // The two help pages of one title are told apart by their text.
    EXPECT_NE(pageText(kQuellorn, 37).find("入力文字送信"), std::string::npos);
    EXPECT_NE(pageText(kQuellorn, 39).find("設定文字送信"), std::string::npos);
    EXPECT_NE(pageText(kQuellorn, 52).find("CH1"), std::string::npos);
    EXPECT_NE(pageText(kQuellorn, 53).find("CH2"), std::string::npos);
}

TEST(Manuals, EveryPageOfBothTablesCarriesItsTitleAndPageNumber)
{
    if (!havePdfToText())
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    for (const ManualBook& book : {quellornManual(), kestraneManual()}) {
        const std::string pdf = KESTRANE_PROGRAM_DIR "/" + book.fileName.toStdString();
        ASSERT_EQ(pageCount(pdf), static_cast<int>(book.pages.size())) << pdf;
        for (const ManualPage& p : book.pages) {
            const std::string text = pageText(pdf, p.page);
            EXPECT_NE(text.find(p.title.toStdString()), std::string::npos) << pdf << " page " << p.page;
            EXPECT_NE(text.find("- " + std::to_string(p.page) + " -"), std::string::npos) << pdf << " page " << p.page;
        }
    }
    // The contents name the dialog pages at their numbers.
    const std::string contents = pageText(kQuellorn, 2);
    EXPECT_NE(contents.find("63"), std::string::npos);
    EXPECT_NE(contents.find("PL Setting"), std::string::npos);
}

// How many pixels of a rendered page have the device field's warning colour (#ffc857).
int warningPixels(const std::string& pdf, int page)
{
    const std::filesystem::path png = std::filesystem::temp_directory_path() /
                                      ("kestrane-page-" + std::to_string(::getpid()) + "-" + std::to_string(page));
    const std::string command = "pdftoppm -q -r 150 -png -singlefile -f " + std::to_string(page) + " -l " +
                                std::to_string(page) + " '" + pdf + "' '" + png.string() + "'";
    if (std::system(command.c_str()) != 0)
        return -1;
    const QImage image(QString::fromStdString(png.string() + ".png"));
    std::filesystem::remove(png.string() + ".png");
    if (image.isNull())
        return -1;
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            n += std::abs(c.red() - 0xff) + std::abs(c.green() - 0xc8) + std::abs(c.blue() - 0x57) < 40 ? 1 : 0;
        }
    return n;
}

TEST(Manuals, TheMainWindowPictureShowsTheTrafficWithItsPortOpen)
{
    if (!havePdfToText())
        GTEST_SKIP() << "poppler-utils is not installed";
    int pictures = 0;
    for (const ManualBook& book : {quellornManual(), kestraneManual()}) {
        const std::string pdf = KESTRANE_PROGRAM_DIR "/" + book.fileName.toStdString();
        for (const ManualPage& p : book.pages) {
            if (!p.pictures.contains(QStringLiteral("main")))
                continue;
            // No "cannot open" warning beside the traffic in the status bar.
            EXPECT_EQ(warningPixels(pdf, p.page), 0) << pdf << " page " << p.page;
            ++pictures;
        }
    }
    EXPECT_EQ(pictures, 2);
}

// The English editions: the same pages at the same numbers as the Japanese (so a help button's
// page is valid in both), each with its English title, and no Japanese character in their text.
constexpr HelpPage kEnglishHelpPages[] = {
    {30, "Display settings"},   {37, "Send characters"},  {39, "Send characters"},  {42, "Run macro"},
    {46, "DIO Moniter Dialog"}, {49, "Com Port Setting"}, {50, "Serial"},           {51, "Details"},
    {52, "DCB settings"},       {53, "DCB settings"},     {56, "Dio Port Setting"}, {58, "Sampling settings"},
    {59, "Auto logging"},       {62, "Window size at start"}, {63, "PL Setting"},
};

// The text around the first Japanese character in `utf8` (kana, kanji, Japanese punctuation,
// full-width and half-width forms), or "" when there is none.
std::string firstJapanese(const std::string& utf8)
{
    const QString text = QString::fromUtf8(utf8);
    for (int i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if ((c >= 0x3000 && c <= 0x30ff) || (c >= 0x3400 && c <= 0x9fff) || (c >= 0xff01 && c <= 0xff9f))
            return text.mid(std::max(0, i - 20), 40).toStdString();
    }
    return {};
}

TEST(Manuals, TheEnglishManualsHaveTheJapanesePagesAtTheSameNumbersWithoutJapaneseText)
{
    if (!havePdfToText())
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    const std::pair<ManualBook, ManualBook> books[] = {
        {quellornManual(), quellornManual(i18n::Language::English)},
        {kestraneManual(), kestraneManual(i18n::Language::English)},
    };
    for (const auto& [japanese, english] : books) {
        const std::string pdf = KESTRANE_PROGRAM_DIR "/" + english.fileName.toStdString();
        ASSERT_NE(english.fileName, japanese.fileName);
        ASSERT_EQ(english.pages.size(), japanese.pages.size()) << pdf;
        ASSERT_EQ(pageCount(pdf), static_cast<int>(japanese.pages.size())) << pdf;
        for (std::size_t i = 0; i < english.pages.size(); ++i) {
            const ManualPage& e = english.pages[i];
            const ManualPage& j = japanese.pages[i];
            EXPECT_EQ(e.page, j.page);
            EXPECT_TRUE(e.source == j.source || e.source == QStringLiteral("en/") + j.source) << pdf << " page " << e.page;
            EXPECT_EQ(e.pictures, j.pictures) << pdf << " page " << e.page;
            const std::string text = pageText(pdf, e.page);
            EXPECT_NE(text.find(e.title.toStdString()), std::string::npos) << pdf << " page " << e.page;
            EXPECT_NE(text.find("- " + std::to_string(e.page) + " -"), std::string::npos) << pdf << " page " << e.page;
            EXPECT_EQ(firstJapanese(text), "") << pdf << " page " << e.page;
            if (e.pictures.contains(QStringLiteral("main"))) {
                EXPECT_EQ(warningPixels(pdf, e.page), 0) << pdf << " page " << e.page;
            }
        }
    }
    const std::string reference = KESTRANE_PROGRAM_DIR "/" + quellornManual(i18n::Language::English).fileName.toStdString();
    for (const HelpPage& h : kEnglishHelpPages)
        EXPECT_NE(pageText(reference, h.page).find(h.title), std::string::npos) << "page " << h.page;
}

} // namespace
} // namespace kestrane::manual
