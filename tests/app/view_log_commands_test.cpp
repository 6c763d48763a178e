// The windows of the View and File commands on the offscreen platform: the search dialog 721,
// the enumeration dialog 723, the command rows with a scripted window, the log-file dialogs
// and printing to a PDF file.
#include "app/command_ids.h"
#include "app/app_core.h"
#include "app/command_table.h"
#include "capture/pcapng.h"
#include "capture/rtac_serial.h"
#include "widgets/dialog_ids.h"
#include "support/temp_dir.h"
#include "traffic/ui/enumeration_dialog.h"
#include "traffic/ui/log_file_commands.h"
#include "traffic/ui/print_display.h"
#include "traffic/ui/search_dialog.h"
#include "app/ui/view_log_commands.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QImage>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <deque>
#include <fstream>
#include <string>
#include <vector>

namespace kestrane {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

std::unique_ptr<SerialPort> noPort(int, OpenError&) { return nullptr; }

void deleteClosedDialogs() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

struct Message {
    QString text;
    QMessageBox::StandardButtons buttons;
    QMessageBox::Icon icon;
};

// A window that records what the commands ask of it, and scripted message boxes.
class ViewCommandsUi : public ::testing::Test {
protected:
    void SetUp() override
    {
        core.setFastDisplay(0);
        core.traffic().clearTraffic();
        ViewWindowOps ops;
        ops.invalidate = [this] { calls.push_back("invalidate"); };
        ops.repaintNow = [this] { calls.push_back("repaint"); };
        ops.scrollToLine = [this](std::int32_t line) { calls.push_back("scroll:" + std::to_string(line)); };
        ops.topLine = [this] { return top; };
        ops.charsPerLine = [] { return 40; };
        ops.lineCount = [] { return 900; };
        ops.refreshStatus = [this] { calls.push_back("status"); };
        ops.clearCellMap = [this] { calls.push_back("clearMap"); };
        commands = std::make_unique<ViewAndLogCommands>(core, &window, ops);
        commands->message = [this](const QString& text, QMessageBox::StandardButtons buttons, QMessageBox::Icon icon) {
            messages.push_back({text, buttons, icon});
            if (answers.empty())
                return QMessageBox::Ok;
            const auto a = answers.front();
            answers.pop_front();
            return a;
        };
        registerViewAndLogCommands(table, *commands);
    }
    void TearDown() override
    {
        commands.reset();
        deleteClosedDialogs();
        std::error_code ec;
        fs::current_path(savedCwd, ec);
    }

    // Received and already drawn.
    void put(const std::string& bytes)
    {
        core.traffic().appendReceived(1, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                      static_cast<std::int32_t>(bytes.size()));
        TrafficBuffer& t = core.traffic();
        t.markDrawn(t.storedLength(), DrawCursor{t.drawX(), t.drawY()});
    }

