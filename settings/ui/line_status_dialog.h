// Dialog 717 "状態表示" (TDialog17 for CH1, TDialog17a for CH2): a channel's error flags, hold
// reasons, queue counts and modem inputs as lamps and numbers, sampled by its own timer, with the
// eight line-control buttons. Dialog 25 "ＩＮ入力表示（ＣＨ１・CH2）" (TDialog25): the modem inputs
// of both channels. All modeless; each deletes itself when closed.
#pragma once

#include "settings/line_status.h"

#include <QBasicTimer>
#include <QDialog>

#include <map>

class QLabel;
class QLineEdit;

namespace kestrane {

class Channels;
class Lamp;

class LineStatusDialog : public QDialog {
    Q_OBJECT
public:
    LineStatusDialog(Channels& channels, LineStatusMemory& memory, int channel, QWidget* parent);

    // Takes one sample and shows it.
    void sampleNow();
    [[nodiscard]] bool timerActive() const { return timer_.isActive(); }
    [[nodiscard]] int timerPeriodMs() const { return timer_.isActive() ? periodMs_ : 0; }
    [[nodiscard]] int samplesTaken() const { return samples_; }
    [[nodiscard]] Lamp* lamp(int labelId) const;

protected:
    void showEvent(QShowEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void startTimer1(int periodMs);
    void onAutomatic();
    void onManual();

    LineStatusProbe probe_;
    Channels& channels_;
    QLabel* device_ = nullptr;  // the channel's lost device, or its remote line
    QLabel* latency_ = nullptr;  // whether the driver holds low latency
    QLabel* refused_ = nullptr;  // a line control the device refused
    QBasicTimer timer_;
    int periodMs_ = 0;
    bool timerStarted_ = false;
    int samples_ = 0;
    std::map<int, Lamp*> lamps_;
    QLineEdit* period_ = nullptr;
    QLabel* state_ = nullptr;
    QLabel* holdState_ = nullptr;
    QLabel* inQueue_ = nullptr;
    QLabel* outQueue_ = nullptr;
};

class TDialog17 : public LineStatusDialog {
    Q_OBJECT
public:
    TDialog17(Channels& channels, LineStatusMemory& memory, QWidget* parent = nullptr)
        : LineStatusDialog(channels, memory, 1, parent)
    {
    }
};

class TDialog17a : public LineStatusDialog {
    Q_OBJECT
public:
    TDialog17a(Channels& channels, LineStatusMemory& memory, QWidget* parent = nullptr)
        : LineStatusDialog(channels, memory, 2, parent)
    {
    }
};

class TDialog25 : public QDialog {
    Q_OBJECT
public:
    TDialog25(Channels& channels, QWidget* parent = nullptr);

    void sampleNow();
    [[nodiscard]] bool timerActive() const { return timer_.isActive(); }
    [[nodiscard]] int samplesTaken() const { return samples_; }
    [[nodiscard]] Lamp* lamp(int labelId) const;

protected:
    void showEvent(QShowEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    Channels& channels_;
    QBasicTimer timer_;
    bool timerStarted_ = false;
    int samples_ = 0;
    std::map<int, Lamp*> lamps_;
};

} // namespace kestrane
