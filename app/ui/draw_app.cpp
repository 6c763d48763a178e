#include "app/ui/draw_app.h"

#include "app/app_core.h"
#include "app/command_ids.h"
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

void TDrawApp::initMainWindow(bool pauses)
{
    auto splash = std::make_unique<TSplashWindow>(
        splashImagePath(QString::fromStdString(core_.startDirectory().string())));
    splash->setPausesEnabled(pauses);
    splash->show();
    splash->repaint();
    QCoreApplication::processEvents();

    auto* client = new TDrawWindow(core_, *splash);
    frame_ = std::make_unique<MainFrame>(client);

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
    if (!frame_)
        initMainWindow();
    frame_->show();
    // Once shown, the window system has decorated the frame: place it again with them.
    QCoreApplication::processEvents();
    placeFrame();
    TDrawWindow* client = frame_->client();
    client->setUp();
    if (client->startupOutcome().offersPortDialog()) {
        MainFrame* frame = frame_.get();
        QTimer::singleShot(0, frame, [frame] {
            frame->client()->commands().dispatch(cmd::ComPortSettings);
            frame->refreshMenuBarCommands();
        });
    }
}

int TDrawApp::run()
{
    start();
    return QApplication::exec();
}

} // namespace kestrane