    fs::path savedCwd = fs::current_path();
    TempDir dir;
    AppCore core{dir.path(), noPort};
    QWidget window;
    CommandTable table;
    std::unique_ptr<ViewAndLogCommands> commands;
    std::vector<std::string> calls;
    std::vector<Message> messages;
    std::deque<QMessageBox::StandardButton> answers;
    std::int32_t top = 0;
};

// ---------------------------------------------------------------- search dialog 721

TEST_F(ViewCommandsUi, SearchOpensAModelessDialogAndAHitWaitsForTheTimer)
{
    put("xxaayyaa");
    ASSERT_TRUE(table.dispatch(cmd::Search));
    EXPECT_EQ(calls, std::vector<std::string>{"repaint"});
    QPointer<TSearchDialog> dialog = commands->searchDialog();
    ASSERT_FALSE(dialog.isNull());
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(dialog->isModal());
    EXPECT_EQ(dialog->objectName(), dialog_id::Search);
    EXPECT_EQ(dialog->windowTitle(), "検索");

    auto* edit = dialog->findChild<QLineEdit*>("401");
    auto* ascii = dialog->findChild<QPushButton*>("201");
    auto* hex = dialog->findChild<QPushButton*>("217");
    ASSERT_TRUE(edit && ascii && hex);
    EXPECT_EQ(ascii->text(), "ASC検索");
    EXPECT_EQ(hex->text(), "HEX検索");
    EXPECT_EQ(edit->maxLength(), 256);
    EXPECT_TRUE(edit->text().isEmpty());

    edit->setText("aa");
    QTest::mouseClick(ascii, Qt::LeftButton);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(commands->searchState().searchPhase, 2);
    EXPECT_EQ(commands->searchState().searchHitIndex, 2);
    deleteClosedDialogs();
    EXPECT_TRUE(dialog.isNull());

    // The timer tick shows the hit; F3 then finds the next one.
    const auto shown = commands->takePendingHighlight();
    ASSERT_TRUE(shown.has_value());
    EXPECT_EQ(*shown, (SearchHighlight{0, 60, 0, 20, 34}));
    EXPECT_FALSE(commands->takePendingHighlight().has_value());
    commands->continueSearch(true);
    EXPECT_EQ(commands->searchState().searchHitIndex, 6);
    EXPECT_EQ(commands->searchState().searchPhase, 2);
    EXPECT_TRUE(messages.empty());
}

TEST_F(ViewCommandsUi, EachSearchGetsANewDialogWithTheKeptText)
{
    put("abc");
    table.dispatch(cmd::Search);
    QPointer<TSearchDialog> first = commands->searchDialog();
    first->findChild<QLineEdit*>("401")->setText("あい");
    QTest::mouseClick(first->findChild<QPushButton*>("201"), Qt::LeftButton);
    deleteClosedDialogs();

    table.dispatch(cmd::Search);
    TSearchDialog* second = commands->searchDialog();
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(second->findChild<QLineEdit*>("401")->text(), "あい");
    second->close();
}

TEST_F(ViewCommandsUi, JapaneseTextIsSearchedAsShiftJis)
{
    put("ab\x82\xA0\x82\xA2z");  // "あい" in code page 932
    table.dispatch(cmd::Search);
    TSearchDialog* dialog = commands->searchDialog();
    dialog->findChild<QLineEdit*>("401")->setText("あい");
    QTest::mouseClick(dialog->findChild<QPushButton*>("201"), Qt::LeftButton);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(commands->searchState().searchHitIndex, 2);
    EXPECT_EQ(commands->searchState().searchHitLength, 4);
}

TEST_F(ViewCommandsUi, HexSearchAndTheNotFoundMessage)
{
    put("zz\x02" "AB\x03");
    table.dispatch(cmd::Search);
    TSearchDialog* dialog = commands->searchDialog();
    dialog->findChild<QLineEdit*>("401")->setText(R"(02"AB"03)");
    QTest::mouseClick(dialog->findChild<QPushButton*>("217"), Qt::LeftButton);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(commands->searchState().searchHitIndex, 2);
    deleteClosedDialogs();

    table.dispatch(cmd::Search);
    dialog = commands->searchDialog();
    dialog->findChild<QLineEdit*>("401")->setText("nothing");
    QTest::mouseClick(dialog->findChild<QPushButton*>("201"), Qt::LeftButton);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "検出文字列が見つかりません");
    EXPECT_EQ(messages[0].buttons, QMessageBox::Ok);
    EXPECT_EQ(commands->searchState().searchPhase, 0);
    EXPECT_EQ(commands->searchState().searchHitIndex, 0);
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(ViewCommandsUi, F4MissShowsTheMessageAndKeepsTheView)
{
    put("\x02" "AB\x03");
    table.dispatch(cmd::Search);
    TSearchDialog* dialog = commands->searchDialog();
    dialog->findChild<QLineEdit*>("401")->setText(R"(02"AB"03)");
    QTest::mouseClick(dialog->findChild<QPushButton*>("217"), Qt::LeftButton);
    ASSERT_TRUE(commands->takePendingHighlight().has_value());
    calls.clear();

    commands->continueSearch(false);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "検出文字列が見つかりません");
    EXPECT_TRUE(calls.empty());
    EXPECT_FALSE(commands->takePendingHighlight().has_value());
    // F3 with no search going on does nothing at all.
    SearchState& s = commands->searchState();
    s.searchPhase = 0;
    commands->continueSearch(true);
    EXPECT_EQ(messages.size(), 1u);
}

TEST_F(ViewCommandsUi, FastDisplayRefusesSearchAndLastLine)
{
    core.setFastDisplay(1);
    table.dispatch(cmd::Search);
    table.dispatch(cmd::LastLine);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].text, "高速表示は検索機能は使えません。");
    EXPECT_EQ(messages[1].text, "高速表示は最後の行へ移行しません。");
    EXPECT_EQ(commands->searchDialog(), nullptr);
    EXPECT_TRUE(calls.empty());
}

// ---------------------------------------------------------------- enumeration dialog 723

