// The macro dialog 704 and the clock dialog 722 on the offscreen platform: controls by id, runs
// from a file and from the list with their messages, the list in macro.dat, buttons and typed
// texts answering the macro's waits, stop and close in the middle of a wait, the display switch.
#include "macro/macro_dialog_rules.h"
#include "macro/traffic_access.h"
#include "macro/ui/clock_dialog.h"
#include "macro/ui/macro_dialog.h"
#include "macro/ui/macro_file_dialog.h"
#include "support/temp_dir.h"
#include "traffic/traffic_buffer.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <fstream>

namespace kestrane {
namespace {

using test::TempDir;

template <typename Pred>
bool waitUntil(Pred done, int timeoutMs = 10000)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

class MacroDialogTest : public ::testing::Test {
protected:
    MacroDialogTest()
    {
        settings.macroClockMs = 10;
        traffic.clearTraffic();
    }

    std::unique_ptr<TMacrosend> open()
    {
        MacroDialogContext context{memory, send, settings, access, dio, clock, dir.path(),
                                   [this](int channel, std::span<const std::uint8_t> frame) {
                                       sent.emplace_back(channel, std::string(frame.begin(), frame.end()));
                                       if (failSends)
                                           return TransmitResult::WriteFailed;
                                       traffic.appendSent(channel, frame.data(), static_cast<std::int32_t>(frame.size()));
                                       return TransmitResult::Transmitted;
                                   },
                                   [this] { ++toggles; },
                                   [this](const QString& text, QMessageBox::StandardButtons, QMessageBox::Icon) {
                                       messages.push_back(text.toStdString());
                                       return QMessageBox::Ok;
                                   },
                                   [this](int page) { pages.push_back(page); },
                                   [this](QWidget*, const QString& title) -> std::optional<std::filesystem::path> {
                                       titles.push_back(title.toStdString());
                                       return choice;
                                   }};
        auto d = std::make_unique<TMacrosend>(std::move(context));
        d->show();
        return d;
    }

    std::filesystem::path writeMacro(const std::string& name, const std::string& text)
    {
        std::filesystem::create_directories(dir / "macro");
        const auto p = dir / "macro" / name;
        std::ofstream(p, std::ios::binary) << text;
        return p;
    }

    template <typename T = QPushButton>
    static T* find(QWidget& d, const char* id)
    {
        return d.findChild<T*>(QString::fromLatin1(id));
    }
    static std::string text(QWidget& d, const char* id) { return find<QLabel>(d, id)->text().toStdString(); }

    void runFile(TMacrosend& d, const std::filesystem::path& p)
    {
        choice = p;
        find(d, "211")->click();
        find(d, "201")->click();
    }

    std::string reg(int n) const
    {
        const auto b = memory.registers[static_cast<std::size_t>(n)].bytes();
        return std::string(b.begin(), b.end());
    }

