// Dialog 724 "チェックサム設定": the checksum method and the output form of the checksum.
#pragma once

#include "records/settings_records.h"

#include <QDialog>

class QComboBox;
class QRadioButton;
class QWidget;

namespace kestrane {

// Modal (run it with exec()). OK writes the choice into `settings` (applyChecksumDialog) and
// closes; closing by the frame keeps the old values. There is no cancel button.
class TDialog24 : public QDialog {
    Q_OBJECT

public:
    explicit TDialog24(SettingsRecord& settings, QWidget* parent = nullptr);

private:
    void onOk();

    SettingsRecord& settings_;
    QRadioButton* oneByte_ = nullptr;
    QRadioButton* twoDigits_ = nullptr;
    QComboBox* method_ = nullptr;
};

// Opens dialog 724 over `parent` and waits until it is closed (menu command 37837 and the
// "詳細設定" buttons of the character send dialogs).
void runChecksumSettingsDialog(SettingsRecord& settings, QWidget* parent);

} // namespace kestrane
