// Dialog 705 "表示設定" (TDialog5, the display mode), dialog 707 "PL Setting" (TDialog7, the
// low-speed display and the buffer size) and dialog 714 "起動時の画面サイズ" (TDialog14). Modal;
// OK stores into the records, "ｷｬﾝｾﾙ" stores nothing.
#pragma once

#include "widgets/message_box.h"
#include "records/settings_records.h"

#include <QDialog>

#include <map>

class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace kestrane {

class TDialog5 : public QDialog {
    Q_OBJECT
public:
    TDialog5(SettingsRecord& record, MessageBoxFn message, ManualAtPage manual, QWidget* parent = nullptr);

private:
    void onOk();

    SettingsRecord& record_;
    MessageBoxFn message_;
    std::map<int, QRadioButton*> radios_;
};

class TDialog7 : public QDialog {
    Q_OBJECT
public:
    TDialog7(SettingsRecord& record, MessageBoxFn message, ManualAtPage manual, QWidget* parent = nullptr);

private:
    void onOk();

    SettingsRecord& record_;
    MessageBoxFn message_;
    QCheckBox* fastAtStart_ = nullptr;
    QCheckBox* fullRedisplay_ = nullptr;
    QCheckBox* autoScroll_ = nullptr;
    QLineEdit* baseClock_ = nullptr;
    QLineEdit* trafficCount_ = nullptr;
    QLineEdit* idleFactor_ = nullptr;
    QLineEdit* idleCount_ = nullptr;
    QLineEdit* bufferSize_ = nullptr;
};

class TDialog14 : public QDialog {
    Q_OBJECT
public:
    TDialog14(Settings& settings, ManualAtPage manual, QWidget* parent = nullptr);

private:
    void onOk();

    Settings& settings_;
    std::map<int, QRadioButton*> radios_;
};

// The checked radio button's id, 0 when none is checked.
int checkedRadioId(const std::map<int, QRadioButton*>& radios);

} // namespace kestrane
