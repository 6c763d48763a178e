#include "widgets/message_box.h"

#include "platform/system_reason.h"

namespace kestrane {

QMessageBox::StandardButton showMessage(QWidget* parent, const QString& text, QMessageBox::StandardButtons buttons,
                                        QMessageBox::Icon icon)
{
    QMessageBox box(icon, QStringLiteral("Kestrane"), text, buttons, parent);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

MessageBoxFn kestraneMessageBox(QWidget* parent)
{
    return [parent](const QString& text, QMessageBox::StandardButtons buttons, QMessageBox::Icon icon) {
        return showMessage(parent, text, buttons, icon);
    };
}

QString withSystemReason(const QString& text, int systemError)
{
    if (systemError == 0)
        return text;
    return text + QLatin1Char('\n') + QString::fromStdString(systemReason(systemError));
}

} // namespace kestrane