TEST(EnumerationDialog, ButtonCyclesTheModesWithTheirCaptions)
{
    TEnumerationDialog dialog({0x02, 'A', 'B', 0x03});
    EXPECT_EQ(dialog.objectName(), dialog_id::Enumeration);
    auto* text = dialog.findChild<QPlainTextEdit*>("enumerationText");
    auto* cycle = dialog.findChild<QPushButton*>("216");
    ASSERT_TRUE(text && cycle);
    EXPECT_EQ(cycle->text(), "切替");

    const std::vector<std::pair<QString, QString>> expected = {
        {"文字列列挙【HEX\"ASC\"】", R"(02"AB"03)"},
        {"文字列列挙【HEX】", "02414203"},
        {"文字列列挙【ASC】", QString::fromLatin1("\x02" "AB\x03")},
        {"文字列列挙【HEX\"ASC\"】", R"(02"AB"03)"},
    };
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(dialog.windowTitle(), expected[i].first) << i;
        EXPECT_EQ(text->toPlainText(), expected[i].second) << i;
        QTest::mouseClick(cycle, Qt::LeftButton);
    }
}

TEST(EnumerationDialog, PrintableTextOpensAsTextAndGetsQuotesThroughTheButton)
{
    TEnumerationDialog dialog({'A', 'B'});
    EXPECT_EQ(dialog.mode(), EnumerationMode::Ascii);
    EXPECT_EQ(dialog.text(), "AB");
    QTest::mouseClick(dialog.findChild<QPushButton*>("216"), Qt::LeftButton);
    EXPECT_EQ(dialog.text(), R"("AB")");
}

TEST(EnumerationDialog, TextModeShowsShiftJisAsCharacters)
{
    TEnumerationDialog dialog({0x82, 0xA0, 0x82, 0xA2});  // "あい"
    EXPECT_EQ(dialog.text(), "82A082A2");                 // high bytes open as HEX"ASC"
    QTest::mouseClick(dialog.findChild<QPushButton*>("216"), Qt::LeftButton);
    QTest::mouseClick(dialog.findChild<QPushButton*>("216"), Qt::LeftButton);
    EXPECT_EQ(dialog.text(), "あい");
}

TEST(EnumerationDialog, ALongRenderingIsShownWhole)
{
    std::vector<std::uint8_t> mixed;
    for (int i = 0; i < 512; ++i) {
        mixed.push_back('x');
        mixed.push_back(0x01);
    }
    TEnumerationDialog dialog(mixed);
    EXPECT_EQ(dialog.text().size(), 2560);
}

TEST_F(ViewCommandsUi, RightDragHandsTheBytesToTheEnumeration)
{
    put("0123456789");
    std::vector<std::vector<std::uint8_t>> shown;
    commands->showEnumeration = [&](const std::vector<std::uint8_t>& b) { shown.push_back(b); };
    commands->rightButtonDown(40 + 2 * 10 + 3, 10);
    commands->rightButtonUp(40 + 5 * 10 + 9, 20);
    commands->rightButtonDown(40 + 5 * 10, 10);
    commands->rightButtonUp(40 + 2 * 10, 10);  // left of the press
    commands->rightButtonDown(0, 0);           // on the row label
    commands->rightButtonUp(40, 0);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0], (std::vector<std::uint8_t>{'2', '3', '4', '5'}));
    EXPECT_EQ(shown[1], (std::vector<std::uint8_t>{'0'}));
}

TEST_F(ViewCommandsUi, RightDragUsesTheScrollPosition)
{
    std::string lines;
    for (int i = 0; i < 3 * 40; ++i)
        lines += static_cast<char>('a' + i / 40);
    put(lines);
    top = 2;
    std::vector<std::uint8_t> got;
    commands->showEnumeration = [&](const std::vector<std::uint8_t>& b) { got = b; };
    commands->rightButtonDown(40, 5);
    commands->rightButtonUp(40 + 10, 5);
    EXPECT_EQ(got, (std::vector<std::uint8_t>{'c', 'c'}));
}

TEST_F(ViewCommandsUi, TheEnumerationDialogIsModal)
{
    put("\x02" "AB\x03");
    QString title, text;
    bool modal = false;
    QTimer::singleShot(0, [&] {
        QWidget* w = QApplication::activeModalWidget();
        if (auto* d = qobject_cast<TEnumerationDialog*>(w)) {
            modal = true;
            title = d->windowTitle();
            text = d->text();
            d->reject();
        }
    });
    commands->rightButtonDown(40, 0);
    commands->rightButtonUp(40 + 3 * 10, 0);
    EXPECT_TRUE(modal);
    EXPECT_EQ(title, "文字列列挙【HEX\"ASC\"】");
    EXPECT_EQ(text, R"(02"AB"03)");
}

