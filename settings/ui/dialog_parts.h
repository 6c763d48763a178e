// Small pieces the settings dialogs share: controls named by their ids, the help button.
#pragma once

#include "platform/ui/message_box.h"

#include <QString>

#include <string>

class QAbstractButton;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;

namespace kestrane {

QString qs(const char* utf8);
QString qs(const std::string& utf8);

QPushButton* idButton(int id, const QString& text, QWidget* parent);
QCheckBox* idCheck(int id, const QString& text, QWidget* parent);
QRadioButton* idRadio(int id, const QString& text, QWidget* parent);
QLineEdit* idEdit(int id, int maxLength, QWidget* parent);
QLabel* idLabel(int id, const QString& text, QWidget* parent);
// Button 203 "ﾍﾙﾌﾟ": opens the manual at `page` (nothing when no opener was handed in).
QPushButton* helpButton(const ManualAtPage& manual, int page, QWidget* parent, int id = 203);

} // namespace kestrane
