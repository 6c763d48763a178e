// Start-up and shutdown of the application: the splash steps, the frame, the close query.
#include "app/command_ids.h"
#include "app/app_core.h"
#include "app/command_rules.h"
#include "app/language_file.h"
#include "app/ui/draw_app.h"
#include "app/ui/main_window.h"
#include "records/settings_files.h"
#include "app/ui/splash_window.h"
#include "app/startup_sequence.h"
#include "traffic/log_commands.h"
#include "app/ui/view_log_commands.h"
#include "support/fake_serial_port.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QMenuBar>
#include <QMessageBox>
#include <QPrinter>
#include <QProcess>
#include <QScreen>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <thread>

namespace kestrane {
namespace {

using test::PtyPair;
using test::TempDir;

// Records what the start-up steps show, without pausing.
struct RecordingView : StartupView {
    std::vector<int> gauges;
    std::vector<std::string> texts;
    std::vector<int> pauses;
    void setGauge(int percent) override { gauges.push_back(percent); }
    void setText(const QString& text) override { texts.push_back(text.toStdString()); }
    void pause(int ms) override { pauses.push_back(ms); }
};

void mapPort(const TempDir& dir, int com, const std::string& path)
{
    std::ofstream(dir / "ports.conf", std::ios::app) << "COM" << com << "=" << path << "\n";
}

TEST(StartupSteps, WithoutSettingsFilesEveryMissingFileIsShownAndDefaultsUsed)
{
    TempDir dir;
    AppCore core(dir.path(), [](int, OpenError&) { return std::unique_ptr<SerialPort>(); });
    RecordingView view;
    runStartupSteps(core, view, {});
    const std::vector<std::string> expected = {
        "設定ファイル（１）読出中", "Quellorn.datがありません。", "設定ファイル（２）読出中",
        "Quellorn1.datがありません。", "設定ファイル（３）読出中", "Quellorn2.datがありません。",
        "CH1:COM1:設定中", "CH1のポートがopenしません。", "CH2:未設定", "ＳＰＡＲＥ",
        "さースタートだ！         "};
    EXPECT_EQ(view.texts, expected);
    // 50 ms after each of the ten steps, 3000 ms after each of the four failures.
    EXPECT_EQ(std::count(view.pauses.begin(), view.pauses.end(), 50), 10);
    EXPECT_EQ(std::count(view.pauses.begin(), view.pauses.end(), 3000), 4);
    EXPECT_EQ(view.gauges, (std::vector<int>{10, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100}));
    EXPECT_EQ(core.settings().record.ch1ComNumber, 1);
    EXPECT_EQ(core.settings().record.ch1BaudRate, 9600u);
    EXPECT_EQ(core.settings().record.ch2Mode, 0);
    EXPECT_EQ(core.fastDisplay(), 1);
}

TEST(StartupSteps, OpensBothChannelsOnTheirPorts)
{
    TempDir dir;
    PtyPair one, two;
    mapPort(dir, 4, one.slavePath());
    mapPort(dir, 6, two.slavePath());
    {
        Settings s;
        s.record.ch1ComNumber = 4;
        s.record.ch2Mode = Ch2Mode::Independent;
        s.record.ch2ComNumber = 6;
        EXPECT_TRUE(saveQuellorn(s, dir.path()));
        EXPECT_TRUE(saveQuellorn1(s, dir.path()));
        EXPECT_TRUE(saveQuellorn2(s, dir.path()));
    }
    AppCore core(dir.path());
    RecordingView view;
    runStartupSteps(core, view, {});
    EXPECT_EQ(view.texts[3], "CH1:COM4:設定中");
    EXPECT_EQ(view.texts[4], "CH1:COM4:設定完了");
    EXPECT_EQ(view.texts[5], "CH2:COM6:設定中");
    EXPECT_EQ(view.texts[6], "CH2:COM6:設定完了");
    EXPECT_EQ(std::count(view.pauses.begin(), view.pauses.end(), 3000), 0);
    EXPECT_TRUE(core.channels().running(1));
    EXPECT_TRUE(core.channels().running(2));
}

TEST(StartupSteps, PortResultTexts)
{
    EXPECT_EQ(portResultText(1, OpenResult::PortNumberOutOfRange).toStdString(), "CH1のポート番号が違います。");
    EXPECT_EQ(portResultText(2, OpenResult::PortCannotBeConfigured).toStdString(), "CH2のポート設定が出来ません。");
    EXPECT_EQ(portResultText(1, OpenResult::ThreadCannotBeCreated).toStdString(), "CH1のスレッドが出来ません。");
    EXPECT_EQ(portResultText(2, static_cast<OpenResult>(9)).toStdString(), "CH2ノーコメント");
    TempDir dir;
    Settings s;
    s.record.ch1ComNumber = 0;
    EXPECT_TRUE(saveQuellorn(s, dir.path()));
    AppCore core(dir.path());
    RecordingView view;
    runStartupSteps(core, view, {});
    EXPECT_EQ(view.texts[5], "CH1:COM0:設定中");
    EXPECT_EQ(view.texts[6], "CH1のポート番号が違います。");
}

// Builds the whole application on the offscreen screen (1280 x 1024) without pauses.
struct App {
    explicit App(const std::filesystem::path& dir, PortOpener opener = {}) : core(dir, std::move(opener))
    {
        core.loadStartupSize();
        app.initMainWindow(false);
        app.frame()->show();
        app.frame()->client()->setUp();
    }
    AppCore core;
    TDrawApp app{core};
};

TEST(MainFrame, StartsWithDefaultsAtTheStartupSizeCentred)
{
    TempDir dir;
    App a(dir.path(), [](int, OpenError&) { return std::unique_ptr<SerialPort>(); });
    MainFrame* f = a.app.frame();
    EXPECT_EQ(f->windowTitle().toStdString(), "Kestrane Ver1.91");
    EXPECT_EQ(f->width(), 670);
    EXPECT_EQ(f->height(), 510);
    EXPECT_EQ(f->x(), (1280 - 670) / 2);
    EXPECT_EQ(f->y(), (1024 - 510) / 2);
    EXPECT_EQ(f->statusText().toStdString(), "ASC表示     | CH1:COM1:9600:8bi1bit:Pr無| 高速表示");
    EXPECT_TRUE(f->client()->timerRunning());
    f->close();
}

TEST(MainFrame, SizeCodeFiveFillsTheScreen)
{
    TempDir dir;
    Settings s;
    s.startupSizeCode = 5;
    EXPECT_TRUE(saveDrawSize(s, dir.path()));
    App a(dir.path(), [](int, OpenError&) { return std::unique_ptr<SerialPort>(); });
    EXPECT_EQ(a.app.frame()->width(), 1280);
    EXPECT_EQ(a.app.frame()->height(), 1024);
    EXPECT_EQ(a.app.frame()->x(), 0);
    EXPECT_EQ(a.app.frame()->y(), 0);
    a.app.frame()->close();
}

TEST(Splash, IsCentredOnTheScreen)
{
    TempDir dir;
    TSplashWindow splash(TDrawApp::splashImagePath(QString::fromStdString(dir.path().string())));
    splash.show();
    QCoreApplication::processEvents();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QRect at = splash.frameGeometry();
    EXPECT_LE(std::abs(at.center().x() - screen.center().x()), 1) << at.x();
    EXPECT_LE(std::abs(at.center().y() - screen.center().y()), 1) << at.y();
}

TEST(MainFrame, MenuBarHoldsEveryEntryInOrder)
{
    TempDir dir;
    App a(dir.path(), [](int, OpenError&) { return std::unique_ptr<SerialPort>(); });
    QStringList top;
    for (QAction* act : a.app.frame()->menuBar()->actions())
        top << act->text();
    EXPECT_EQ(top.join(QLatin1Char('|')).toStdString(),
              "ﾌｧｲﾙ(&F)|表示(&V)|送信(&S)|環境設定(&K)|表示切替|ﾍﾙﾌﾟ(&H)|終了");
    // Commands without an action yet are disabled; the exit command is not.
    a.app.frame()->refreshAllCommands();
    ASSERT_NE(a.app.frame()->action(cmd::DioPortSettings), nullptr);
    EXPECT_FALSE(a.app.frame()->action(cmd::DioPortSettings)->isEnabled());
    EXPECT_EQ(a.app.frame()->action(cmd::DioPortSettings)->text().toStdString(), "DioPort設定(&D)");
    EXPECT_TRUE(a.app.frame()->action(cmd::Exit)->isEnabled());
    a.app.frame()->close();
}

// Answers the next modal dialog: records its text and closes it.
struct ModalAnswer {
    QString text;
    QString title;
    void arm()
    {
        QTimer::singleShot(0, [this] { poll(); });
    }
    void poll()
    {
        QWidget* w = QApplication::activeModalWidget();
        if (!w) {
            QTimer::singleShot(5, [this] { poll(); });
            return;
        }
        title = w->windowTitle();
        if (auto* box = qobject_cast<QMessageBox*>(w)) {
            text = box->text();
            box->accept();
        } else if (auto* dlg = qobject_cast<QDialog*>(w)) {
            dlg->accept();
        }
    }
};

TEST(Commands, AMissingCompanionProgramIsReported)
{
    TempDir dir, emptyBin;
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", QByteArray(emptyBin.path().c_str()));
    App a(dir.path(), [](int, OpenError&) { return std::unique_ptr<SerialPort>(); });
    qputenv("PATH", oldPath);
    ModalAnswer answer;
    answer.arm();
    a.app.frame()->action(cmd::CharacterTableTool)->trigger();
    EXPECT_EQ(answer.text.toStdString(), "glimra.exeが見つかりませんでした。");
    EXPECT_EQ(answer.title.toStdString(), "Kestrane");

    answer = ModalAnswer{};
    answer.arm();
    a.app.frame()->action(cmd::About)->trigger();  // About, modal
    EXPECT_EQ(answer.title.toStdString(), "このソフトについて");
    a.app.frame()->close();
}

// Language / 言語 keeps the choice in the start folder for the next start and says so in both
// languages; choosing the language already spoken keeps it without a message.
TEST(MainFrame, TheLanguageChosenInTheMenuIsKeptForTheNextStart)
{
    TempDir dir;
    App a(dir.path(), [](int, OpenError&) { return std::unique_ptr<SerialPort>(); });
    ASSERT_EQ(i18n::currentLanguage(), i18n::Language::Japanese);
    a.app.frame()->refreshAllCommands();
    QAction* english = a.app.frame()->action(cmd::LanguageEnglish);
    QAction* japanese = a.app.frame()->action(cmd::LanguageJapanese);
    ASSERT_NE(english, nullptr);
    ASSERT_NE(japanese, nullptr);
    EXPECT_EQ(english->text().toStdString(), "English");
    EXPECT_EQ(japanese->text().toStdString(), "日本語");
    EXPECT_TRUE(english->isEnabled());
    EXPECT_FALSE(english->isChecked());

    ModalAnswer answer;
    answer.arm();
    english->trigger();
    EXPECT_TRUE(answer.text.contains(QStringLiteral("次回の起動から英語で"))) << answer.text.toStdString();
    EXPECT_TRUE(answer.text.contains(QStringLiteral("in English from the next start"))) << answer.text.toStdString();
    EXPECT_EQ(loadLanguage(dir.path()), i18n::Language::English);
    a.app.frame()->refreshAllCommands();
    EXPECT_TRUE(english->isChecked());
    EXPECT_FALSE(japanese->isChecked());
    // The menu bar of this run is unchanged.
    EXPECT_EQ(a.app.frame()->menuBar()->actions().front()->text().toStdString(), "ﾌｧｲﾙ(&F)");

    japanese->trigger();  // the language of this run: kept, nothing to say
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(loadLanguage(dir.path()), i18n::Language::Japanese);

    // A language.conf that cannot be replaced (a folder of that name) keeps nothing and says why.
    std::filesystem::remove(dir.path() / kLanguageFile);
    std::filesystem::create_directories(dir.path() / kLanguageFile / "x");
    answer = ModalAnswer{};
    answer.arm();
    english->trigger();
    EXPECT_TRUE(answer.text.contains(QStringLiteral("language.confを書き込めませんでした。"))) << answer.text.toStdString();
    EXPECT_TRUE(answer.text.contains(QStringLiteral("could not be written"))) << answer.text.toStdString();
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() / kLanguageFile / "x"));
    a.app.frame()->close();
}

