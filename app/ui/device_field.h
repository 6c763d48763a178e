// The status bar's device field: hears the channels' device events (a lost port, a watched
// device that reappeared) and automatic logging that cannot write, through socket notifiers,
// lets the channels handle them, and shows the result. Nothing runs while nothing happens. Its context menu turns automatic
// reconnection on or off (kept in ports.conf, not in the settings files).
#pragma once

#include <QLabel>

#include <cstdint>
#include <filesystem>

class QSocketNotifier;

namespace kestrane {

class AppCore;

class DeviceField : public QLabel {
    Q_OBJECT
public:
    DeviceField(AppCore& core, QWidget* parent = nullptr);

    // Shows the channels' device statuses anew if they changed (opens and closes by commands).
    void refresh();
    [[nodiscard]] bool warning() const { return warning_; }

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void handleEvents();
    void show(bool force);

    AppCore& core_;
    QSocketNotifier* lossNotifier_ = nullptr;
    QSocketNotifier* watchNotifier_ = nullptr;
    unsigned shownVersion_ = 0;
    std::uint32_t shownLogVersion_ = 0;
    bool warning_ = false;
};

} // namespace kestrane