    TempDir dir;
    MacroMemory memory;
    SendState send;
    SettingsRecord settings;
    SystemClock clock;
    TrafficBuffer traffic{clock};
    TrafficBufferAccess access{traffic};
    PlainMacroDio dio;
    std::vector<std::pair<int, std::string>> sent;
    std::vector<std::string> messages, titles;
    std::vector<int> pages;
    std::optional<std::filesystem::path> choice;
    int toggles = 0;
    bool failSends = false;
};

TEST_F(MacroDialogTest, EveryControlIsThereWithItsInitialText)
{
    auto d = open();
    EXPECT_EQ(d->objectName(), "704");
    EXPECT_EQ(d->windowTitle().toStdString(), "Macro実行Diagram");
    for (const char* id : {"211", "201", "213", "214", "212", "210", "204", "205", "206", "207", "208", "209", "216",
                           "217", "220", "202", "203"})
        EXPECT_NE(find(*d, id), nullptr) << id;
    EXPECT_EQ(find(*d, "204")->text().toStdString(), "Button1");
    EXPECT_EQ(find(*d, "217")->text().toStdString(), "MACRO停止");
    EXPECT_EQ(text(*d, "637"), "00000000");
    EXPECT_EQ(text(*d, "638"), "初期化");
    EXPECT_EQ(text(*d, "639"), "******.txt");
    EXPECT_EQ(find<QLineEdit>(*d, "input1")->maxLength(), 59);
    find(*d, "203")->click();
    EXPECT_EQ(pages, std::vector<int>{42});
}

TEST_F(MacroDialogTest, RunsAChosenFileUntilPendAndShowsCounterStatusAndLine)
{
    auto d = open();
    find(*d, "201")->click();
    EXPECT_EQ(messages, std::vector<std::string>{"Macroファイルを選んで下さい。"});
    const auto p = writeMacro("a.txt", "SEND 'hi'\r\nMOVE 01,'done'\r\nPEND\r\n");
    runFile(*d, p);
    EXPECT_EQ(titles.front(), "Ｍａｃｒｏファイル読み出し");
    EXPECT_EQ(text(*d, "639"), p.string());
    EXPECT_TRUE(d->timerRunning());
    EXPECT_EQ(d->timerInterval(), 10);
    ASSERT_TRUE(waitUntil([&] { return !d->interpreter().running(); }));
    EXPECT_EQ(reg(1), "done");
    EXPECT_EQ(sent, (std::vector<std::pair<int, std::string>>{{1, "hi"}}));
    EXPECT_EQ(text(*d, "638"), "処理完");
    EXPECT_EQ(text(*d, "637"), "00000027 ");
    EXPECT_EQ(text(*d, "line"), "行 3");
    EXPECT_FALSE(d->timerRunning());
}

TEST_F(MacroDialogTest, AnUnreadableFileStartsNothing)
{
    auto d = open();
    runFile(*d, dir / "macro" / "missing.txt");
    EXPECT_EQ(messages, std::vector<std::string>{"Macroファイルが読めません。"});
    EXPECT_FALSE(d->timerRunning());
    EXPECT_EQ(text(*d, "638"), "初期化");
}

TEST_F(MacroDialogTest, ButtonsAndTypedTextsAnswerTheWaits)
{
    auto d = open();
    runFile(*d, writeMacro("b.txt", "PUSM 01\r\nICHR 1,02\r\nICHR 2,03\r\nPEND\r\n"));
    ASSERT_TRUE(waitUntil([&] { return text(*d, "638") == "釦押待"; }));
    find(*d, "208")->click();  // Button5
    ASSERT_TRUE(waitUntil([&] { return text(*d, "638") == "文入待"; }));
    EXPECT_EQ(reg(1), std::string(1, '\x05'));
    find<QLineEdit>(*d, "input1")->setText(QStringLiteral("テスト"));
    // 30 two-byte characters: only 29 fit the 59 bytes.
    find<QLineEdit>(*d, "input2")->setText(QString(30, QChar(0x3042)));
    find(*d, "210")->click();
    ASSERT_TRUE(waitUntil([&] { return text(*d, "637") == "00000020 "; }));
    find(*d, "210")->click();
    ASSERT_TRUE(waitUntil([&] { return !d->interpreter().running(); }));
    EXPECT_EQ(reg(2), "\x83\x65\x83\x58\x83\x67");  // the typed text in code page 932
    EXPECT_EQ(memory.registers[3].length, 58);
    EXPECT_EQ(reg(3).substr(0, 2), "\x82\xa0");
}

TEST_F(MacroDialogTest, StopEndsAReceptionWaitAtOnce)
{
    auto d = open();
    runFile(*d, writeMacro("c.txt", "READ 01,000,000\r\nMOVE 02,'never'\r\n"));
    ASSERT_TRUE(waitUntil([&] { return text(*d, "638") == "受信待"; }));
    find(*d, "217")->click();
    EXPECT_EQ(text(*d, "638"), "処理完");
    EXPECT_FALSE(d->interpreter().running());
    EXPECT_FALSE(d->timerRunning());
    QTest::qWait(50);
    EXPECT_EQ(reg(2), "");
}

TEST_F(MacroDialogTest, ClosingWhileWaitingForAButtonStopsTheMacroAndWritesTheList)
{
    auto d = open();
    choice = writeMacro("d.txt", "PUSE 1,L01\r\nPEND\r\n");
    find(*d, "213")->click();
    runFile(*d, *choice);
    ASSERT_TRUE(waitUntil([&] { return text(*d, "638") == "釦押待"; }));
    find(*d, "202")->click();
    EXPECT_FALSE(d->isVisible());
    EXPECT_FALSE(d->interpreter().running());
    EXPECT_EQ(memory.status, MacroStatus::Finished);
    EXPECT_EQ(memory.stopRequested, 1);
    EXPECT_EQ(std::filesystem::file_size(dir / "macro.dat"), 5120u);
    MacroFileList back;
    back.load(dir.path());
    EXPECT_EQ(back.shownPaths(), std::vector<std::string>{choice->string()});
}

TEST_F(MacroDialogTest, TheListAddsOnceRemovesAndRunsTheSelectedEntry)
{
    MacroFileList stored;
    stored.add(writeMacro("one.txt", "MOVE 01,'one'\r\nPEND\r\n").string());
    stored.add(writeMacro("two.txt", "MOVE 01,'two'\r\nPEND\r\n").string());
    ASSERT_TRUE(stored.save(dir.path()));
    auto d = open();
    auto* list = find<QListWidget>(*d, "list");
    ASSERT_EQ(list->count(), 2);

    find(*d, "212")->click();  // nothing selected
    EXPECT_EQ(messages, std::vector<std::string>{"Macroファイルを選んで下さい。"});

    choice = writeMacro("three.txt", "MOVE 01,'three'\r\nPEND\r\n");
    find(*d, "213")->click();
    find(*d, "213")->click();  // the same file again: kept once
    EXPECT_EQ(titles.back(), "Ｍａｃｒｏファイルリスト追加");
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->item(2)->text().toStdString(), choice->string());