// ---------------------------------------------------------------- the command rows

TEST_F(ViewCommandsUi, EveryRowIsThereAndEnabled)
{
    for (int id : {cmd::NewLog, cmd::OpenLog, cmd::SaveLog, cmd::SaveLogAs, cmd::PageSetup, cmd::Print, cmd::FirstLine,
                   cmd::LastLine, cmd::Search, cmd::Redisplay, cmd::ClearDisplay}) {
        EXPECT_TRUE(table.hasHandler(id)) << id;
        EXPECT_TRUE(table.isEnabled(id)) << id;
    }
}

TEST_F(ViewCommandsUi, FirstLastAndRedisplay)
{
    core.traffic().moveDrawCursor(DrawCursor{core.traffic().drawX(), 20 * 34});
    table.dispatch(cmd::FirstLine);
    table.dispatch(cmd::LastLine);
    table.dispatch(cmd::Redisplay);
    EXPECT_EQ(calls, (std::vector<std::string>{"scroll:0", "scroll:12", "scroll:12", "repaint"}));

    // Fast display: redisplay goes to the top.
    calls.clear();
    core.setFastDisplay(1);
    table.dispatch(cmd::Redisplay);
    EXPECT_EQ(calls, (std::vector<std::string>{"scroll:0", "repaint"}));

    // The newest line near the top keeps the top at 0.
    calls.clear();
    core.setFastDisplay(0);
    core.traffic().moveDrawCursor(DrawCursor{core.traffic().drawX(), 5 * 34});
    table.dispatch(cmd::LastLine);
    EXPECT_EQ(calls, std::vector<std::string>{"scroll:0"});
    EXPECT_TRUE(messages.empty());
}

TEST_F(ViewCommandsUi, ClearAsksAndOnYesEmptiesEverything)
{
    put("traffic");
    core.traffic().setUnsavedData(true);
    answers = {QMessageBox::No};
    table.dispatch(cmd::ClearDisplay);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "表示をクリアしますか?");
    EXPECT_EQ(messages[0].buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(core.traffic().storedLength(), 7);
    EXPECT_TRUE(calls.empty());

    answers = {QMessageBox::Yes};
    table.dispatch(cmd::ClearDisplay);
    EXPECT_EQ(core.traffic().storedLength(), 0);
    EXPECT_EQ(core.traffic().drawPosition(), 0);
    EXPECT_EQ(core.traffic().dataAt(0), ' ');
    EXPECT_FALSE(core.traffic().unsavedData());
    EXPECT_EQ(calls, (std::vector<std::string>{"clearMap", "invalidate", "scroll:0"}));
}

// ---------------------------------------------------------------- the log commands

TEST_F(ViewCommandsUi, NewAsksTheSaveQuestionOnlyWithUnsavedTraffic)
{
    put("abc");
    core.traffic().setUnsavedData(true);
    answers = {QMessageBox::Cancel};
    table.dispatch(cmd::NewLog);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "保存しますか?");
    EXPECT_EQ(messages[0].buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_EQ(messages[0].icon, QMessageBox::Question);
    EXPECT_EQ(core.traffic().storedLength(), 3);
    EXPECT_TRUE(calls.empty());

    answers = {QMessageBox::No};
    table.dispatch(cmd::NewLog);
    EXPECT_EQ(core.traffic().storedLength(), 0);
    EXPECT_EQ(calls, (std::vector<std::string>{"invalidate", "scroll:0"}));

    table.dispatch(cmd::NewLog);  // nothing unsaved now: no question
    EXPECT_EQ(messages.size(), 2u);
}

TEST_F(ViewCommandsUi, AFileThatCannotBeOpenedIsReportedWithTheExclamationIcon)
{
    commands->logCommands().chooseOpenFile = [&](const fs::path&) { return std::optional<fs::path>(dir / "none.log"); };
    table.dispatch(cmd::OpenLog);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "ﾌｧｲﾙが開けません");
    EXPECT_EQ(messages[0].buttons, QMessageBox::Ok);
    EXPECT_EQ(messages[0].icon, QMessageBox::Warning);
    EXPECT_TRUE(calls.empty());
}

