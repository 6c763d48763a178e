// The command table and its enabling rules; the companion programs and the manual.
#include "app/command_ids.h"
#include "app/command_rules.h"
#include "app/command_table.h"
#include "app/external_tools.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sys/stat.h>
#include <thread>

namespace kestrane {
namespace {

using test::TempDir;

bool enabled(int id, const CommandState& s) { return commandRule(id, s).value_or(true); }

TEST(CommandRules, Ch2EntriesNeedASecondPortThatIsOpen)
{
    CommandState s;
    s.ch1Running = true;
    s.ch2Running = true;  // a thread flag alone is not enough while CH2 is not in use
    s.ch2Mode = Ch2Mode::NotUsed;
    for (int id :
         {cmd::SerialSettingsCh2, cmd::DcbSettingsCh2, cmd::LineStatusCh2, cmd::TextTransferCh2, cmd::LineStatusBoth})
        EXPECT_FALSE(enabled(id, s)) << id;
    s.ch2Mode = Ch2Mode::Independent;
    for (int id : {cmd::SerialSettingsCh2, cmd::DcbSettingsCh2, cmd::LineStatusCh2, cmd::TextTransferCh2})
        EXPECT_TRUE(enabled(id, s)) << id;
    s.ch2Running = false;
    for (int id : {cmd::SerialSettingsCh2, cmd::DcbSettingsCh2, cmd::LineStatusCh2, cmd::TextTransferCh2})
        EXPECT_FALSE(enabled(id, s)) << id;
}

TEST(CommandRules, Ch1EntriesFollowItsPortAndComPortStaysAvailable)
{
    CommandState s;
    s.ch1Running = false;  // CH1 failed at start-up
    for (int id : {cmd::SerialSettingsCh1, cmd::DcbSettingsCh1, cmd::LineStatusCh1, cmd::TextTransferCh1})
        EXPECT_FALSE(enabled(id, s)) << id;
    EXPECT_TRUE(enabled(cmd::ComPortSettings, s));
    s.ch1Running = true;
    for (int id : {cmd::SerialSettingsCh1, cmd::DcbSettingsCh1, cmd::LineStatusCh1, cmd::TextTransferCh1})
        EXPECT_TRUE(enabled(id, s)) << id;
}

TEST(CommandRules, LineMonitorModes)
{
    CommandState s;
    for (int mode : {Ch2Mode::NotUsed, Ch2Mode::Independent}) {
        s.ch2Mode = mode;
        EXPECT_TRUE(enabled(cmd::RunMacro, s));
        EXPECT_FALSE(enabled(cmd::LineStatusBoth, s));
    }
    s.ch2Mode = Ch2Mode::MonitorT;
    EXPECT_FALSE(enabled(cmd::RunMacro, s));
    EXPECT_TRUE(enabled(cmd::LineStatusBoth, s));
    s.ch2Mode = Ch2Mode::MonitorRelay;
    EXPECT_FALSE(enabled(cmd::RunMacro, s));
    EXPECT_FALSE(enabled(cmd::LineStatusBoth, s));
}

TEST(CommandRules, DisplayEntries)
{
    CommandState s;
    for (int mode : {0, 1, 2}) {
        s.displayMode = mode;
        EXPECT_EQ(enabled(cmd::ToggleSpeed, s), mode == 0) << mode;
    }
    s.fastDisplay = 1;
    EXPECT_FALSE(enabled(cmd::DisplaySettings, s));
    s.fastDisplay = 0;
    EXPECT_TRUE(enabled(cmd::DisplaySettings, s));
    s.dioFitted = 1;
    for (int mode : {0, 1, 2})
        EXPECT_FALSE(enabled(cmd::TimeChart, CommandState{0, true, true, 0, mode, 1}));
    EXPECT_FALSE(enabled(cmd::DioPortSettings, s));
    EXPECT_TRUE(enabled(cmd::IoMonitor, s));
    s.dioFitted = 0;
    EXPECT_FALSE(enabled(cmd::IoMonitor, s));
}

TEST(CommandTable, DispatchesToTheRowAndDisablesIdsWithoutHandlers)
{
    CommandTable table;
    int ran = 0;
    CommandState state;
    table.setRule([&](int id) { return commandRule(id, state); });
    table.add(cmd::Redisplay, [&] { ran = cmd::Redisplay; });
    table.add(cmd::ToggleSpeed, [&] { ran = cmd::ToggleSpeed; });
    table.add(cmd::TimeChart, {});  // a row without a handler

    EXPECT_TRUE(table.dispatch(cmd::Redisplay));
    EXPECT_EQ(ran, cmd::Redisplay);
    EXPECT_FALSE(table.dispatch(cmd::TimeChart));
    EXPECT_FALSE(table.dispatch(12345));
    EXPECT_EQ(ran, cmd::Redisplay);

    EXPECT_TRUE(table.isEnabled(cmd::Redisplay));
    EXPECT_FALSE(table.isEnabled(cmd::TimeChart));
    EXPECT_FALSE(table.isEnabled(cmd::SerialSettingsCh1));  // no handler: disabled whatever its rule says
    EXPECT_TRUE(table.isEnabled(cmd::ToggleSpeed));
    state.displayMode = 1;
    EXPECT_FALSE(table.isEnabled(cmd::ToggleSpeed));  // evaluated anew each time
    table.add(cmd::ToggleSpeed, [] {}, [] { return true; });
    EXPECT_TRUE(table.isEnabled(cmd::ToggleSpeed));   // a row's own test wins over the rule
}

TEST(Manual, ParametersWithTheDefaultsAndTheFallBacks)
{
    const ManualLaunch normal = manualLaunchFor("AcroRd32.exe", "/A page=", 63);
    EXPECT_FALSE(normal.withHandler);
    EXPECT_EQ(normal.program, "AcroRd32.exe");
    EXPECT_EQ(normal.parameters, "/A page=63 Quellorn_Manual.pdf");
    EXPECT_TRUE(manualLaunchFor("A", "/A page=", 63).withHandler);
    EXPECT_TRUE(manualLaunchFor("", "/A page=", 63).withHandler);
    EXPECT_TRUE(manualLaunchFor("evince", "", 30).withHandler);
    EXPECT_EQ(manualLaunchFor("ev", "-p ", 7).parameters, "-p 7 Quellorn_Manual.pdf");
    EXPECT_EQ(splitParameters("/A page=63 Quellorn_Manual.pdf"),
              (std::vector<std::string>{"/A", "page=63", "Quellorn_Manual.pdf"}));
    EXPECT_EQ(splitParameters(R"(  "two words"  x )"), (std::vector<std::string>{"two words", "x"}));
    EXPECT_EQ(companionMissingText(kChecksumTool).toStdString(), "tolvek.exeが見つかりませんでした。");
}

// A folder of stub programs that write their arguments into a file, one per line.
struct Stubs {
    TempDir bin;
    TempDir work;
    void add(const std::string& name)
    {
        const auto path = bin / name;
        std::ofstream(path) << "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > \"" << (work / name).string()
                            << ".args\"\npwd >> \"" << (work / name).string() << ".args\"\n";
        ::chmod(path.c_str(), 0755);
    }
    // What the stub `name` was called with (waits for the detached program to write it).
    std::vector<std::string> calls(const std::string& name)
    {
        const auto file = work / (name + ".args");
        for (int i = 0; i < 500 && !std::filesystem::exists(file); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        std::vector<std::string> lines;
        std::ifstream in(file);
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }
};

TEST(Processes, FindsProgramsBesideTheProgramOrOnThePathWithOrWithoutExe)
{
    Stubs s;
    TempDir programDir;
    s.add("dornex");
    std::ofstream(programDir / "glimra.exe") << "#!/bin/sh\n";
    ::chmod((programDir / "glimra.exe").c_str(), 0755);
    std::ofstream(programDir / "tolvek.exe") << "not executable";
    const Processes p(programDir.path(), "/nonexistent:" + s.bin.path().string());
    EXPECT_EQ(p.find("dornex.exe"), s.bin / "dornex");
    EXPECT_EQ(p.find("glimra.exe"), programDir / "glimra.exe");
    EXPECT_TRUE(p.find("tolvek.exe").empty());
    EXPECT_TRUE(p.find("").empty());
}

TEST(ExternalTools, StartsCompanionsAndReportsMissingOnes)
{
    Stubs s;
    s.add("tolvek");
    Settings settings;
    const ExternalTools tools(Processes({}, s.bin.path().string()), settings, s.work.path());
    EXPECT_TRUE(tools.startCompanion(kChecksumTool));
    EXPECT_EQ(s.calls("tolvek"), (std::vector<std::string>{s.work.path().string()}));
    EXPECT_FALSE(tools.startCompanion(kCharacterTableTool));
}

TEST(ExternalTools, OpensTheManualAtAPageOrFallsBackToTheDesktopHandler)
{
    Stubs s;
    s.add("reader");
    s.add("opener");
    Settings settings;
    setFixedText(settings.pdfReaderPath, "reader");
    Processes processes({}, s.bin.path().string());
    processes.desktopOpener = "opener";
    const ExternalTools tools(processes, settings, s.work.path());

    tools.openManualAtPage(63);
    EXPECT_EQ(s.calls("reader"),
              (std::vector<std::string>{"/A", "page=63", "Quellorn_Manual.pdf", s.work.path().string()}));

    setFixedText(settings.pdfPageCommand, "");
    tools.openManualAtPage(30);
    EXPECT_EQ(s.calls("opener").front(), (s.work / "Quellorn_Manual.pdf").string());

    std::filesystem::remove(s.work / "opener.args");
    setFixedText(settings.pdfReaderPath, "AcroRd32.exe");  // not on this system
    setFixedText(settings.pdfPageCommand, "/A page=");
    tools.openManualAtPage(52);
    EXPECT_EQ(s.calls("opener").front(), (s.work / "Quellorn_Manual.pdf").string());

    std::filesystem::remove(s.work / "opener.args");
    EXPECT_TRUE(tools.openMainManual());
    EXPECT_EQ(s.calls("opener").front(), (s.work / "Kestrane_Manual.pdf").string());
}

TEST(Processes, TheTextEditorIsVisualThenTheDesktopHandler)
{
    Stubs s;
    s.add("myeditor");
    s.add("opener");
    Processes processes({}, s.bin.path().string());
    processes.desktopOpener = "opener";
    const auto file = s.work / "mdata.txt";

    const char* old = std::getenv("VISUAL");
    const std::string saved = old ? old : "";
    ::setenv("VISUAL", "myeditor --new-window", 1);
    EXPECT_TRUE(processes.startEditor(file, s.work.path()));
    EXPECT_EQ(s.calls("myeditor"), (std::vector<std::string>{"--new-window", file.string(), s.work.path().string()}));

    ::setenv("VISUAL", "no-such-editor", 1);
    EXPECT_TRUE(processes.startEditor(file, s.work.path()));
    EXPECT_EQ(s.calls("opener").front(), file.string());
    if (old)
        ::setenv("VISUAL", saved.c_str(), 1);
    else
        ::unsetenv("VISUAL");
}

} // namespace
} // namespace kestrane