TEST(MainFrame, ADamagedFastDisplayAtStartIsTheLowSpeedDisplayForEveryCommand)
{
    TempDir dir;
    Settings stored;
    stored.record.fastDisplayAtStart = 5;
    stored.record.displayMode = 1;
    EXPECT_TRUE(saveQuellorn(stored, dir.path()));
    App a(dir.path(), [](int, OpenError&) { return std::unique_ptr<SerialPort>(); });
    TDrawWindow* w = a.app.frame()->client();
    EXPECT_EQ(a.core.fastDisplay(), 0);
    EXPECT_EQ(a.core.settings().record.fastDisplayAtStart, 0);  // what the settings dialog shows and saves
    EXPECT_EQ(a.core.settings().record.displayMode, 1);  // HEX, which only the low-speed display shows
    EXPECT_TRUE(a.app.frame()->statusText().contains(QStringLiteral("| 低速表示")));
    EXPECT_EQ(w->commandState().fastDisplay, 0);
    EXPECT_TRUE(commandRule(cmd::DisplaySettings, w->commandState()));  // display settings: low speed only

    // The view commands read it the same way: no fast-display refusal.
    std::vector<QString> messages;
    w->viewCommands().message = [&](const QString& text, QMessageBox::StandardButtons, QMessageBox::Icon) {
        messages.push_back(text);
        return QMessageBox::Ok;
    };
    w->commands().dispatch(cmd::LastLine);  // last line
    EXPECT_TRUE(messages.empty());

    // F5 then goes to the fast display, and back.
    w->toggleSpeed();
    EXPECT_EQ(a.core.fastDisplay(), 1);
    w->toggleSpeed();
    EXPECT_EQ(a.core.fastDisplay(), 0);
    w->askSaveAtExit = [] { return QMessageBox::No; };
    a.app.frame()->close();
}

