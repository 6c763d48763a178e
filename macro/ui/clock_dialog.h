// Dialog 722 "マクロ実行クロック": the period of the timer that drives the macro interpreter.
#pragma once

#include "records/settings_records.h"

#include <QDialog>

#include <vector>

class QRadioButton;

namespace kestrane {

// Modal. On opening the button of the current macroClockMs is checked (none for a value it
// does not offer); OK stores the checked period, or 200 when none is checked. There is no
// cancel button: closing by the frame changes nothing.
class TDialog22 : public QDialog {
    Q_OBJECT
public:
    explicit TDialog22(SettingsRecord& settings, QWidget* parent = nullptr);

private:
    void onOk();

    SettingsRecord& settings_;
    std::vector<QRadioButton*> buttons_;
};

} // namespace kestrane
