// Dialog 409 "DIO Moniter Dialog": every bit of the digital I/O image as a lamp, the row labels
// from the control word, output bits toggled by a click; a 500 ms timer redraws after changes
// made elsewhere (macros, a board driver, another monitor).
#pragma once

#include "widgets/message_box.h"
#include "sampling/dio_image.h"
#include "records/settings_records.h"

#include <QDialog>
#include <QPixmap>

namespace kestrane {

// Modeless; each command opens a window of its own.
class TDialog9 : public QDialog {
    Q_OBJECT

public:
    // `settings` gives `dioControlWord`; `help` opens the manual at the dialog's page.
    TDialog9(DioImage& image, const SettingsRecord& settings, ManualAtPage help, QWidget* parent = nullptr);

    static constexpr int kHelpPage = 46;

    [[nodiscard]] bool timerRunning() const { return timer_ != 0; }
    // What one tick of the timer does (public for tests): redraw when the image changed.
    void tick();
    // How many times the lamps were painted (for tests).
    [[nodiscard]] int paintCount() const { return paints_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void done(int result) override;

private:
    void stopTimer();

    DioImage& image_;
    const SettingsRecord& settings_;
    QPixmap lampOff_;  // bitmap 35
    QPixmap lampOn_;   // bitmap 36, red
    std::uint32_t drawnChanges_ = 0;
    int timer_ = 0;
    int paints_ = 0;
};

} // namespace kestrane
