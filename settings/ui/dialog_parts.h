// Small pieces the settings dialogs share: controls named by their ids (buttons and the button
// row come from widgets/dialog_buttons.h).
#pragma once

#include "widgets/dialog_buttons.h"

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

QCheckBox* idCheck(int id, const QString& text, QWidget* parent);
QRadioButton* idRadio(int id, const QString& text, QWidget* parent);
QLineEdit* idEdit(int id, int maxLength, QWidget* parent);
QLabel* idLabel(int id, const QString& text, QWidget* parent);

} // namespace kestrane
