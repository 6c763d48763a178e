// Dialog 713 "その他の設定" (TDialog13: exit question, where the port list comes from, sent text
// shown, checksum letters, the PDF viewer) and dialog 719 "自動ロギング設定" (TDialog19). Modal.
#pragma once

#include "widgets/message_box.h"
#include "records/settings_records.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;

namespace kestrane {

// OK stores; there is no cancel button, the window's close box stores nothing.
class TDialog13 : public QDialog {
    Q_OBJECT
public:
    explicit TDialog13(Settings& settings, QWidget* parent = nullptr);

private:
    void onOk();

    Settings& settings_;
    QCheckBox* noExitQuery_ = nullptr;
    QCheckBox* fromSystem_ = nullptr;
    QCheckBox* showSent_ = nullptr;
    QCheckBox* lowerCase_ = nullptr;
    QLineEdit* reader_ = nullptr;
    QLineEdit* pageCommand_ = nullptr;
};

class TDialog19 : public QDialog {
    Q_OBJECT
public:
    TDialog19(SamplingSettings& sampling, ManualAtPage manual, QWidget* parent = nullptr);

private:
    void onOk();

    SamplingSettings& sampling_;
    QCheckBox* on_ = nullptr;
    QLineEdit* prefix_ = nullptr;
};

} // namespace kestrane
