// A new user's first minutes: the splash paints each message during its wait, a first run whose
// CH1 does not open is offered the COM-port dialog (and reaches a working port through it), Qt's
// own texts are Japanese, and a manual that nothing opens is reported.
#include "app/app_core.h"
#include "app/ui/document_opener.h"
#include "app/ui/draw_app.h"
#include "app/ui/main_window.h"
#include "app/ui/splash_window.h"
#include "app/startup_sequence.h"
#include "platform/ui/qt_japanese.h"
#include "records/settings_files.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>

namespace kestrane {
namespace {

using test::PtyPair;
using test::TempDir;

bool processUntil(const std::function<bool()>& done, int timeoutMs = 5000)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

// Passes everything on to the real splash; halfway through each wait it looks at what the
// screen holds of the splash (its window's pixels as flushed) and at what the splash paints now.
struct WatchedSplash : StartupView {
    TSplashWindow& splash;
    struct Seen {
        QString text;
        int ms;
        bool onScreen;
    };
    std::vector<Seen> seen;
    std::vector<std::pair<int, qint64>> waits;
    explicit WatchedSplash(TSplashWindow& s) : splash(s) {}
    void setGauge(int percent) override { splash.setGauge(percent); }
    void setText(const QString& text) override { splash.setText(text); }
    void pause(int ms) override
    {
        const QString text = splash.text();
        QTimer::singleShot(ms / 2, &splash, [this, text, ms] {
            const QImage screen = splash.screen()->grabWindow(splash.winId()).toImage().convertToFormat(QImage::Format_RGB32);
            const QImage painted = splash.grab().toImage().convertToFormat(QImage::Format_RGB32);
            seen.push_back({text, ms, !screen.isNull() && screen == painted});
        });
        QElapsedTimer t;
        t.start();
        splash.pause(ms);
        waits.emplace_back(ms, t.elapsed());
    }
};

TEST(Splash, EveryMessageIsOnTheScreenDuringItsWait)
{
    TempDir dir;
    PtyPair line;
    std::ofstream(dir / "ports.conf") << "COM1=" << line.slavePath() << "\n";
    Settings s;
    saveQuellorn1(s, dir.path());  // Quellorn.dat missing: one wait of 3 s
    saveQuellorn2(s, dir.path());
    AppCore core(dir.path());
    TSplashWindow splash(TDrawApp::splashImagePath(QString::fromStdString(dir.path().string())));
    splash.show();
    WatchedSplash view(splash);
    runStartupSteps(core, view, {});

    // The event loop ran in every wait (the check fired inside it), and the screen showed the
    // very picture the splash paints, message and gauge.
    ASSERT_EQ(view.seen.size(), view.waits.size());
    for (const auto& seen : view.seen)
        EXPECT_TRUE(seen.onScreen) << seen.text.toStdString();
    QStringList texts;
    for (const auto& seen : view.seen)
        texts << seen.text;
    EXPECT_TRUE(texts.contains(QStringLiteral("Quellorn.datがありません。")));
    EXPECT_TRUE(texts.contains(QStringLiteral("CH1:COM1:設定完了")));
    // The durations stay: 3000 ms for the missing file, 50 ms after each of the ten steps.
    for (const auto& [ms, took] : view.waits)
        EXPECT_GE(took, ms);
    EXPECT_EQ(std::count_if(view.waits.begin(), view.waits.end(), [](auto w) { return w.first == 3000; }), 1);
    EXPECT_EQ(std::count_if(view.waits.begin(), view.waits.end(), [](auto w) { return w.first == 50; }), 10);
    core.closeChannel(1);
}

// Answers dialog 703 with `port` in the CH1 field and "登録"; any other modal window is closed.
struct PortDialogAnswer {
    QString port;
    QStringList seen;
    QStringList listed;
    bool stop = false;
    void arm() { QTimer::singleShot(0, [this] { poll(); }); }
    void poll()
    {
        if (stop)
            return;
        QWidget* w = QApplication::activeModalWidget();
        if (!w) {
            QTimer::singleShot(5, [this] { poll(); });
            return;
        }
        seen << w->objectName();
        if (w->objectName() == QStringLiteral("703")) {
            auto* ch1 = w->findChild<QComboBox*>(QStringLiteral("251"));
            for (int i = 0; i < ch1->count(); ++i)
                listed << ch1->itemText(i);
            ch1->setEditText(port);
            w->findChild<QPushButton*>(QStringLiteral("201"))->click();
        } else if (auto* dialog = qobject_cast<QDialog*>(w)) {
            dialog->reject();
        }
        QTimer::singleShot(5, [this] { poll(); });
    }
};

TEST(FirstRun, OffersTheComPortDialogOnceAndReachesTraffic)
{
    TempDir dir;
    PtyPair line;
    // No settings files; COM1 (the default) is no device here, COM7 is the instrument.
    std::ofstream(dir / "ports.conf") << "COM7=" << line.slavePath() << "\n";
    {
        AppCore core(dir.path());
        TDrawApp app(core);
        app.initMainWindow(false);
        EXPECT_TRUE(app.frame()->client()->startupOutcome().offersPortDialog());
        PortDialogAnswer answer;
        answer.port = QStringLiteral("COM7");
        answer.arm();
        app.start();
        ASSERT_TRUE(processUntil([&] { return core.channels().running(1); }));
        answer.stop = true;
        EXPECT_EQ(answer.seen, QStringList{QStringLiteral("703")});
        EXPECT_TRUE(answer.listed.contains(QStringLiteral("COM7")));  // ports.conf's devices are offered
        EXPECT_EQ(core.settings().record.ch1ComNumber, 7);
        // Traffic: the instrument's bytes arrive on CH1 (and stay once timer 1 has made its
        // start-up clear).
        EXPECT_TRUE(processUntil([&] {
            line.send("OK\r\n");
            return core.traffic().storedLength.load() > 0;
        }));
        app.frame()->client()->askSaveAtExit = [] { return QMessageBox::No; };
        app.frame()->close();
    }
    // The next start finds the settings: no dialog, even when CH1 does not open then.
    std::filesystem::remove(dir / "ports.conf");
    AppCore core(dir.path());
    TDrawApp app(core);
    app.initMainWindow(false);
    EXPECT_FALSE(app.frame()->client()->startupOutcome().offersPortDialog());
    PortDialogAnswer answer;
    answer.arm();
    app.start();
    processUntil([] { return false; }, 300);
    answer.stop = true;
    EXPECT_TRUE(answer.seen.isEmpty());
    EXPECT_FALSE(core.channels().running(1));
    app.frame()->close();
}

TEST(QtTexts, AreJapaneseWhateverTheLocale)
{
    ASSERT_TRUE(installQtJapanese(*QCoreApplication::instance()));
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel").toStdString(), "キャンセル");
    QMessageBox box(QMessageBox::Question, QStringLiteral("Kestrane"), QStringLiteral("保存しますか?"),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_EQ(box.button(QMessageBox::Yes)->text().toStdString(), "はい(&Y)");
}

// A stand-in for the desktop's handler: exits with `status`.
std::string opener(const TempDir& bin, int status)
{
    const auto path = bin / ("opener" + std::to_string(status));
    std::ofstream(path) << "#!/bin/sh\nexit " << status << "\n";
    ::chmod(path.c_str(), 0755);
    return path.filename().string();
}

TEST(Manual, ThatNothingOpensIsSaidWithItsPathAndTheViewers)
{
    TempDir bin, work;
    std::ofstream(work / "Kestrane_Manual.pdf") << "%PDF";
    std::vector<QString> messages;
    const MessageBoxFn message = [&](const QString& text, QMessageBox::StandardButtons, QMessageBox::Icon) {
        messages.push_back(text);
        return QMessageBox::Ok;
    };
    QObject owner;
    Processes processes({}, bin.path().string());
    const auto manual = work / "Kestrane_Manual.pdf";

    // The handler finds no application for PDF files (xdg-open's exit status 3).
    processes.desktopOpener = opener(bin, 3);
    EXPECT_TRUE(openDocumentWatched(processes, manual, work.path(), message, &owner));
    ASSERT_TRUE(processUntil([&] { return !messages.empty(); }));
    EXPECT_NE(messages[0].indexOf(QString::fromStdString(manual.string())), -1) << messages[0].toStdString();
    EXPECT_NE(messages[0].indexOf(QStringLiteral("evince")), -1);
    EXPECT_NE(messages[0].indexOf(QStringLiteral("okular")), -1);

    // No handler at all: said at once.
    messages.clear();
    processes.desktopOpener = "no-such-opener";
    EXPECT_FALSE(openDocumentWatched(processes, manual, work.path(), message, &owner));
    EXPECT_EQ(messages.size(), 1u);

    // A handler that opened it: nothing to say.
    messages.clear();
    processes.desktopOpener = opener(bin, 0);
    EXPECT_TRUE(openDocumentWatched(processes, manual, work.path(), message, &owner));
    processUntil([&] { return owner.findChildren<QObject*>().isEmpty(); }, 2000);
    EXPECT_TRUE(messages.empty());
}

} // namespace
} // namespace kestrane
