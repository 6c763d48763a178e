// The row of buttons that ends a dialog, right-aligned: the accept button ("OK" or "登録", the
// default button), the close button ("ｷｬﾝｾﾙ" or "閉じる") and the help button ("ﾍﾙﾌﾟ"), each named
// by its control id. A dialog puts buttons of its own to the left with insertWidget(0, ...).
#pragma once

#include "widgets/message_box.h"

#include <QCoreApplication>
#include <QString>

#include <functional>

class QDialog;
class QHBoxLayout;
class QPushButton;

namespace kestrane {

// Filled with designated initializers; what is left out keeps its default.
struct DialogButtonsSpec {
    QString acceptText{};  // empty: no accept button
    std::function<void()> onAccept{};
    QString closeText{};              // empty: no close button
    std::function<void()> onClose{};  // empty: the dialog's reject()
    std::function<void()> onHelp{};   // empty: no help button
    int acceptId = 201;
    int closeId = 202;
    int helpId = 203;
    QString helpText = QCoreApplication::translate("DialogButtons", "ﾍﾙﾌﾟ");
};

struct DialogButtons {
    QHBoxLayout* row = nullptr;
    QPushButton* accept = nullptr;
    QPushButton* close = nullptr;
    QPushButton* help = nullptr;
};

[[nodiscard]] DialogButtons dialogButtons(QDialog* dialog, DialogButtonsSpec spec);
// The settings dialogs' row: "OK" calling `onAccept`, "ｷｬﾝｾﾙ", and "ﾍﾙﾌﾟ" calling `onHelp`.
[[nodiscard]] DialogButtonsSpec okCancelHelp(std::function<void()> onAccept, std::function<void()> onHelp);

// A push button named by its control id that Enter does not press.
QPushButton* idButton(int id, const QString& text, QWidget* parent);
// What a help button does: the manual at `page` (nothing when no opener was handed in).
[[nodiscard]] std::function<void()> manualAt(ManualAtPage manual, int page);

} // namespace kestrane
