// The companion programs' windows, and their start from the real main window's View menu.
#include "app/command_ids.h"
#include "app/app_core.h"
#include "app/ui/draw_app.h"
#include "app/ui/main_window.h"
#include "companions/ui/companion_windows.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QThread>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace kestrane {
namespace {

using test::TempDir;

TEST(Tolvek, ShowsTheChecksumsOfTheTypedText)
{
    TolvekWindow w;
    w.setInput(QStringLiteral("\"AB\""));
    EXPECT_EQ(w.shown("data").toStdString(), "41 42");
    EXPECT_TRUE(w.shown("xor").startsWith(QStringLiteral("03")));
    EXPECT_TRUE(w.shown("xor").endsWith(QStringLiteral("送信: 03")));
    EXPECT_TRUE(w.shown("crc").startsWith(QStringLiteral("D1B1")));
    EXPECT_TRUE(w.shown("crc").endsWith(QStringLiteral("送信: B1 D1")));
    // The same characters read as ASC: the quotes are data too.
    w.setAscForm(true);
    EXPECT_EQ(w.shown("data").toStdString(), "22 41 42 22");
    // Typed Japanese goes out as code page 932, as from the send dialogs.
    w.setInput(QStringLiteral("温度"));
    EXPECT_EQ(w.shown("data").toStdString(), "89 B7 93 78");
    w.setInput(QString());
    EXPECT_TRUE(w.shown("xor").isEmpty());
}

TEST(Glimra, AClickCopiesTheCodeAndALeadByteOpensItsPage)
{
    GlimraWindow w;
    EXPECT_EQ(w.clickCell(0x41).toStdString(), "41");
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "41");
    EXPECT_TRUE(w.clickCell(0x82).isEmpty());  // lead byte 82: its page opens
    EXPECT_EQ(w.page(), 0x82);
    EXPECT_EQ(w.clickCell(0xA0).toStdString(), "82A0");
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "82A0");
    EXPECT_TRUE(w.clickCell(0x7F).isEmpty());  // no character there: nothing copied
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "82A0");
}

TEST(Dornex, OneEditUpdatesTheOthersAndTheTypeReadsTheSameText)
{
    DornexWindow w;
    w.setType(IntegerType{8, true});
    w.type(Radix::Hex, QStringLiteral("FF"));
    EXPECT_EQ(w.shown(Radix::Decimal).toStdString(), "-1");
    EXPECT_EQ(w.shown(Radix::Binary).toStdString(), "1111 1111");
    w.setType(IntegerType{8, false});  // the hex text stays, its value is read anew
    EXPECT_EQ(w.shown(Radix::Decimal).toStdString(), "255");
    w.type(Radix::Decimal, QStringLiteral("300"));
    EXPECT_TRUE(w.shown(Radix::Hex).isEmpty());
    EXPECT_EQ(w.status().toStdString(), "範囲外です（0 ～ 255）。");
    w.setType(IntegerType{16, false});
    EXPECT_EQ(w.shown(Radix::Hex).toStdString(), "012C");
    EXPECT_TRUE(w.status().isEmpty());
}

// The View menu's three commands start the real programs built beside kestrane: each shows its
// window (reported through KESTRANE_SHOWN_REPORT) and ends.
TEST(Companions, TheViewMenuStartsTheRealPrograms)
{
    TempDir dir;
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", QByteArray(KESTRANE_PROGRAM_DIR));
    const QString report = QString::fromStdString((dir / "shown.txt").string());
    qputenv("KESTRANE_SHOWN_REPORT", report.toUtf8());
    const QByteArray oldPlatform = qgetenv("QT_QPA_PLATFORM");
    qputenv("QT_QPA_PLATFORM", "offscreen");

    AppCore core(dir.path(), [](int, OpenError&) { return std::unique_ptr<SerialPort>(); });
    TDrawApp app(core);
    app.initMainWindow(false);
    qputenv("PATH", oldPath);
    for (const int id : {cmd::ChecksumTool, cmd::CharacterTableTool, cmd::NumberConverterTool})
        app.frame()->action(id)->trigger();

    QStringList lines;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
        QFile f(report);
        if (f.open(QIODevice::ReadOnly))
            lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        if (lines.size() >= 3)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    qunsetenv("KESTRANE_SHOWN_REPORT");
    qputenv("QT_QPA_PLATFORM", oldPlatform);
    lines.sort();
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0].toStdString(), "dornex 数値変換 - dornex");
    EXPECT_EQ(lines[1].toStdString(), "glimra 文字コード表 - glimra");
    EXPECT_EQ(lines[2].toStdString(), "tolvek チェックサム計算 - tolvek");
    app.frame()->close();
}

// Each companion answers --help and --version without a window, refuses what it does not know
// (exit 2 with its usage) and speaks the language kestrane hands it in KESTRANE_LANG, or --lang.
TEST(Companions, TheirCommandLineAndTheLanguageKestraneHandsThem)
{
    TempDir dir;
    for (const std::string program : {"tolvek", "glimra", "dornex"}) {
        const std::string path = KESTRANE_PROGRAM_DIR "/" + program;
        test::ChildProcess help({path, "--help"}, dir.path());
        EXPECT_EQ(help.waitForExit(), 0);
        EXPECT_EQ(help.output().rfind("Usage: " + program + " [--help] [--version] [--lang en|ja]", 0), 0u) << help.output();
        test::ChildProcess version({path, "--version"}, dir.path());
        EXPECT_EQ(version.waitForExit(), 0);
        EXPECT_EQ(version.output(), program + " 1.91\n");
        for (const char* wrong : {"--colour", "--lang=fr"}) {
            test::ChildProcess bad({path, wrong}, dir.path());
            EXPECT_EQ(bad.waitForExit(), 2) << wrong;
            EXPECT_NE(bad.output().find("usage: " + program), std::string::npos) << bad.output();
        }
    }
    const std::string report = (dir / "shown.txt").string();
    const auto shown = [&](const std::vector<std::string>& args, const char* language) {
        std::filesystem::remove(report);
        test::ChildProcess run(args, dir.path(), [&] {
            ::setenv("KESTRANE_SHOWN_REPORT", report.c_str(), 1);
            ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
            if (language)
                ::setenv("KESTRANE_LANG", language, 1);
            else
                ::unsetenv("KESTRANE_LANG");
        });
        EXPECT_EQ(run.waitForExit(), 0) << run.output();
        QFile f(QString::fromStdString(report));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).trimmed().toStdString() : std::string();
    };
    const std::string tolvek = KESTRANE_PROGRAM_DIR "/tolvek";
    EXPECT_EQ(shown({tolvek}, nullptr), "tolvek チェックサム計算 - tolvek");
    EXPECT_EQ(shown({tolvek}, "en"), "tolvek Checksum - tolvek");
    EXPECT_EQ(shown({tolvek, "--lang", "ja"}, "en"), "tolvek チェックサム計算 - tolvek");
    EXPECT_EQ(shown({KESTRANE_PROGRAM_DIR "/dornex", "--lang=en"}, nullptr), "dornex Number converter - dornex");
}

} // namespace
} // namespace kestrane
