// Dialog 20 "制御文字送信" (TDialog20), command 37840 "制御文字送信(&D)": 33 buttons 1001..1033,
// button 1001 + k sending the one byte k (NUL .. SP) on the chosen channel, undecorated. Closed by
// the window's close box only.
#pragma once

#include "sending/ui/send_dialog_services.h"

#include <QDialog>

#include <cstdint>

class QRadioButton;

namespace kestrane {

class TDialog20 final : public QDialog {
    Q_OBJECT
public:
    static constexpr int kButtons = 33;

    TDialog20(SendDialogServices services, QWidget* parent = nullptr);

    // The label of button 1001 + k (k = 0 .. 32).
    static const char* label(int k);

private:
    void send(std::uint8_t byte);

    SendDialogServices services_;
    QRadioButton* ch1_ = nullptr;
    QRadioButton* ch2_ = nullptr;
};

} // namespace kestrane
