// Dialog 716, the sampling view: the sampled rows as lines, taken over from the table one per
// tick of a 100 ms timer, with "データークリア", "閉じる" and "ヘルプ".
#pragma once

#include "text/cp932.h"
#include "sampling/sample_table.h"

#include <QDialog>

#include <functional>

class QListWidget;

namespace kestrane {

// Modeless. Several views may be open: each lists every row taken over so far, whichever view
// took it over, and a clear in one empties the others at their next tick.
class TDialog16 : public QDialog {
    Q_OBJECT

public:
    // `help` opens the manual page of the sampling dialogs.
    TDialog16(SampleTable& table, std::function<void()> help, QWidget* parent = nullptr);
    ~TDialog16() override;

    [[nodiscard]] QListWidget* list() const { return list_; }
    [[nodiscard]] bool timerRunning() const { return timer_ != 0; }
    // What one tick of the timer does (public for tests).
    void tick();

protected:
    void timerEvent(QTimerEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void done(int result) override;
    void showEvent(QShowEvent* event) override;

private:
    [[nodiscard]] bool atBottom() const;
    void followNewest(bool wasAtBottom);
    void addLine(const std::string& line);
    void catchUp();
    void clearData();
    void stopTimer();

    SampleTable& table_;
    Cp932Text text_;  // decodes the fields' bytes for the list
    QListWidget* list_ = nullptr;
    std::int32_t listed_ = 0;  // rows 0 .. listed_ - 1 are in the list
    std::uint32_t clears_ = 0;  // the table's clears when the list was last emptied
    int timer_ = 0;
};

} // namespace kestrane