TEST(Shutdown, ClosingWritesTheFourSettingsFilesAndClosesThePorts)
{
    TempDir dir;
    PtyPair pty;
    mapPort(dir, 1, pty.slavePath());
    App a(dir.path());
    ASSERT_TRUE(a.core.channels().running(1));
    a.core.settings().record.macroClockMs = 77;
    EXPECT_TRUE(a.app.frame()->close());
    EXPECT_FALSE(a.core.channels().running(1));
    EXPECT_FALSE(a.app.frame()->client()->timerRunning());
    for (const char* name : {"Quellorn.dat", "Quellorn1.dat", "Quellorn2.dat", "draw_size.dat"})
        EXPECT_TRUE(std::filesystem::exists(dir / name)) << name;
    Settings back;
    loadQuellorn(back, dir.path());
    EXPECT_EQ(back.record.macroClockMs, 77);
}

// Settings files that cannot be written at exit are told, each with its path and the system's
// reason; the others are written and the window closes.
TEST(Shutdown, SettingsFilesThatCannotBeWrittenAreToldWithTheFileAndTheReason)
{
    TempDir dir;
    App a(dir.path(), [](int, OpenError&) { return std::unique_ptr<SerialPort>(); });
    std::filesystem::create_directory(dir / "Quellorn1.dat");  // a folder in each file's place
    std::filesystem::create_directory(dir / "draw_size.dat");
    std::vector<QString> told;
    TDrawWindow* w = a.app.frame()->client();
    w->message = [&](const QString& text, QMessageBox::StandardButtons, QMessageBox::Icon) {
        told.push_back(text);
        return QMessageBox::Ok;
    };
    w->askSaveAtExit = [] { return QMessageBox::No; };
    EXPECT_TRUE(a.app.frame()->close());
    ASSERT_EQ(told.size(), 1u);
    for (const char* name : {"Quellorn1.dat", "draw_size.dat"})
        EXPECT_TRUE(told[0].contains(withSystemReason(QString::fromStdString((dir / name).string()), EISDIR)))
            << told[0].toStdString();
    EXPECT_FALSE(told[0].contains(QStringLiteral("Quellorn.dat"))) << "the files written are not named";
    EXPECT_TRUE(std::filesystem::is_regular_file(dir / "Quellorn2.dat"));

    // All four written: nothing to tell.
    std::filesystem::remove(dir / "Quellorn1.dat");
    std::filesystem::remove(dir / "draw_size.dat");
    EXPECT_TRUE(settingsNotSavedText(a.core.saveSettings()).isEmpty());
}

