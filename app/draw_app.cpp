#include "app/draw_app.h"

#include "app/app_core.h"
#include "app/main_window.h"
#include "app/splash_window.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QScreen>

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

    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect screenRect = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
    screenWidth_ = screenRect.width();
    screenHeight_ = screenRect.height();

    const FrameRect r = startupFrame(core_.settings().startupSizeCode, screenWidth_, screenHeight_);
    frame_->setWindowFlags(frame_->windowFlags() | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint);
    frame_->resize(r.width, r.height);
    frame_->move(screenRect.x() + r.x, screenRect.y() + r.y);

    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/551.png"));
    icon.addFile(QStringLiteral(":/icons/552.png"));
    frame_->setWindowIcon(icon);
    QApplication::setWindowIcon(icon);

    // The client's set-up destroys the splash.
    splash.reset();
}

int TDrawApp::run()
{
    if (!frame_)
        initMainWindow();
    frame_->show();
    frame_->client()->setUp();
    return QApplication::exec();
}

} // namespace kestrane