TEST_F(ViewCommandsUi, SaveOfAnUntitledBufferProposesTheLogFolder)
{
    std::vector<fs::path> proposed;
    commands->logCommands().chooseSaveFile = [&](const fs::path& p) {
        proposed.push_back(p);
        return std::optional<fs::path>(dir / "x.log");
    };
    table.dispatch(cmd::SaveLog);
    table.dispatch(cmd::SaveLog);  // titled now: written without the dialog
    table.dispatch(cmd::SaveLogAs);
    EXPECT_EQ(proposed, (std::vector<fs::path>{dir / "log" / "newfile.log", dir / "x.log"}));
    EXPECT_TRUE(fs::exists(dir / "x.log"));
}

TEST_F(ViewCommandsUi, TheTimelineSavesAsACaptureWithThePayloadProtocolChosen)
{
    // A query received on CH1 and its reply on CH2, through the record as the receive threads store them.
    const std::vector<std::uint8_t> query = {0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A}, reply = {0x01, 0x03, 0x02, 0x00, 0x2A, 0x39, 0x9B};
    core.settings().record.ch2Mode = Ch2Mode::MonitorT;
    core.traffic().appendReceived(1, query.data(), static_cast<std::int32_t>(query.size()));
    core.traffic().appendReceived(2, reply.data(), static_cast<std::int32_t>(reply.size()));
    std::vector<std::string> asked;
    commands->chooseCaptureFile = [&](const fs::path& proposed, const pcapng::PayloadProtocol& protocol) {
        asked.push_back(proposed.filename().string() + " " + protocol.name);
        return std::optional<CaptureFileChoice>({dir / "exchange.pcapng", pcapng::findPayloadProtocol("mbrtu")});
    };
    table.dispatch(cmd::SaveCapture);
    table.dispatch(cmd::SaveCapture);
    EXPECT_EQ(asked, (std::vector<std::string>{"newfile.pcapng data", "newfile.pcapng mbrtu"})) << "the protocol chosen last is offered";
    EXPECT_TRUE(messages.empty());

    pcapng::File file;
    ASSERT_TRUE(pcapng::read(test::readFileBytes(dir / "exchange.pcapng"), file).ok());
    ASSERT_EQ(file.interfaces.size(), 2U);
    EXPECT_EQ(file.interfaces[0].name, "COM1");
    EXPECT_NE(file.interfaces[1].description.find("; payload Modbus RTU (tshark -d rtacser.data,mbrtu)"), std::string::npos)
        << file.interfaces[1].description;
    ASSERT_EQ(file.packets.size(), 2U);
    EXPECT_EQ(file.packets[0].interfaceId, 0U);
    EXPECT_EQ(std::vector<std::uint8_t>(file.packets[0].data.begin() + rtac::kHeaderSize, file.packets[0].data.end()), query);
    EXPECT_EQ(file.packets[1].interfaceId, 1U);
    EXPECT_EQ(std::vector<std::uint8_t>(file.packets[1].data.begin() + rtac::kHeaderSize, file.packets[1].data.end()), reply);
    EXPECT_EQ(rtac::parseHeader(file.packets[1].data)->event, rtac::Event::DataReceived);
    EXPECT_LE(file.packets[0].timestamp, file.packets[1].timestamp);

    // A folder that is not there: the reason, and no file.
    commands->chooseCaptureFile = [&](const fs::path&, const pcapng::PayloadProtocol& protocol) {
        return std::optional<CaptureFileChoice>({dir / "none" / "x.pcapng", &protocol});
    };
    EXPECT_FALSE(commands->saveCapture());
    ASSERT_EQ(messages.size(), 1U);
    EXPECT_TRUE(messages[0].text.startsWith("pcapngファイルを書き込めません")) << messages[0].text.toStdString();
    EXPECT_EQ(messages[0].icon, QMessageBox::Warning);
    EXPECT_FALSE(fs::exists(dir / "none"));

    QFileDialog dialog;
    setUpCaptureFileDialog(dialog, dir / "log" / "newfile.pcapng", *pcapng::findPayloadProtocol("dnp3"));
    EXPECT_EQ(dialog.windowTitle(), "pcapng形式で保存");
    EXPECT_EQ(dialog.nameFilters().size(), static_cast<qsizetype>(pcapng::kPayloadProtocols.size()));
    EXPECT_EQ(dialog.selectedNameFilter(), "pcapng形式 - DNP 3.0 (*.pcapng)");
}

