// The port-configuration dialog of the serial-settings command: baud rate (any rate, the usual ones
// listed), data bits, parity, stop bits and flow control of one channel. Modal; it edits a copy
// and only reports the choice, the command applies it.
#pragma once

#include "widgets/message_box.h"
#include "i18n/language.h"
#include "settings/dcb_settings.h"

#include <QDialog>

class QComboBox;

namespace kestrane {

class TPortConfigDialog : public QDialog {
    Q_OBJECT
public:
    // The help button opens the manual's page on this dialog (kPortConfigHelpPage).
    TPortConfigDialog(int comNumber, const PortConfig& initial, MessageBoxFn message, ManualAtPage manual = {},
                      QWidget* parent = nullptr);

    // The choice after OK.
    [[nodiscard]] const PortConfig& config() const { return config_; }

private:
    void showConfig(const PortConfig& c);
    void onOk();

    MessageBoxFn message_;
    PortConfig config_;
    QComboBox* baud_ = nullptr;
    QComboBox* dataBits_ = nullptr;
    QComboBox* parity_ = nullptr;
    QComboBox* stopBits_ = nullptr;
    QComboBox* flow_ = nullptr;
};

inline constexpr int kPortConfigHelpPage = 50;
inline constexpr const char* kBaudRateWrongText = I18N_NOOP("Kestrane", "ビット/秒の値が正しくありません。");

} // namespace kestrane
