#include "app/ui/draw_app.h"

#include "app/app_core.h"
#include "app/command_ids.h"
#include "app/ui/close_signals.h"
#include "app/ui/main_window.h"
#include "app/ui/splash_window.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QScreen>
#include <QTimer>

#include <algorithm>

namespace kestrane {

TDrawApp::TDrawApp(AppCore& core) : core_(core) {}

TDrawApp::~TDrawApp() = default;

QString TDrawApp::splashImagePath(const QString& startDirectory)
{
    const QString local = QDir(startDirectory).filePath(QStringLiteral("splslogo.gdt"));
    if (QFileInfo::exists(local))
        return local;
    const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("splslogo.gdt"));
    if (QFileInfo::exists(beside))
        return beside;
    // An installed program: <prefix>/bin/kestrane reads <prefix>/share/kestrane/splslogo.gdt.
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../share/kestrane/splslogo.gdt"));
}

bool TDrawApp::initMainWindow(bool pauses)
{
    auto splash = std::make_unique<TSplashWindow>(
        splashImagePath(QString::fromStdString(core_.startDirectory().string())));
    splash->setPausesEnabled(pauses);
    splash_ = splash.get();
    if (stopRequested_)
        splash->interrupt();
    splash->show();
    splash->repaint();
    QCoreApplication::processEvents();

    // Once a channel opens, a signal is served by the splash's pauses, which end the steps
    // (before, nothing needs closing and it ends the program at once).
    splash->onChannelsOpening = [this] {
        if (signals_)
            signals_->setEndAtOnce(false);
    };
    auto client = std::make_unique<TDrawWindow>(core_, *splash);
    splash_ = nullptr;
    if (client->startupOutcome().interrupted)
        return false;
    frame_ = std::make_unique<MainFrame>(client.release());

    frame_->setWindowFlags(frame_->windowFlags() | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint);
    placeFrame();

    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/551.png"));
    icon.addFile(QStringLiteral(":/icons/552.png"));
    frame_->setWindowIcon(icon);
    QApplication::setWindowIcon(icon);

    // The client's set-up destroys the splash.
    splash.reset();
    return true;
}

void TDrawApp::placeFrame()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect whole = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
    const QRect available = screen ? screen->availableGeometry() : whole;
    screenWidth_ = whole.width();
    screenHeight_ = whole.height();

    const FrameRect r =
        startupFrame(core_.settings().startupSizeCode, FrameRect{whole.x(), whole.y(), whole.width(), whole.height()},
                     FrameRect{available.x(), available.y(), available.width(), available.height()});
    // The size is the frame's, title bar and borders included; the window is what lies inside.
    const QRect outer = frame_->frameGeometry();
    const QRect inner = frame_->geometry();
    const int extraWidth = std::max(0, outer.width() - inner.width());
    const int extraHeight = std::max(0, outer.height() - inner.height());
    frame_->resize(std::max(1, r.width - extraWidth), std::max(1, r.height - extraHeight));
    frame_->move(r.x, r.y);  // a window's position is its frame's
}

void TDrawApp::start()
{
    if (!frame_ && !initMainWindow())
        return;
    frame_->show();
    // Once shown, the window system has decorated the frame: place it again with them.
    QCoreApplication::processEvents();
    if (quitting_)
        return;  // a signal closed it meanwhile
    placeFrame();
    TDrawWindow* client = frame_->client();
    client->setUp();
    if (client->startupOutcome().offersPortDialog()) {
        MainFrame* frame = frame_.get();
        QTimer::singleShot(0, frame, [this, frame] {
            if (quitting_)
                return;
            frame->client()->commands().dispatch(cmd::ComPortSettings);
            frame->refreshMenuBarCommands();
        });
    }
}

int TDrawApp::run()
{
    start();
    if (!frame_ || quitting_)
        return 0;
    return QApplication::exec();
}

void TDrawApp::closeOnSignals()
{
    signals_ = std::make_unique<CloseSignals>();
    QObject::connect(signals_.get(), &CloseSignals::arrived, [this] { closeForSignal(); });
}

void TDrawApp::closeForSignal()
{
    if (!frame_) {
        stopRequested_ = true;
        if (splash_)
            splash_->interrupt();
        return;
    }
    if (closing_ || quitting_)
        return;  // the first signal's close is still under way
    closing_ = true;
    const bool closed = frame_->close();
    closing_ = false;
    if (!closed)
        return;  // the user kept the window open (unsaved traffic, Cancel)
    quitting_ = true;
    // Ends the message loop and every loop running on it (a dialog's), or, before the message
    // loop runs, tells run() not to enter it.
    QCoreApplication::exit(0);
}

} // namespace kestrane