// Automatic logging with page captures on: beside each page its timeline, every byte in one
// capture in order (a frame open at a page's end in the next one), the switch kept in capture.conf.
TEST_F(ViewCommandsUi, AutomaticLoggingWritesACaptureBesideEachPageWhenTurnedOn)
{
    EXPECT_EQ(table.checked(cmd::AutoLogCaptures), std::optional<bool>(false));
    table.dispatch(cmd::AutoLogCaptures);
    EXPECT_EQ(table.checked(cmd::AutoLogCaptures), std::optional<bool>(true));
    core.settings().sampling.autoLogging = 1;
    core.applySettings();
    core.writePageCaptures();
    // Chunks of 100 bytes taking turns on CH1 and CH2, until three pages are complete.
    std::vector<std::uint8_t> appended;
    for (int i = 0; core.traffic().pageCounter() < 3; ++i) {
        std::vector<std::uint8_t> chunk(100);
        for (std::size_t k = 0; k < chunk.size(); ++k)
            chunk[k] = static_cast<std::uint8_t>((appended.size() + k) % 253);
        core.traffic().appendReceived(1 + i % 2, chunk.data(), static_cast<std::int32_t>(chunk.size()));
        appended.insert(appended.end(), chunk.begin(), chunk.end());
        if (i == 150)
            core.writePageCaptures();  // a tick in the middle of a page
    }
    core.writePageCaptures();
    std::vector<std::uint8_t> captured;
    std::size_t pages = 0;  // bytes of the pages so far
    for (int page = 0; page < 3; ++page) {
        const fs::path log = dir / "log" / ("Log" + std::to_string(page) + ".log");
        const std::vector<std::uint8_t> image = test::readFileBytes(log);
        ASSERT_GE(image.size(), 4U);
        pages += static_cast<std::size_t>(image[0] | image[1] << 8 | image[2] << 16);  // its stored length
        pcapng::File file;
        ASSERT_TRUE(pcapng::read(test::readFileBytes(fs::path(log).replace_extension(".pcapng")), file).ok()) << page;
        ASSERT_EQ(file.interfaces.size(), 2U);
        ASSERT_FALSE(file.packets.empty());
        for (const pcapng::Packet& p : file.packets) {
            EXPECT_EQ(p.interfaceId, (captured.size() / 100) % 2) << "CH1 and CH2 take turns";
            captured.insert(captured.end(), p.data.begin() + rtac::kHeaderSize, p.data.end());
        }
        EXPECT_GE(captured.size() + 100, pages) << "page " << page << " holds its page's frames but the last";
        EXPECT_LE(captured.size(), pages) << "and none of the next page's";
    }
    EXPECT_TRUE(captured.size() <= appended.size() && std::equal(captured.begin(), captured.end(), appended.begin()));
    EXPECT_FALSE(fs::exists(dir / "log" / "Log3.pcapng")) << "the page in progress has none yet";
    EXPECT_EQ(core.pageCaptureFailures(), 0U);
    EXPECT_EQ(test::readFileBytes(dir / "capture.conf"), (std::vector<std::uint8_t>{'p', 'a', 'g', 'e', 'C', 'a', 'p', 't', 'u', 'r', 'e', 's', '=', 'o', 'n', '\n', 'p', 'r', 'o', 't', 'o', 'c', 'o', 'l', '=', 'd', 'a', 't', 'a', '\n'}));
    EXPECT_TRUE(AppCore(dir.path(), noPort).captureSettings().pageCaptures) << "kept for the next start";

    // Turned off: no more captures.
    table.dispatch(cmd::AutoLogCaptures);
    for (int i = 0; core.traffic().pageCounter() < 4; ++i)
        core.traffic().appendReceived(1, appended.data(), 100);
    core.writePageCaptures();
    EXPECT_TRUE(fs::exists(dir / "log" / "Log3.log"));
    EXPECT_FALSE(fs::exists(dir / "log" / "Log3.pcapng"));
}

