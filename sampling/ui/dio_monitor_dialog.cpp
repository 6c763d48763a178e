#include "sampling/ui/dio_monitor_dialog.h"

#include "widgets/dialog_buttons.h"
#include "widgets/dialog_ids.h"
#include "sampling/dio_monitor.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTimerEvent>

namespace kestrane {

namespace {

constexpr int kClientWidth = 290;
constexpr int kClientHeight = 172;

} // namespace

TDialog9::TDialog9(DioImage& image, const SettingsRecord& settings, ManualAtPage help, QWidget* parent)
    : QDialog(parent), image_(image), settings_(settings)
{
    setObjectName(QString::fromLatin1(dialog_id::DioMonitor));
    setWindowTitle(QStringLiteral("DIO Moniter Dialog"));
    setModal(false);
    setFixedSize(kClientWidth, kClientHeight);

    auto* close = idButton(202, QCoreApplication::translate("DioMonitorDialog", "閉じる"), this);
    close->setGeometry(56, 134, 80, 26);
    auto* helpButton = idButton(203, QCoreApplication::translate("DioMonitorDialog", "ﾍﾙﾌﾟ"), this);
    helpButton->setGeometry(156, 134, 80, 26);
    connect(close, &QPushButton::clicked, this, [this] { this->close(); });
    connect(helpButton, &QPushButton::clicked, this, manualAt(std::move(help), kHelpPage));

    lampOff_ = QPixmap(QStringLiteral(":/bitmaps/35.png"));
    lampOn_ = QPixmap(QStringLiteral(":/bitmaps/36.png"));
    drawnChanges_ = image_.changes();
    timer_ = startTimer(500);
}

void TDialog9::tick()
{
    const std::uint32_t changes = image_.changes();
    if (changes != drawnChanges_) {
        drawnChanges_ = changes;
        update(0, 0, DioMonitorGeometry::kWidth + 1, DioMonitorGeometry::kHeight + 1);
    }
}

void TDialog9::paintEvent(QPaintEvent* /*event*/)
{
    using G = DioMonitorGeometry;
    ++paints_;
    drawnChanges_ = image_.changes();
    const std::uint16_t word = settings_.dioControlWord;
    QPainter p(this);
    p.setBackgroundMode(Qt::OpaqueMode);
    p.setBackground(Qt::white);
    p.setPen(Qt::black);
    const QFontMetrics metrics = p.fontMetrics();
    for (int port = 0; port < DioImage::kPorts; ++port) {
        const std::string_view label = dioRowLabel(word, port);
        p.drawText(G::kLabelX, G::rowTop(port) + metrics.ascent(),
                   QString::fromLatin1(label.data(), static_cast<qsizetype>(label.size())));
        for (int bit = 0; bit < 8; ++bit) {
            p.drawText(G::numberX(bit), G::numberTop(port) + metrics.ascent(), QString::number(bit));
            const bool on = dioLampOn(image_, word, port, bit);
            const QRect lamp(G::lampX(bit), G::rowTop(port), G::kLampSize, G::kLampSize);
            const QPixmap& picture = on ? lampOn_ : lampOff_;
            if (!picture.isNull()) {
                p.drawPixmap(lamp.topLeft(), picture);
            } else {  // without the bitmaps: plain lamps of the same colours
                p.setBrush(on ? QColor(255, 0, 0) : QColor(128, 128, 128));
                p.drawEllipse(lamp.adjusted(0, 0, -1, -1));
            }
        }
    }
}

void TDialog9::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QDialog::mousePressEvent(event);
        return;
    }
    const QPoint at = event->position().toPoint();
    if (const auto hit = dioOutputBitAt(settings_.dioControlWord, at.x(), at.y()))
        image_.toggleBit(DioArea::Output, hit->port, hit->bit);
    update(0, 0, DioMonitorGeometry::kWidth + 1, DioMonitorGeometry::kHeight + 1);
}

void TDialog9::stopTimer()
{
    if (timer_ != 0) {
        killTimer(timer_);
        timer_ = 0;
    }
}

void TDialog9::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == timer_)
        tick();
    else
        QDialog::timerEvent(event);
}

void TDialog9::closeEvent(QCloseEvent* event)
{
    stopTimer();
    QDialog::closeEvent(event);
}

void TDialog9::done(int result)
{
    stopTimer();
    QDialog::done(result);
}

} // namespace kestrane
