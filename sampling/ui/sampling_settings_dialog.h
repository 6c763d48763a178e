// Dialog 715 "サンプリング設定画面": how many fields are sampled and where each one lies.
#pragma once

#include "widgets/message_box.h"
#include "records/settings_records.h"

#include <QDialog>

#include <array>
#include <functional>

class QLineEdit;
class QRadioButton;

namespace kestrane {

// Modal. OK stores the count and the ten numbers into `settings` (with a message for each
// corrected position or length) and closes; "ｷｬﾝｾﾙ" closes without storing.
class TDialog15 : public QDialog {
    Q_OBJECT

public:
    // `help` opens the manual page of the sampling dialogs.
    TDialog15(SamplingSettings& settings, std::function<void()> help, QWidget* parent = nullptr);

    // The correction messages; tests replace it.
    MessageBoxFn message;

private:
    void onOk();

    SamplingSettings& settings_;
    std::array<QRadioButton*, 6> counts_{};
    std::array<QLineEdit*, 10> edits_{};
};

} // namespace kestrane
