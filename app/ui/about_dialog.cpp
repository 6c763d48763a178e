#include "app/ui/about_dialog.h"

#include "widgets/dialog_ids.h"

#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrane {

TAboutDialog::TAboutDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QCoreApplication::translate("AboutDialog", "このソフトについて"));
    setObjectName(QString::fromLatin1(dialog_id::About));
    auto* layout = new QVBoxLayout(this);

    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("picture"));
    picture->setPixmap(QPixmap(QStringLiteral(":/bitmaps/34.png")));
    picture->setFixedSize(210, 100);
    layout->addWidget(picture, 0, Qt::AlignHCenter);

    auto* frame = new QFrame(this);
    frame->setFrameShape(QFrame::StyledPanel);
    auto* text = new QVBoxLayout(frame);
    for (const QString& line : {QStringLiteral("Win32 management"), QStringLiteral("Kestrane Ver1.91 for Linux"),
                                QStringLiteral("RS-232C line monitor and terminal"),
                                QStringLiteral("Built with Qt %1").arg(QString::fromLatin1(qVersion()))}) {
        auto* label = new QLabel(line, frame);
        text->addWidget(label);
    }
    layout->addWidget(frame);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("1"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
}

} // namespace kestrane