// A started application with received traffic waiting to be saved.
struct AppWithTraffic {
    TempDir dir;
    PtyPair pty;
    std::unique_ptr<App> a;
    AppWithTraffic()
    {
        mapPort(dir, 1, pty.slavePath());
        a = std::make_unique<App>(dir.path());
        a->core.traffic().clearTraffic();
        a->core.traffic().setUnsavedData(false);
        const std::uint8_t bytes[] = {'h', 'i'};
        a->core.traffic().appendReceived(1, bytes, 2);
    }
    bool anySettingsFile() const
    {
        for (const char* name : {"Quellorn.dat", "Quellorn1.dat", "Quellorn2.dat", "draw_size.dat"})
            if (std::filesystem::exists(dir / name))
                return true;
        return false;
    }
};

TEST(Shutdown, CancelInTheSaveQuestionKeepsEverythingRunning)
{
    AppWithTraffic t;
    int asked = 0;
    t.a->app.frame()->client()->askSaveAtExit = [&] {
        ++asked;
        return QMessageBox::Cancel;
    };
    EXPECT_FALSE(t.a->app.frame()->close());
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(t.anySettingsFile());
    EXPECT_TRUE(t.a->core.channels().running(1));
    EXPECT_TRUE(t.a->app.frame()->client()->timerRunning());
}

