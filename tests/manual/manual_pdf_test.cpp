// The generated manuals: every help button's page carries its dialog's title, and every page of
// the tables carries its own title, as pdftotext reads the PDF.
#include "manual/manual_pages.h"

#include <gtest/gtest.h>

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
    {59, "自動ロギング設定"},   {62, "起動時の画面サイズ"}, {63, "PL Setting"},
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

} // namespace
} // namespace kestrane::manual
