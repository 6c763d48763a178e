#include "app/ui/splash_window.h"

#include "comm/channel.h"

#include <QGuiApplication>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QScreen>
#include <QSocketNotifier>
#include <QEventLoop>
#include <QTimer>
#include <QVBoxLayout>

#include <memory>

namespace kestrane {

TSplashWindow::TSplashWindow(const QString& imagePath, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("TSplashWindow"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);

    image_ = new QLabel(this);
    image_->setAlignment(Qt::AlignCenter);
    QImageReader reader(imagePath);
    reader.setDecideFormatFromContent(true);
    const QImage img = reader.read();
    if (!img.isNull()) {
        // The window is 250 x 250 at most; a smaller image shrinks it to fit.
        const QImage fitted = (img.width() > 242 || img.height() > 200)
                                  ? img.scaled(242, 200, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                                  : img;
        image_->setPixmap(QPixmap::fromImage(fitted));
    }
    layout->addWidget(image_);

    gauge_ = new QProgressBar(this);
    gauge_->setRange(0, 100);
    gauge_->setValue(0);
    layout->addWidget(gauge_);

    text_ = new QLabel(this);
    layout->addWidget(text_);

    setMaximumSize(250, 250);
    adjustSize();
    // Centred on the screen, like the frame that follows it.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect s = screen->geometry();
        move(s.x() + (s.width() - width()) / 2, s.y() + (s.height() - height()) / 2);
    }
}

void TSplashWindow::setGauge(int percent)
{
    gauge_->setValue(percent);
    gauge_->repaint();
}

void TSplashWindow::setText(const QString& text)
{
    text_->setText(text);
    text_->repaint();  // painted now where the window is already on the screen
}

void TSplashWindow::pause(int milliseconds)
{
    if (!pausesEnabled_ || interrupted_)
        return;
    // The wait runs the event loop, so the window system's expose and paint requests are served
    // and the text stays on the screen (a window manager maps the splash only after a while).
    // Input is held back: nothing of the program can be used before the frame exists.
    QEventLoop loop;
    // A stop signal is served here too and ends the wait (interrupt).
    QTimer::singleShot(milliseconds, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    pauseLoop_ = &loop;
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    pauseLoop_ = nullptr;
}

void TSplashWindow::channelsOpening()
{
    if (onChannelsOpening)
        onChannelsOpening();
}

void TSplashWindow::interrupt()
{
    interrupted_ = true;
    if (pauseLoop_)
        pauseLoop_->quit();
}

void TSplashWindow::waitForChannels(Channels& channels, const std::function<bool()>& done)
{
    if (done())
        return;
    QEventLoop loop;
    pauseLoop_ = &loop;  // a stop signal ends this wait as it ends a pause
    auto handle = [&] {
        channels.handleDeviceEvents();
        if (done())
            loop.quit();
    };
    QSocketNotifier events(channels.deviceEventFd(), QSocketNotifier::Read);
    QObject::connect(&events, &QSocketNotifier::activated, &loop, handle);
    std::unique_ptr<QSocketNotifier> watch;
    if (channels.watchFd() >= 0) {
        watch = std::make_unique<QSocketNotifier>(channels.watchFd(), QSocketNotifier::Read);
        QObject::connect(watch.get(), &QSocketNotifier::activated, &loop, handle);
    }
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    pauseLoop_ = nullptr;
}

int TSplashWindow::gauge() const { return gauge_->value(); }
QString TSplashWindow::text() const { return text_->text(); }

} // namespace kestrane