TEST(Shutdown, NoInTheSaveQuestionStillWritesTheSettings)
{
    AppWithTraffic t;
    t.a->app.frame()->client()->askSaveAtExit = [] { return QMessageBox::No; };
    EXPECT_TRUE(t.a->app.frame()->close());
    EXPECT_TRUE(std::filesystem::exists(t.dir / "Quellorn.dat"));
    EXPECT_TRUE(std::filesystem::exists(t.dir / "draw_size.dat"));
    EXPECT_FALSE(t.a->core.channels().running(1));
}

TEST(Shutdown, YesSavesTheLogFirstAndAFailedSaveKeepsTheWindowOpen)
{
    AppWithTraffic t;
    TDrawWindow* w = t.a->app.frame()->client();
    w->askSaveAtExit = [] { return QMessageBox::Yes; };
    LogCommands& log = w->viewCommands().logCommands();
    log.chooseSaveFile = [](const std::filesystem::path&) { return std::optional<std::filesystem::path>(); };
    EXPECT_FALSE(t.a->app.frame()->close());  // the save dialog was cancelled
    EXPECT_FALSE(t.anySettingsFile());

    const auto logFile = t.dir / "exit.LOG";
    log.chooseSaveFile = [&](const std::filesystem::path&) { return std::optional<std::filesystem::path>(logFile); };
    EXPECT_TRUE(t.a->app.frame()->close());
    EXPECT_EQ(std::filesystem::file_size(logFile), 72004u);
    EXPECT_TRUE(t.anySettingsFile());
}