TEST(LogFileDialogs, OpenAndSaveDialogsAreSetUp)
{
    TempDir dir;
    fs::create_directory(dir / "log");
    QFileDialog open;
    setUpLogFileDialog(open, LogFileDialogKind::Open, dir.path());
    EXPECT_EQ(open.windowTitle(), "ログファイルの読出");
    EXPECT_EQ(open.nameFilters(), QStringList{"ﾛｸﾞﾌｧｲﾙ(*.LOG)"});
    EXPECT_EQ(open.acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(open.fileMode(), QFileDialog::ExistingFile);
    EXPECT_EQ(open.directory().absolutePath(), pathToQString(dir.path()));

    QFileDialog save;
    setUpLogFileDialog(save, LogFileDialogKind::Save, dir / "log" / "newfile.log");
    EXPECT_EQ(save.windowTitle(), "ログファイルの書込");
    EXPECT_EQ(save.nameFilters(), QStringList{"ﾛｸﾞﾌｧｲﾙ(*.LOG)"});
    EXPECT_EQ(save.acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(save.selectedFiles(), QStringList{pathToQString(dir / "log" / "newfile.log")});
}

TEST(LogFileDialogs, TheFilterListsLogFilesWhateverTheirCase)
{
    TempDir dir;
    for (const char* name : {"a.log", "B.LOG", "c.Log", "d.txt", "e.logx"})
        std::ofstream(dir / name) << "x";
    QFileDialog dialog;
    setUpLogFileDialog(dialog, LogFileDialogKind::Open, dir.path());
    auto* model = dialog.findChild<QFileSystemModel*>();
    auto* list = dialog.findChild<QListView*>("listView");
    ASSERT_TRUE(model && list);
    QSignalSpy loaded(model, &QFileSystemModel::directoryLoaded);
    dialog.show();
    while (model->rowCount(list->rootIndex()) < 3 && loaded.wait(5000)) {
    }
    QStringList names;
    for (int r = 0; r < list->model()->rowCount(list->rootIndex()); ++r)
        names << list->model()->index(r, 0, list->rootIndex()).data().toString();
    names.sort();
    EXPECT_EQ(names, (QStringList{"B.LOG", "a.log", "c.Log"}));
    dialog.reject();
}

TEST(LogFileDialogs, MessagesCarryTheCaptionKestrane)
{
    QWidget parent;
    QString caption, text;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            caption = box->windowTitle();
            text = box->text();
            box->button(QMessageBox::No)->click();
        }
    });
    EXPECT_EQ(askSaveQuestion(kestraneMessageBox(&parent)), SaveAnswer::No);
    EXPECT_EQ(caption, "Kestrane");
    EXPECT_EQ(text, "保存しますか?");
}

// ---------------------------------------------------------------- printing

// Renders page 1 of `pdf` at a low resolution; a null image when that fails.
QImage renderPdf(const fs::path& pdf)
{
    const fs::path png = pdf.parent_path() / "page";
    QProcess p;
    p.start("pdftoppm", {"-r", "30", "-png", "-singlefile", pathToQString(pdf), pathToQString(png)});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return {};
    return QImage(pathToQString(png) + ".png");
}

bool isDark(QRgb c) { return qGray(c) < 64; }

// A drawing four times as wide as high, black everywhere.
const PrintRender kBlackBand = [](QPainter& p, const QRect& area) { p.fillRect(area, Qt::black); };
constexpr QSize kBandSize(400, 100);

TEST(Printing, TheDrawingFillsThePageWidthKeepingItsProportions)
{
    TempDir dir;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pathToQString(dir / "out.pdf"));
    ASSERT_EQ(printDrawing(printer, kBandSize, kBlackBand), PrintResult::Printed);

    const QImage page = renderPdf(dir / "out.pdf");
    ASSERT_FALSE(page.isNull());
    // The printable area starts inside the margins; find the black band's extent.
    int top = -1, bottom = -1, left = page.width(), right = -1;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            if (isDark(page.pixel(x, y))) {
                if (top < 0)
                    top = y;
                bottom = y;
                left = std::min(left, x);
                right = std::max(right, x);
            }
    ASSERT_GE(top, 0) << "blank page";
    const int width = right - left + 1;
    const int height = bottom - top + 1;
    EXPECT_GT(width, page.width() * 3 / 4);             // scaled up to the page width
    EXPECT_NEAR(static_cast<double>(width) / height, 4.0, 0.2);  // in proportion
    EXPECT_LT(bottom, page.height() / 2);               // from the top, not stretched down

    QProcess info;
    info.start("pdfinfo", {pathToQString(dir / "out.pdf")});
    ASSERT_TRUE(info.waitForFinished(60000));
    EXPECT_TRUE(QString::fromUtf8(info.readAllStandardOutput()).contains(QRegularExpression("Title:\\s+Kestrane")));
}

