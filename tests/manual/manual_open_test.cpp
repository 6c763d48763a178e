// Opening the manuals on Linux: the Windows reader setting becomes an installed viewer with its
// own page option, and the manuals are found in the start folder or where they are installed.
#include "app/external_tools.h"
#include "support/temp_dir.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <set>
#include <thread>

namespace kestrane {
namespace {

using test::TempDir;

struct ViewerCase {
    const char* reader;
    const char* pageCommand;
    std::set<std::string> installed;
    std::optional<PageViewer> expected;
};

TEST(PageViewer, TheWindowsReaderBecomesAnInstalledViewerWithItsOwnPageOption)
{
    const std::vector<ViewerCase> cases = {
        {"AcroRd32.exe", "/A page=", {"okular", "mupdf"}, PageViewer{"okular", {"-p", "30", "M.pdf"}}},
        {"AcroRd32.exe", "/A page=", {"mupdf", "xpdf"}, PageViewer{"mupdf", {"M.pdf", "30"}}},
        {"acrord32.EXE", "-x", {"evince"}, PageViewer{"evince", {"-p", "30", "M.pdf"}}},
        {"AcroRd32.exe", "/A page=", {"qpdfview"}, PageViewer{"qpdfview", {"M.pdf#30"}}},
        {"AcroRd32.exe", "/A page=", {"zathura"}, PageViewer{"zathura", {"-P", "30", "M.pdf"}}},
        {"AcroRd32.exe", "/A page=", {}, std::nullopt},                   // no viewer: the desktop's handler
        {"AcroRd32.exe", "/A page=", {"AcroRd32.exe", "evince"}, std::nullopt},  // a reader of that name exists
        {"/usr/bin/evince", "/A page=", {}, PageViewer{"/usr/bin/evince", {"-p", "30", "M.pdf"}}},
        {"evince", "--page-index=", {"evince"}, std::nullopt},             // the user's own option stands
        {"myviewer", "/A page=", {"evince"}, std::nullopt},
    };
    for (const ViewerCase& c : cases) {
        const auto got = pageViewerFor(c.reader, c.pageCommand, 30, "M.pdf",
                                       [&](const std::string& name) { return c.installed.count(name) > 0; });
        ASSERT_EQ(got.has_value(), c.expected.has_value()) << c.reader;
        if (got) {
            EXPECT_EQ(got->program, c.expected->program) << c.reader;
            EXPECT_EQ(got->args, c.expected->args) << c.reader;
        }
    }
}

// Stub programs that write their arguments into <work>/<name>.args.
struct Stubs {
    TempDir bin, work;
    void add(const std::string& name)
    {
        const auto path = bin / name;
        std::ofstream(path) << "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > \"" << (work / name).string() << ".args\"\n";
        ::chmod(path.c_str(), 0755);
    }
    std::vector<std::string> calls(const std::string& name)
    {
        const auto file = work / (name + ".args");
        for (int i = 0; i < 1000 && !std::filesystem::exists(file); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        std::vector<std::string> lines;
        std::ifstream in(file);
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        std::filesystem::remove(file);
        return lines;
    }
};

TEST(Manuals, HelpButtonsOpenAnInstalledViewerAtThePageOfTheInstalledManual)
{
    Stubs s;
    s.add("evince");
    s.add("opener");
    // An installed layout: <prefix>/bin/kestrane and <prefix>/share/kestrane/*.pdf.
    TempDir prefix;
    std::filesystem::create_directories(prefix / "bin");
    std::filesystem::create_directories(prefix / "share/kestrane");
    std::ofstream(prefix / "share/kestrane/Quellorn_Manual.pdf") << "%PDF";
    std::ofstream(prefix / "share/kestrane/Kestrane_Manual.pdf") << "%PDF";
    const auto installedManual = std::filesystem::canonical(prefix / "share/kestrane/Quellorn_Manual.pdf");

    Settings settings;  // the default reader AcroRd32.exe and "/A page="
    Processes processes(prefix / "bin", s.bin.path().string());
    processes.desktopOpener = "opener";
    const ExternalTools tools(processes, settings, s.work.path());

    tools.openManualAtPage(37);
    std::vector<std::string> args = s.calls("evince");
    ASSERT_EQ(args.size(), 3u);
    EXPECT_EQ(args[0], "-p");
    EXPECT_EQ(args[1], "37");
    EXPECT_EQ(std::filesystem::canonical(args[2]), installedManual);

    tools.openSamplingManual();
    args = s.calls("evince");
    ASSERT_EQ(args.size(), 3u);
    EXPECT_EQ(args[1], "58");

    // A manual in the start folder wins, named as the reader sees it from there.
    std::ofstream(s.work / "Quellorn_Manual.pdf") << "%PDF";
    tools.openManualAtPage(63);
    EXPECT_EQ(s.calls("evince"), (std::vector<std::string>{"-p", "63", "Quellorn_Manual.pdf"}));

    // Help: the desktop's handler with the installed main manual.
    EXPECT_TRUE(tools.openMainManual());
    args = s.calls("opener");
    ASSERT_EQ(args.size(), 1u);
    EXPECT_EQ(std::filesystem::canonical(args[0]), std::filesystem::canonical(prefix / "share/kestrane/Kestrane_Manual.pdf"));
}

// Run in English, the help buttons open the English manual at the same page, and Help the English
// guide; back in Japanese the Japanese ones again.
TEST(Manuals, InEnglishTheHelpButtonsOpenTheEnglishManualAtTheSamePage)
{
    struct EnglishRun {
        EnglishRun() { i18n::setCurrentLanguage(i18n::Language::English); }
        ~EnglishRun() { i18n::setCurrentLanguage(i18n::Language::Japanese); }
    };
    Stubs s;
    s.add("evince");
    s.add("opener");
    TempDir prefix;
    std::filesystem::create_directories(prefix / "bin");
    std::filesystem::create_directories(prefix / "share/kestrane");
    for (const char* name : {kDialogManual, kMainManual, kDialogManualEnglish, kMainManualEnglish})
        std::ofstream(prefix / "share/kestrane" / name) << "%PDF";
    Settings settings;
    Processes processes(prefix / "bin", s.bin.path().string());
    processes.desktopOpener = "opener";
    const ExternalTools tools(processes, settings, s.work.path());
    const auto installed = [&](const char* name) { return std::filesystem::canonical(prefix / "share/kestrane" / name); };
    {
        const EnglishRun english;
        tools.openManualAtPage(37);
        std::vector<std::string> args = s.calls("evince");
        ASSERT_EQ(args.size(), 3u);
        EXPECT_EQ(args[1], "37");
        EXPECT_EQ(std::filesystem::canonical(args[2]), installed(kDialogManualEnglish));
        tools.openSamplingManual();
        args = s.calls("evince");
        ASSERT_EQ(args.size(), 3u);
        EXPECT_EQ(args[1], "58");
        EXPECT_EQ(std::filesystem::canonical(args[2]), installed(kDialogManualEnglish));
        EXPECT_TRUE(tools.openMainManual());
        args = s.calls("opener");
        ASSERT_EQ(args.size(), 1u);
        EXPECT_EQ(std::filesystem::canonical(args[0]), installed(kMainManualEnglish));
    }
    tools.openManualAtPage(49);
    const std::vector<std::string> args = s.calls("evince");
    ASSERT_EQ(args.size(), 3u);
    EXPECT_EQ(std::filesystem::canonical(args[2]), installed(kDialogManual));
}

TEST(Manuals, WithoutAViewerTheDesktopHandlerOpensTheManualWithoutAPage)
{
    Stubs s;
    s.add("opener");
    Settings settings;
    Processes processes({}, s.bin.path().string());
    processes.desktopOpener = "opener";
    const ExternalTools tools(processes, settings, s.work.path());
    tools.openManualAtPage(49);
    EXPECT_EQ(s.calls("opener"), (std::vector<std::string>{(s.work / "Quellorn_Manual.pdf").string()}));
}

// The reader and its page option are code page 932 in the settings; they are started as the
// system spells them.
TEST(Manuals, TheSettingsReaderAndPageOptionAreStartedAsTheSystemSpellsThem)
{
    Stubs s;
    s.add("閲覧");
    s.add("opener");
    Settings settings;
    setFieldUtf8(settings.pdfReaderPath, "閲覧");
    setFieldUtf8(settings.pdfPageCommand, "--頁=");
    ASSERT_EQ(fixedText(settings.pdfReaderPath), "\x89\x7B\x97\x97");
    Processes processes({}, s.bin.path().string());
    processes.desktopOpener = "opener";
    const ExternalTools tools(processes, settings, s.work.path());
    tools.openManualAtPage(12);
    EXPECT_EQ(s.calls("閲覧"), (std::vector<std::string>{"--頁=12", "Quellorn_Manual.pdf"}));
}

} // namespace
} // namespace kestrane