TEST(Shutdown, YesClosesOnceTheLogIsWrittenWhileTrafficKeepsArriving)
{
    AppWithTraffic t;
    TDrawWindow* w = t.a->app.frame()->client();
    w->askSaveAtExit = [] { return QMessageBox::Yes; };
    const auto logFile = t.dir / "busy.LOG";
    w->viewCommands().logCommands().chooseSaveFile = [&](const std::filesystem::path&) {
        return std::optional<std::filesystem::path>(logFile);
    };
    // The line never rests: bytes are stored right up to and right after the save.
    std::atomic<bool> stop{false};
    std::thread line([&] {
        const std::uint8_t byte = 'x';
        while (!stop.load()) {
            t.a->core.traffic().appendReceived(1, &byte, 1);
            if (t.a->core.traffic().storedLength() > 20000)
                t.a->core.traffic().clearTraffic();
        }
    });
    int refused = 0;
    for (int i = 0; i < 30; ++i) {
        t.a->core.traffic().setUnsavedData(true);
        if (!w->canClose())
            ++refused;
    }
    stop.store(true);
    line.join();
    EXPECT_EQ(refused, 0);  // the log was written every time
    EXPECT_EQ(std::filesystem::file_size(logFile), 72004u);
    EXPECT_TRUE(t.anySettingsFile());
}

TEST(Shutdown, NoQuestionWhenTheSettingsSaySo)
{
    AppWithTraffic t;
    t.a->core.settings().record.noExitSaveQuery = 1;
    int asked = 0;
    t.a->app.frame()->client()->askSaveAtExit = [&] {
        ++asked;
        return QMessageBox::Cancel;
    };
    EXPECT_TRUE(t.a->app.frame()->close());
    EXPECT_EQ(asked, 0);
}

// Prints the main window to a PDF and counts the dark pixels of its page (rendered by pdftoppm).
int darkPixelsOfPrintout(App& a, const std::filesystem::path& dir, const char* name)
{
    TDrawWindow* w = a.app.frame()->client();
    const auto pdf = dir / (std::string(name) + ".pdf");
    w->viewCommands().printing().runPrintDialog = [&](QPrinter& p) {
        p.setOutputFormat(QPrinter::PdfFormat);
        p.setOutputFileName(QString::fromStdString(pdf.string()));
        return true;
    };
    w->commands().dispatch(cmd::Print);
    const auto png = dir / name;
    QProcess render;
    render.start("pdftoppm", {"-r", "60", "-png", "-singlefile", QString::fromStdString(pdf.string()),
                              QString::fromStdString(png.string())});
    if (!render.waitForFinished(60000) || render.exitCode() != 0)
        return -1;
    const QImage page(QString::fromStdString(png.string()) + ".png");
    int dark = 0;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            dark += qGray(page.pixel(x, y)) < 96 ? 1 : 0;
    return dark;
}

TEST(Printing, ThePrintoutShowsTheTraffic)
{
    TempDir dir;
    App a(dir.path(), [](int, OpenError&) { return std::unique_ptr<SerialPort>(); });
    TDrawWindow* w = a.app.frame()->client();
    w->toggleSpeed();  // low-speed display: the printout is drawn from the buffer
    TrafficBuffer& t = a.core.traffic();
    t.clearTraffic();
    const int empty = darkPixelsOfPrintout(a, dir.path(), "empty");
    ASSERT_GT(empty, 0);  // row labels and separators

    const std::string text = "THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG 0123456789 ";
    for (int i = 0; i < 8; ++i)
        t.appendReceived(1, reinterpret_cast<const std::uint8_t*>(text.data()), static_cast<std::int32_t>(text.size()));
    const int full = darkPixelsOfPrintout(a, dir.path(), "traffic");
    EXPECT_GT(full, empty + 500) << "empty " << empty << ", with traffic " << full;
    w->askSaveAtExit = [] { return QMessageBox::No; };
    a.app.frame()->close();
}

} // namespace
} // namespace kestrane
