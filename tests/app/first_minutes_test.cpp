// A new user's first minutes: the splash paints each message during its wait, a first run whose
// CH1 does not open is offered the COM-port dialog and reaches traffic through it, Qt's own texts
// are Japanese, and a manual that nothing opens is reported.
#include "app/app_core.h"
#include "app/startup_sequence.h"
#include "app/ui/document_opener.h"
#include "app/ui/draw_app.h"
#include "app/ui/main_window.h"
#include "app/ui/splash_window.h"
#include "widgets/qt_japanese.h"
#include "records/settings_files.h"
#include "support/controls.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>

namespace kestrane {
namespace {

using test::TempDir;

// The real splash; halfway through each wait it compares what the screen holds of the splash
// (its window's pixels as flushed) with what the splash paints now. That check only runs when
// the wait runs the event loop.
struct WatchedSplash : StartupView {
    TSplashWindow& splash;
    std::vector<std::pair<QString, bool>> seen;  // message, on the screen
    std::vector<std::pair<int, qint64>> waits;   // asked, taken
    explicit WatchedSplash(TSplashWindow& s) : splash(s) {}
    void setGauge(int percent) override { splash.setGauge(percent); }
    void setText(const QString& text) override { splash.setText(text); }
    void pause(int ms) override
    {
        QTimer::singleShot(ms / 2, &splash, [this, text = splash.text()] {
            const QImage screen = splash.screen()->grabWindow(splash.winId()).toImage();
            seen.emplace_back(text, !screen.isNull() && screen.convertToFormat(QImage::Format_RGB32) ==
                                                             splash.grab().toImage().convertToFormat(QImage::Format_RGB32));
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
    test::PtyPair line;
    std::ofstream(dir / "ports.conf") << "COM1=" << line.slavePath() << "\n";
    EXPECT_TRUE(saveQuellorn1(Settings{}, dir.path()));  // Quellorn.dat missing: one wait of 3 s
    EXPECT_TRUE(saveQuellorn2(Settings{}, dir.path()));
    AppCore core(dir.path());
    TSplashWindow splash(TDrawApp::splashImagePath(QString::fromStdString(dir.path().string())));
    splash.show();
    WatchedSplash view(splash);
    runStartupSteps(core, view, {});

    ASSERT_EQ(view.seen.size(), 11u);  // one check in each wait
    QStringList texts;
    for (const auto& [text, onScreen] : view.seen) {
        EXPECT_TRUE(onScreen) << text.toStdString();
        texts << text;
    }
    EXPECT_TRUE(texts.contains(QStringLiteral("Quellorn.datがありません。")));
    EXPECT_TRUE(texts.contains(QStringLiteral("CH1:COM1:設定完了")));
    for (const auto& [ms, took] : view.waits)  // the durations stay
        EXPECT_GE(took, ms);
    EXPECT_EQ(view.waits[0].first, 3000);
    core.closeChannel(1);
}

// Answers dialog 703 with `port` for CH1 and "登録"; any other modal window is closed.
struct PortDialogAnswer {
    QString port;
    QStringList seen, listed;
    QObject alive;  // its polls end with it
    void poll()
    {
        if (QWidget* w = QApplication::activeModalWidget()) {
            seen << w->objectName();
            if (auto* ch1 = w->findChild<QComboBox*>(QStringLiteral("251"))) {
                for (int i = 0; i < ch1->count(); ++i)
                    listed << ch1->itemText(i);
                ch1->setEditText(port);
                w->findChild<QPushButton*>(QStringLiteral("201"))->click();
            } else if (auto* dialog = qobject_cast<QDialog*>(w)) {
                dialog->reject();
            }
        }
        QTimer::singleShot(5, &alive, [this] { poll(); });
    }
};

TEST(FirstRun, OffersTheComPortDialogOnceAndReachesTraffic)
{
    TempDir dir;
    test::PtyPair line;
    // No settings files; COM1 (the default) is no device here, COM7 is the instrument.
    std::ofstream(dir / "ports.conf") << "COM7=" << line.slavePath() << "\n";
    for (bool first : {true, false}) {
        if (!first)
            std::filesystem::remove(dir / "ports.conf");  // nothing opens now
        AppCore core(dir.path());
        TDrawApp app(core);
        app.initMainWindow(false);
        EXPECT_EQ(app.frame()->client()->startupOutcome().offersPortDialog(), first);
        PortDialogAnswer answer;
        answer.port = QStringLiteral("COM7");
        answer.poll();
        app.start();
        test::waitFor([&] { return core.channels().running(1); }, std::chrono::milliseconds(first ? 5000 : 300));
        EXPECT_EQ(answer.seen, first ? QStringList{QStringLiteral("703")} : QStringList{});
        EXPECT_EQ(core.channels().running(1), first);
        if (first) {
            EXPECT_TRUE(answer.listed.contains(QStringLiteral("COM7")));  // ports.conf's devices are offered
            // The instrument's bytes arrive (and stay once timer 1 made its start-up clear).
            EXPECT_TRUE(test::waitFor([&] {
                line.send("OK\r\n");
                return core.traffic().storedLength() > 0;
            }));
        }
        app.frame()->client()->askSaveAtExit = [] { return QMessageBox::No; };
        app.frame()->close();
    }
}

TEST(QtTexts, AreJapaneseWhateverTheLocale)
{
    ASSERT_TRUE(installQtJapanese(*QCoreApplication::instance()));
    QMessageBox box(QMessageBox::Question, QStringLiteral("Kestrane"), QStringLiteral("保存しますか?"),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_EQ(box.button(QMessageBox::Yes)->text().toStdString(), "はい(&Y)");
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text().toStdString(), "キャンセル");
}

TEST(Manual, ThatNothingOpensIsSaidWithItsPathAndTheViewers)
{
    TempDir bin, work;
    const auto manual = work / "Kestrane_Manual.pdf";
    std::ofstream(manual) << "%PDF";
    for (int status : {0, 3})  // stand-ins for the desktop's handler: 3 is xdg-open's "no application"
        std::ofstream(bin / ("opener" + std::to_string(status))) << "#!/bin/sh\nexit " << status << "\n";
    for (const char* name : {"opener0", "opener3"})
        ::chmod((bin / name).c_str(), 0755);
    std::vector<QString> said;
    const MessageBoxFn message = [&](const QString& text, QMessageBox::StandardButtons, QMessageBox::Icon) {
        said.push_back(text);
        return QMessageBox::Ok;
    };
    QObject owner;
    Processes processes({}, bin.path().string());
    const auto open = [&](const char* opener) {
        said.clear();
        processes.desktopOpener = opener;
        const bool started = openDocumentWatched(processes, manual, work.path(), message, &owner);
        test::waitFor([&] { return owner.findChildren<QObject*>().isEmpty(); }, std::chrono::milliseconds(3000));  // the handler ended
        return started;
    };

    EXPECT_TRUE(open("opener3"));
    ASSERT_EQ(said.size(), 1u);
    for (const QString& part : {QString::fromStdString(manual.string()), QStringLiteral("evince"), QStringLiteral("okular")})
        EXPECT_NE(said[0].indexOf(part), -1) << said[0].toStdString();
    EXPECT_FALSE(open("no-such-opener"));  // no handler at all: said at once
    EXPECT_EQ(said.size(), 1u);
    EXPECT_TRUE(open("opener0"));  // opened: nothing to say
    EXPECT_TRUE(said.empty());
}

} // namespace
} // namespace kestrane