TEST(Printing, CancelAndFailureAreToldApart)
{
    TempDir dir;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pathToQString(dir / "c.pdf"));
    EXPECT_EQ(printDrawing(printer, kBandSize, kBlackBand, [] { return true; }), PrintResult::Cancelled);

    printer.setOutputFileName(pathToQString(dir / "missing" / "f.pdf"));
    EXPECT_EQ(printDrawing(printer, kBandSize, kBlackBand), PrintResult::Failed);

    EXPECT_EQ(printErrorText(PrintResult::Printed), "");
    EXPECT_EQ(printErrorText(PrintResult::NoPrinter), "通常使うﾌﾟﾘﾝﾀがないので、印刷できません。");
    EXPECT_EQ(printErrorText(PrintResult::Cancelled), "印刷はｷｬﾝｾﾙされました。");
    EXPECT_EQ(printErrorText(PrintResult::Failed), "印刷中にｴﾗｰが発生しました。");
}

TEST(Printing, ThePrintCommandRunsTheDialogAndReportsFailures)
{
    TempDir dir;
    QWidget parent;
    PrintDisplay printing(&parent);
    QStringList errors;
    printing.reportError = [&](const QString& t) { errors << t; };

    printing.runPrintDialog = [](QPrinter&) { return false; };
    EXPECT_EQ(printing.print(kBandSize, kBlackBand), std::nullopt);

    printing.runPrintDialog = [&](QPrinter& p) {
        p.setOutputFormat(QPrinter::PdfFormat);
        p.setOutputFileName(pathToQString(dir / "p.pdf"));
        return true;
    };
    EXPECT_EQ(printing.print(kBandSize, kBlackBand), PrintResult::Printed);
    EXPECT_TRUE(fs::exists(dir / "p.pdf"));
    EXPECT_TRUE(errors.isEmpty());

    printing.runPrintDialog = [&](QPrinter& p) {
        p.setOutputFileName(pathToQString(dir / "missing" / "p.pdf"));
        return true;
    };
    EXPECT_EQ(printing.print(kBandSize, kBlackBand), PrintResult::Failed);
    EXPECT_EQ(errors, QStringList{"印刷中にｴﾗｰが発生しました。"});
}

TEST(Printing, TheErrorBoxIsHeadedByThePrintErrorTitle)
{
    QWidget parent;
    PrintDisplay printing(&parent);
    QString caption, text, detail;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            caption = box->windowTitle();
            text = box->text();
            detail = box->informativeText();
            box->accept();
        }
    });
    printing.reportError(printErrorText(PrintResult::Cancelled));
    EXPECT_EQ(caption, "Kestrane");
    EXPECT_EQ(text, "印刷ｴﾗｰ");
    EXPECT_EQ(detail, "印刷はｷｬﾝｾﾙされました。");
}

TEST(Printing, TheRealDialogsOpenAndACancelledPrintDialogSaysNothing)
{
    QWidget parent;
    PrintDisplay printing(&parent);
    QStringList errors;
    printing.reportError = [&](const QString& t) { errors << t; };
    QStringList seen;
    const auto closeNextModal = [&] {
        QTimer::singleShot(0, [&] {
            if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                seen << d->metaObject()->className();
                d->reject();
            }
        });
    };
    closeNextModal();
    printing.pageSetup();
    closeNextModal();
    EXPECT_EQ(printing.print(kBandSize, kBlackBand), std::nullopt);
    EXPECT_EQ(seen, (QStringList{"QPageSetupDialog", "QPrintDialog"}));
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(ViewCommandsUi, PrintCommandPrintsTheWindowsDrawing)
{
    bool rendered = false;
    ViewWindowOps ops;
    ops.printSize = [] { return QSize(200, 100); };
    ops.renderForPrint = [&](QPainter& p, const QRect& area) {
        rendered = area == QRect(0, 0, 200, 100);
        p.fillRect(area, Qt::black);
    };
    ViewAndLogCommands withPrint(core, &window, ops);
    CommandTable rows;
    registerViewAndLogCommands(rows, withPrint);
    withPrint.printing().runPrintDialog = [&](QPrinter& p) {
        p.setOutputFormat(QPrinter::PdfFormat);
        p.setOutputFileName(pathToQString(dir / "window.pdf"));
        return true;
    };
    int setups = 0;
    withPrint.printing().runPageSetupDialog = [&](QPrinter&) { ++setups; };
    rows.dispatch(cmd::PageSetup);
    rows.dispatch(cmd::Print);
    EXPECT_EQ(setups, 1);
    EXPECT_TRUE(rendered);
    const QImage page = renderPdf(dir / "window.pdf");
    ASSERT_FALSE(page.isNull());
    int dark = 0;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            dark += isDark(page.pixel(x, y)) ? 1 : 0;
    EXPECT_GT(dark, page.width() * page.height() / 10);
}

} // namespace
} // namespace kestrane
