#include "settings/ui/lamp.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPixmap>

namespace kestrane {

Lamp::Lamp(QWidget* parent) : QWidget(parent)
{
    setFixedSize(16, 16);
}

void Lamp::setLit(bool lit)
{
    if (lit == lit_)
        return;
    lit_ = lit;
    update();
}

void Lamp::setAvailable(bool available)
{
    if (available == available_)
        return;
    available_ = available;
    setToolTip(available ? QString() : QCoreApplication::translate("Lamp", "このデバイスはモデム線の状態を報告しません"));
    update();
}

void Lamp::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (!available_) {
        // Neither on nor off: a grey ring, so it cannot be read as a dark lamp.
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(170, 170, 170), 1, Qt::DashLine));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        return;
    }
    const QPixmap bitmap(lit_ ? QStringLiteral(":/bitmaps/36.png") : QStringLiteral(":/bitmaps/35.png"));
    if (!bitmap.isNull()) {
        p.drawPixmap(0, 0, bitmap);
        return;
    }
    // Without the program's images (a widget test): the same lamp, drawn.
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(64, 64, 64));
    p.setBrush(lit_ ? QColor(230, 0, 0) : QColor(200, 200, 200));
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
}

} // namespace kestrane
