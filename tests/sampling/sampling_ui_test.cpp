// The sampling dialogs, the I/O monitor and their commands, driven through their controls on
// the offscreen platform.
#include "app/command_ids.h"
#include "app/app_core.h"
#include "app/command_table.h"
#include "app/ui/draw_app.h"
#include "app/external_tools.h"
#include "app/ui/main_window.h"
#include "app/ui/sampling_commands.h"
#include "sampling/dio_monitor.h"
#include "sampling/ui/dio_monitor_dialog.h"
#include "sampling/ui/sampling_settings_dialog.h"
#include "sampling/ui/sampling_view_dialog.h"
#include "records/settings_files.h"
#include "support/controls.h"
#include "support/temp_dir.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest/QTest>

#include <gtest/gtest.h>

// The lamp bitmaps live in the application's resources.
static void useImageResources() { Q_INIT_RESOURCE(resources); }

namespace kestrane {
namespace {

using test::child;
using test::TempDir;
using namespace std::chrono_literals;

struct Messages {
    std::vector<std::string> texts;
    std::vector<QMessageBox::Icon> icons;
    MessageBoxFn fn()
    {
        return [this](const QString& text, QMessageBox::StandardButtons, QMessageBox::Icon icon) {
            texts.push_back(text.toStdString());
            icons.push_back(icon);
            return QMessageBox::Ok;
        };
    }
};

void takeChunks(SampleTable& table, const std::vector<std::string>& chunks)
{
    for (const std::string& c : chunks)
        table.takeSample(reinterpret_cast<const std::uint8_t*>(c.data()), c.size());
}

SamplingSettings oneField(std::int32_t position, std::int32_t length)
{
    SamplingSettings s;
    s.samplingCount = 1;
    s.samplingFields[0] = {position, length};
    return s;
}

// ---- dialog 715 ----

TEST(SamplingSettingsDialog, ShowsTheStoredValuesAndOkCorrectsWithAMessageEach)
{
    SamplingSettings s;
    s.samplingCount = 2;
    s.samplingFields[0] = {1, 3};
    s.samplingFields[1] = {5, 2};
    int helps = 0;
    TDialog15 dialog(s, [&] { ++helps; });
    Messages messages;
    dialog.message = messages.fn();
    EXPECT_EQ(dialog.windowTitle().toStdString(), "サンプリング設定画面");
    EXPECT_TRUE(child<QRadioButton>(&dialog, "503")->isChecked());
    EXPECT_EQ(child<QLineEdit>(&dialog, "403")->text(), "1");
    EXPECT_EQ(child<QLineEdit>(&dialog, "406")->text(), "2");
    EXPECT_EQ(child<QLineEdit>(&dialog, "412")->maxLength(), 4);
    dialog.show();  // the arrow keys start from the checked count
    QApplication::setActiveWindow(&dialog);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    EXPECT_EQ(QApplication::focusWidget(), child<QRadioButton>(&dialog, "503"));
    QTest::mouseClick(child<QPushButton>(&dialog, "203"), Qt::LeftButton);
    EXPECT_EQ(helps, 1);

    child<QRadioButton>(&dialog, "509")->setChecked(true);  // "4"
    child<QLineEdit>(&dialog, "403")->setText("400");
    child<QLineEdit>(&dialog, "404")->setText("25");
    child<QLineEdit>(&dialog, "409")->setText("12");
    QTest::mouseClick(child<QPushButton>(&dialog, "201"), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(messages.texts, (std::vector<std::string>{"先頭文字は300以下設定します。", "文字数は20以下設定します。"}));
    EXPECT_EQ(s.samplingCount, 4);
    EXPECT_EQ(s.samplingFields[0], (SamplingField{300, 20}));
    EXPECT_EQ(s.samplingFields[3], (SamplingField{12, 0}));
}

TEST(SamplingSettingsDialog, CancelStoresNothing)
{
    SamplingSettings s;
    const SamplingSettings before = s;
    TDialog15 dialog(s, {});
    EXPECT_TRUE(child<QRadioButton>(&dialog, "501")->isChecked());
    child<QRadioButton>(&dialog, "510")->setChecked(true);
    child<QLineEdit>(&dialog, "403")->setText("7");
    QTest::mouseClick(child<QPushButton>(&dialog, "202"), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(s, before);
}

// ---- dialog 716 ----

std::vector<std::string> listed(const TDialog16& view)
{
    std::vector<std::string> lines;
    for (int i = 0; i < view.list()->count(); ++i)
        lines.push_back(view.list()->item(i)->text().toStdString());
    return lines;
}

TEST(SamplingView, OpensWithTheRowsTakenOverAndAddsOnePerTick)
{
    SampleTable table;
    table.configure(oneField(0, 3));
    takeChunks(table, {"aaa", "bbb", "ccc", "ddd"});
    (void)table.takeOver();
    (void)table.takeOver();
    TDialog16 view(table, {});
    EXPECT_EQ(view.windowTitle().toStdString(), "サンプリング設定画面");
    EXPECT_EQ(listed(view), (std::vector<std::string>{"0,aaa", "1,bbb"}));
    view.tick();
    EXPECT_EQ(listed(view).size(), 3u);
    view.tick();
    view.tick();
    EXPECT_EQ(listed(view), (std::vector<std::string>{"0,aaa", "1,bbb", "2,ccc", "3,ddd"}));
    EXPECT_EQ(table.samplesShown(), 4);

    // The timer takes rows over by itself, one per 100 ms.
    view.show();
    takeChunks(table, {"eee", "fff"});
    EXPECT_TRUE(QTest::qWaitFor([&] { return view.list()->count() == 6; }, 10000));

    QTest::mouseClick(child<QPushButton>(&view, "216"), Qt::LeftButton);
    EXPECT_EQ(view.list()->count(), 0);
    EXPECT_EQ(table.samplesStored(), 0);
    EXPECT_EQ(table.samplesShown(), 0);
    EXPECT_TRUE(view.timerRunning());
    QTest::mouseClick(child<QPushButton>(&view, "217"), Qt::LeftButton);
    EXPECT_FALSE(view.timerRunning());
    EXPECT_FALSE(view.isVisible());
}

TEST(SamplingView, WithNoFieldInUseListsTheRowsShownWithoutFields)
{
    SampleTable table;
    table.configure(oneField(0, 3));
    takeChunks(table, {"aaa", "bbb"});
    (void)table.takeOver();
    (void)table.takeOver();
    SamplingSettings off = oneField(0, 3);
    off.samplingCount = 0;
    table.configure(off);
    TDialog16 view(table, {});
    EXPECT_EQ(listed(view), (std::vector<std::string>{"0,", "1,"}));
}

TEST(SamplingView, TwoViewsEachListEveryRowAndFollowAClear)
{
    SampleTable table;
    table.configure(oneField(0, 2));
    takeChunks(table, {"r0", "r1", "r2"});
    TDialog16 a(table, {});
    TDialog16 b(table, {});
    a.tick();
    b.tick();  // takes row 1 over; row 0 is a's
    a.tick();  // lists row 1, taken over by b
    b.tick();  // lists row 0 ... it had only row 1
    EXPECT_EQ(table.samplesShown(), 2);
    for (int i = 0; i < 4; ++i) {
        a.tick();
        b.tick();
    }
    EXPECT_EQ(listed(a), (std::vector<std::string>{"0,r0", "1,r1", "2,r2"}));
    EXPECT_EQ(listed(b), listed(a));
    QTest::mouseClick(child<QPushButton>(&a, "216"), Qt::LeftButton);
    b.tick();
    EXPECT_EQ(b.list()->count(), 0);
}

TEST(SamplingView, AfterTenThousandSamplesShowsRowsUpTo9998)
{
    SampleTable table;
    table.configure(oneField(0, 5));
    char text[12];
    for (int i = 0; i < 10003; ++i) {
        std::snprintf(text, sizeof text, "%05d", i);
        takeChunks(table, {text});
    }
    TDialog16 view(table, {});
    for (int i = 0; i < 10003; ++i)
        view.tick();
    ASSERT_EQ(view.list()->count(), 9999);
    EXPECT_EQ(view.list()->item(9998)->text().toStdString(), "9998,09998");
    EXPECT_EQ(table.fieldText(9999, 0), "10002");
    TDialog16 reopened(table, {});  // a view opened later lists them all at once
    EXPECT_EQ(reopened.list()->count(), 9999);
}

TEST(SamplingView, ShiftJisFieldsAreShownAsText)
{
    SampleTable table;
    table.configure(oneField(0, 4));
    takeChunks(table, {"\x83\x65\x83\x58"});  // テス in code page 932
    (void)table.takeOver();
    TDialog16 view(table, {});
    EXPECT_EQ(listed(view), (std::vector<std::string>{"0,テス"}));
}

// ---- dialog 409 ----

QColor pixelAt(QWidget& w, int x, int y) { return w.grab().toImage().pixelColor(x, y); }

bool lampLit(QWidget& w, int port, int bit)
{
    const QColor c = pixelAt(w, DioMonitorGeometry::lampX(bit) + 8, DioMonitorGeometry::rowTop(port) + 8);
    return c.red() > 200 && c.green() < 100 && c.blue() < 100;
}

struct Monitor {
    DioImage image;
    SettingsRecord settings;
    std::vector<int> helpPages;
    std::unique_ptr<TDialog9> dialog;
    explicit Monitor(std::uint16_t word)
    {
        useImageResources();
        settings.dioControlWord = word;
        dialog = std::make_unique<TDialog9>(image, settings, [this](int page) { helpPages.push_back(page); });
        dialog->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    }
    void click(int x, int y) { QTest::mouseClick(dialog.get(), Qt::LeftButton, {}, QPoint(x, y)); }
};

TEST(DioMonitorDialog, AllOutputsEveryLampTogglesAndShowsItsBit)
{
    Monitor m(0x80);
    EXPECT_EQ(m.dialog->windowTitle().toStdString(), "DIO Moniter Dialog");
    EXPECT_FALSE(lampLit(*m.dialog, 0, 0));
    m.click(96, 20);  // the right and top bounds of bit 0
    EXPECT_EQ(m.image.byte(DioArea::Output, 0), 0x01);
    EXPECT_TRUE(lampLit(*m.dialog, 0, 0));
    m.click(97, 20);
    EXPECT_EQ(m.image.byte(DioArea::Output, 0), 0x01) << "x 97 is between the lamps";
    for (int port = 0; port < 3; ++port)
        for (int bit = 0; bit < 8; ++bit)
            m.click(DioMonitorGeometry::lampX(bit) + 3, DioMonitorGeometry::rowTop(port) + 3);
    EXPECT_EQ(m.image.byte(DioArea::Output, 0), 0xFE);
    EXPECT_EQ(m.image.byte(DioArea::Output, 1), 0xFF);
    EXPECT_EQ(m.image.byte(DioArea::Output, 2), 0xFF);
    EXPECT_TRUE(lampLit(*m.dialog, 2, 7));
    EXPECT_FALSE(lampLit(*m.dialog, 0, 0));
    QTest::mouseClick(child<QPushButton>(m.dialog.get(), "203"), Qt::LeftButton);
    EXPECT_EQ(m.helpPages, (std::vector<int>{46}));
}

TEST(DioMonitorDialog, ABitSetElsewhereShowsAtTheNextTick)
{
    Monitor m(0x80);
    QApplication::processEvents();
    const int paints = m.dialog->paintCount();
    m.dialog->tick();
    QApplication::processEvents();
    EXPECT_EQ(m.dialog->paintCount(), paints) << "no change, no redraw";

    m.image.setBit(DioArea::Output, 1, 2, true);  // as a macro's BSET on the Y area does
    EXPECT_TRUE(QTest::qWaitFor([&] { return m.dialog->paintCount() > paints; }, 10000)) << "the 500 ms timer redraws";
    EXPECT_TRUE(lampLit(*m.dialog, 1, 2));
    QTest::mouseClick(child<QPushButton>(m.dialog.get(), "202"), Qt::LeftButton);
    EXPECT_FALSE(m.dialog->timerRunning());
    EXPECT_EQ(m.image.byte(DioArea::Output, 1), 0x04) << "the bits stay as set after closing";
}

// ---- the commands ----

struct Glue {
    TempDir dir;
    AppCore core{dir.path(), [](int, OpenError&) { return std::unique_ptr<SerialPort>(); }};
    ExternalTools tools{Processes::forThisProcess(), core.settings(), dir.path()};
    QWidget owner;
    CommandTable table;
    Messages messages;
    std::optional<std::filesystem::path> answer;
    int asked = 0;
    Glue()
    {
        SamplingCommandHooks hooks;
        hooks.askSavePath = [this] {
            ++asked;
            return answer;
        };
        hooks.message = messages.fn();
        registerSamplingCommands(table, &owner, tools, core, hooks);
    }
};

TEST(SamplingCommands, SaveWritesTheRowsTakenOverAsLines)
{
    Glue g;
    g.answer = g.dir / "out.txt";
    EXPECT_TRUE(g.table.dispatch(cmd::SaveSampling));  // before any view: an empty file
    EXPECT_TRUE(std::filesystem::exists(*g.answer));
    EXPECT_TRUE(test::readFileBytes(*g.answer).empty());

    g.core.settings().sampling = oneField(1, 3);
    g.core.settings().sampling.samplingCount = 2;
    g.core.settings().sampling.samplingFields[1] = {5, 2};
    g.core.applySamplingSettings();
    takeChunks(g.core.samples(), {"\x02" "ABC,42\x03", "\x02" "DEF,07\x03", "\x02" "GHI,99\x03"});
    (void)g.core.samples().takeOver();
    (void)g.core.samples().takeOver();
    g.table.dispatch(cmd::SaveSampling);
    const std::string expected = "0,ABC,42\r\n1,DEF,07\r\n";
    EXPECT_EQ(test::readFileBytes(*g.answer), std::vector<std::uint8_t>(expected.begin(), expected.end()));

    // Sampling switched off (field count 0): the rows shown stay, yet the file gets no line.
    g.core.settings().sampling.samplingCount = 0;
    g.core.applySamplingSettings();
    ASSERT_EQ(g.core.samples().samplesShown(), 2);
    g.table.dispatch(cmd::SaveSampling);
    EXPECT_TRUE(std::filesystem::exists(*g.answer));
    EXPECT_TRUE(test::readFileBytes(*g.answer).empty());
    g.core.settings().sampling.samplingCount = 2;
    g.core.applySamplingSettings();

    g.answer.reset();  // cancelled: nothing is written
    std::filesystem::remove(g.dir / "out.txt");
    g.table.dispatch(cmd::SaveSampling);
    EXPECT_FALSE(std::filesystem::exists(g.dir / "out.txt"));
    EXPECT_TRUE(g.messages.texts.empty());

    g.answer = g.dir / "no-such-folder" / "out.txt";
    g.table.dispatch(cmd::SaveSampling);
    // The program's message, and under it the system's reason.
    EXPECT_EQ(g.messages.texts, (std::vector<std::string>{"ﾌｧｲﾙが開けません\nファイルまたはディレクトリがありません（ENOENT）"}));
    EXPECT_EQ(g.messages.icons, (std::vector<QMessageBox::Icon>{QMessageBox::Warning}));
    EXPECT_EQ(g.asked, 5);
}

TEST(SamplingCommands, SettingsOkReachesTheReceiveSide)
{
    Glue g;
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<TDialog15*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        child<QRadioButton>(dialog, "502")->setChecked(true);
        child<QLineEdit>(dialog, "403")->setText("2");
        child<QLineEdit>(dialog, "404")->setText("30");
        QTest::mouseClick(child<QPushButton>(dialog, "201"), Qt::LeftButton);
    });
    g.table.dispatch(cmd::SamplingSettings);
    EXPECT_EQ(g.messages.texts, (std::vector<std::string>{"文字数は20以下設定します。"}));
    EXPECT_EQ(g.core.settings().sampling.samplingFields[0], (SamplingField{2, 20}));
    EXPECT_EQ(g.core.samples().fieldCount(), 1);
    takeChunks(g.core.samples(), {"xxHELLO"});
    EXPECT_EQ(g.core.samples().takeOver()->line, "0,HELLO");
}

TEST(SamplingCommands, ViewAndMonitorOpenModelessWindows)
{
    Glue g;
    g.table.dispatch(cmd::SamplingView);
    g.table.dispatch(cmd::SamplingView);
    g.table.dispatch(cmd::IoMonitor);
    const auto views = g.owner.findChildren<TDialog16*>();
    EXPECT_EQ(views.size(), 2);
    const auto monitors = g.owner.findChildren<TDialog9*>();
    ASSERT_EQ(monitors.size(), 1);
    EXPECT_TRUE(monitors.front()->isVisible());
    EXPECT_FALSE(monitors.front()->isModal());
    EXPECT_TRUE(monitors.front()->testAttribute(Qt::WA_DeleteOnClose));
    for (TDialog16* v : views)
        v->close();
    monitors.front()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(g.owner.findChildren<TDialog9*>().empty());
}

TEST(SamplingCommands, MenuRowsInTheMainWindow)
{
    for (int fitted : {0, 1}) {
        TempDir dir;
        Settings s;
        s.record.dioFitted = fitted;
        EXPECT_TRUE(saveQuellorn(s, dir.path()));
        AppCore core(dir.path(), [](int, OpenError&) { return std::unique_ptr<SerialPort>(); });
        TDrawApp app(core);
        app.initMainWindow(false);
        MainFrame* frame = app.frame();
        core.settings().record.displayMode = DisplayMode::AscWithIo;  // the time chart's one condition
        frame->refreshAllCommands();
        EXPECT_EQ(frame->action(cmd::IoMonitor)->isEnabled(), fitted == 1);
        EXPECT_FALSE(frame->action(cmd::DioPortSettings)->isEnabled());
        EXPECT_FALSE(frame->action(cmd::TimeChart)->isEnabled());
        for (int id : {cmd::SamplingView, cmd::SamplingSettings, cmd::SaveSampling})
            EXPECT_TRUE(frame->action(id)->isEnabled()) << id;
        core.settings().record.displayMode = DisplayMode::Asc;
        frame->close();
    }
}

} // namespace
} // namespace kestrane
