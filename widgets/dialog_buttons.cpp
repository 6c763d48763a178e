#include "widgets/dialog_buttons.h"

#include <QCoreApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>

namespace kestrane {

QPushButton* idButton(int id, const QString& text, QWidget* parent)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::number(id));
    b->setAutoDefault(false);
    return b;
}

std::function<void()> manualAt(ManualAtPage manual, int page)
{
    return [manual = std::move(manual), page] {
        if (manual)
            manual(page);
    };
}

DialogButtonsSpec okCancelHelp(std::function<void()> onAccept, std::function<void()> onHelp)
{
    return {.acceptText = QStringLiteral("OK"),
            .onAccept = std::move(onAccept),
            .closeText = QCoreApplication::translate("DialogButtons", "ｷｬﾝｾﾙ"),
            .onHelp = std::move(onHelp)};
}

DialogButtons dialogButtons(QDialog* dialog, DialogButtonsSpec spec)
{
    DialogButtons b;
    b.row = new QHBoxLayout;
    b.row->addStretch();
    if (!spec.acceptText.isEmpty()) {
        b.accept = idButton(spec.acceptId, spec.acceptText, dialog);
        b.accept->setDefault(true);
        if (spec.onAccept)
            QObject::connect(b.accept, &QPushButton::clicked, dialog, std::move(spec.onAccept));
        b.row->addWidget(b.accept);
    }
    if (!spec.closeText.isEmpty()) {
        b.close = idButton(spec.closeId, spec.closeText, dialog);
        if (spec.onClose)
            QObject::connect(b.close, &QPushButton::clicked, dialog, std::move(spec.onClose));
        else
            QObject::connect(b.close, &QPushButton::clicked, dialog, &QDialog::reject);
        b.row->addWidget(b.close);
    }
    if (spec.onHelp) {
        b.help = idButton(spec.helpId, spec.helpText, dialog);
        QObject::connect(b.help, &QPushButton::clicked, dialog, std::move(spec.onHelp));
        b.row->addWidget(b.help);
    }
    return b;
}

} // namespace kestrane
