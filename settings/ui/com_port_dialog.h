// Dialog 703 "Com Port Setting" (TDialog3): the ports of CH1 and CH2, CH2 on or off, the line
// monitor (T connection or relay); dialog 718 "詳細設定" (TDialog18): the receive details of one
// channel. Both modal; both edit the settings record in place.
#pragma once

#include "widgets/message_box.h"
#include "settings/com_port_settings.h"
#include "records/settings_records.h"

#include <QDialog>

#include <functional>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace kestrane {

// The system's ports with their stable numbers (asks the 10-second question itself).
using PortEnumerator = std::function<PortEnumeration()>;

class TDialog3 : public QDialog {
    Q_OBJECT
public:
    // The lists come from `enumerate` while the record's comNumbersFromRegistry is on, else they
    // hold COM1 .. COM255.
    TDialog3(SettingsRecord& record, PortEnumerator enumerate, MessageBoxFn message, ManualAtPage manual,
             QWidget* parent = nullptr);

    // The ports the lists offer.
    [[nodiscard]] const std::vector<PortChoice>& choices() const { return choices_; }

private:
    void fill(QComboBox* list);
    void preset(QComboBox* list, const std::string& text);
    void updateEnabling();
    void updateInfo(QComboBox* list, QLabel* info);
    void onStore();
    void onDetail(int channel);

    SettingsRecord& record_;
    MessageBoxFn message_;
    ManualAtPage manual_;
    std::vector<PortChoice> choices_;
    QComboBox* ch1List_ = nullptr;
    QComboBox* ch2List_ = nullptr;
    QLabel* ch1Info_ = nullptr;
    QLabel* ch2Info_ = nullptr;
    QCheckBox* ch2Used_ = nullptr;
    QCheckBox* monitor_ = nullptr;
    QRadioButton* tConnection_ = nullptr;
    QRadioButton* relay_ = nullptr;
};

class TDialog18 : public QDialog {
    Q_OBJECT
public:
    TDialog18(SettingsRecord& record, int channel, MessageBoxFn message, ManualAtPage manual,
              QWidget* parent = nullptr);

private:
    [[nodiscard]] DetailControls taken() const;
    void onStore();
    void onClose();

    SettingsRecord& record_;
    int channel_;
    MessageBoxFn message_;
    bool lastTakenWithoutEvent_ = false;
    QCheckBox* force52_ = nullptr;
    QLineEdit* gap_ = nullptr;
    QCheckBox* rxChar_ = nullptr;
    QCheckBox* rxFlag_ = nullptr;
};

} // namespace kestrane
