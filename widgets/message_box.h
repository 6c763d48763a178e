// Windows services every dialog needs: the program's message boxes (caption "Kestrane") and the
// way a help button opens the manual at its page. Widgets below app/ get both handed in.
#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

class QWidget;

namespace kestrane {

// Shows a message box with the caption "Kestrane" and returns the button pressed.
using MessageBoxFn = std::function<QMessageBox::StandardButton(const QString& text, QMessageBox::StandardButtons buttons,
                                                               QMessageBox::Icon icon)>;
// The real message boxes, owned by `parent`.
[[nodiscard]] MessageBoxFn kestraneMessageBox(QWidget* parent);

// One message box owned by `parent`, caption "Kestrane".
QMessageBox::StandardButton showMessage(QWidget* parent, const QString& text,
                                        QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                        QMessageBox::Icon icon = QMessageBox::NoIcon);

// A message of the program's own followed, on a line of its own, by the system's reason for a
// failure (`systemError`, an errno, in the program's words; nothing is added for 0):
// "ﾌｧｲﾙが開けません" and why.
[[nodiscard]] QString withSystemReason(const QString& text, int systemError);

// Opens the dialogs' manual at a page (a help button); the application hands in the real one.
using ManualAtPage = std::function<void(int page)>;

} // namespace kestrane
