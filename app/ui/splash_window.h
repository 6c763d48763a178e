// The splash window shown while the start-up steps run: an image, a gauge and one line of text.
#pragma once

#include "app/startup_sequence.h"

#include <QWidget>

#include <functional>

class QEventLoop;
class QLabel;
class QProgressBar;

namespace kestrane {

class TSplashWindow : public QWidget, public StartupView {
    Q_OBJECT
public:
    // `imagePath` is the splash image; when it cannot be read the splash shows without it.
    explicit TSplashWindow(const QString& imagePath, QWidget* parent = nullptr);

    void setGauge(int percent) override;
    void setText(const QString& text) override;
    void pause(int milliseconds) override;
    [[nodiscard]] bool interrupted() const override { return interrupted_; }
    void channelsOpening() override;
    // Ends a pause under way and every later one at once: the program is to end.
    void interrupt();
    // Told when the first channel is about to open.
    std::function<void()> onChannelsOpening;
    // Runs the event loop (without user input, as the pauses) until `done` holds, handling
    // the channels' device events as they come: the splash is painted while a line opens.
    void waitForChannels(Channels& channels, const std::function<bool()>& done) override;

    [[nodiscard]] int gauge() const;
    [[nodiscard]] QString text() const;

    // Pauses are skipped when false (tests); the texts and gauge still change in order.
    void setPausesEnabled(bool on) { pausesEnabled_ = on; }

private:
    QLabel* image_ = nullptr;
    QProgressBar* gauge_ = nullptr;
    QLabel* text_ = nullptr;
    bool pausesEnabled_ = true;
    bool interrupted_ = false;
    QEventLoop* pauseLoop_ = nullptr;  // the pause under way
};

} // namespace kestrane