    list->setCurrentRow(0);
    find(*d, "214")->click();
    ASSERT_EQ(list->count(), 2);
    list->setCurrentRow(1);
    find(*d, "212")->click();
    ASSERT_TRUE(waitUntil([&] { return !d->interpreter().running(); }));
    EXPECT_EQ(reg(1), "three");

    for (int i = 0; i < 19; ++i) {
        choice = dir / ("f" + std::to_string(i));
        find(*d, "213")->click();
    }
    EXPECT_EQ(list->count(), 20);
    EXPECT_EQ(messages.back(), "Macroファイル２０個までです。");
}

TEST_F(MacroDialogTest, TheDisplaySwitchWorksOnlyInAsc)
{
    auto d = open();
    find(*d, "216")->click();
    EXPECT_EQ(toggles, 1);
    settings.displayMode = 1;
    find(*d, "216")->click();
    EXPECT_EQ(toggles, 1);
    EXPECT_EQ(messages, std::vector<std::string>{"ＡＳＣ表示以外は切り替えしません。"});
}

TEST_F(MacroDialogTest, AFailedSendIsReportedAndANoticeShowsItsLine)
{
    failSends = true;
    auto d = open();
    runFile(*d, writeMacro("e.txt", "SEND 41\r\n\r\nMOVE -1,'x'\r\nPEND\r\n"));
    ASSERT_TRUE(waitUntil([&] { return !d->interpreter().running(); }));
    EXPECT_EQ(messages, std::vector<std::string>{"送信出来ませんでした。"});
    EXPECT_NE(text(*d, "notice").find("行 3: MOVE: レジスタ番号 -1"), std::string::npos) << text(*d, "notice");
}

TEST(MacroClockDialog, ShowsTheCurrentPeriodAndStoresTheChoice)
{
    SettingsRecord s;
    {
        TDialog22 d(s);
        EXPECT_EQ(d.windowTitle().toStdString(), "マクロ実行クロック");
        EXPECT_TRUE(d.findChild<QRadioButton*>(QStringLiteral("509"))->isChecked());  // 200 by default
        d.findChild<QRadioButton*>(QStringLiteral("525"))->setChecked(true);
        EXPECT_FALSE(d.findChild<QRadioButton*>(QStringLiteral("509"))->isChecked());
        d.findChild<QPushButton*>(QStringLiteral("201"))->click();
        EXPECT_EQ(s.macroClockMs, 1000);
    }
    s.macroClockMs = 77;  // not offered: nothing checked, OK stores 200
    {
        TDialog22 d(s);
        for (QRadioButton* b : d.findChildren<QRadioButton*>())
            EXPECT_FALSE(b->isChecked()) << b->objectName().toStdString();
        d.findChild<QPushButton*>(QStringLiteral("201"))->click();
        EXPECT_EQ(s.macroClockMs, 200);
    }
    s.macroClockMs = 25;
    {
        TDialog22 d(s);
        d.findChild<QRadioButton*>(QStringLiteral("501"))->setChecked(true);
        d.reject();  // closed by the frame: nothing changes
        EXPECT_EQ(s.macroClockMs, 25);
    }
}

// The all-files filter lists names without a dot too (macro files written on Linux often have none).
TEST(MacroFileDialog, AllFilesListsNamesWithoutADot)
{
    test::TempDir start;
    QFileDialog dialog;
    setUpMacroFileDialog(dialog, QStringLiteral("Ｍａｃｒｏファイル編集"), start.path());
    EXPECT_TRUE(std::filesystem::is_directory(start / "macro"));
    auto* model = dialog.findChild<QFileSystemModel*>();
    ASSERT_NE(model, nullptr);
    const QStringList names{QStringLiteral("poll"), QStringLiteral("poll.txt"), QStringLiteral("POLL.MAC")};

    dialog.selectNameFilter(dialog.nameFilters().at(0));
    EXPECT_FALSE(QDir::match(model->nameFilters(), names[0]));
    EXPECT_TRUE(QDir::match(model->nameFilters(), names[1]));
    dialog.selectNameFilter(dialog.nameFilters().at(1));
    for (const QString& name : names)
        EXPECT_TRUE(QDir::match(model->nameFilters(), name)) << name.toStdString();
}

} // namespace
} // namespace kestrane
