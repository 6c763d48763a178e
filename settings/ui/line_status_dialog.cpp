#include "settings/ui/line_status_dialog.h"

#include "comm/channel.h"
#include "comm/device_texts.h"
#include "widgets/dialog_ids.h"
#include "platform/remote_address.h"
#include "platform/system_reason.h"
#include "settings/ui/dialog_parts.h"
#include "settings/ui/lamp.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTimerEvent>
#include <QVBoxLayout>

namespace kestrane {

namespace {

// "閉じる" (221) alone at the right: the windows are modeless and close.
QHBoxLayout* closeRow(QDialog* dialog)
{
    return dialogButtons(dialog, {.closeText = QCoreApplication::translate("LineStatusDialog", "閉じる"), .onClose = [dialog] { dialog->close(); }, .closeId = 221})
        .row;
}

// A group of lamps, one row each: lamp, then its label.
template <std::size_t N>
QGroupBox* lampGroup(int id, const QString& title, const std::array<LampDef, N>& defs, std::map<int, Lamp*>& lamps,
                     QWidget* parent, QGridLayout** layoutOut = nullptr)
{
    auto* group = new QGroupBox(title, parent);
    group->setObjectName(QString::number(id));
    auto* grid = new QGridLayout(group);
    int row = 0;
    for (const LampDef& d : defs) {
        auto* lamp = new Lamp(group);
        lamp->setObjectName(QStringLiteral("lamp%1").arg(d.labelId));
        lamps[d.labelId] = lamp;
        grid->addWidget(lamp, row, 0);
        grid->addWidget(idLabel(d.labelId, qs(d.label), group), row, 1);
        ++row;
    }
    grid->setColumnStretch(1, 1);
    if (layoutOut)
        *layoutOut = grid;
    return group;
}

// A number on a white background (the queue counts).
QLabel* countLabel(int labelId, QWidget* parent)
{
    auto* l = new QLabel(parent);
    l->setObjectName(QStringLiteral("value%1").arg(labelId));
    l->setAutoFillBackground(true);
    QPalette p = l->palette();
    p.setColor(QPalette::Window, Qt::white);
    l->setPalette(p);
    l->setMinimumWidth(l->fontMetrics().horizontalAdvance(QString(19, QLatin1Char(' '))) + 8);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return l;
}

template <std::size_t N>
void showLamps(const std::array<LampDef, N>& defs, const std::map<int, Lamp*>& lamps, std::uint32_t bits,
               bool available = true)
{
    for (const LampDef& d : defs) {
        lamps.at(d.labelId)->setLit((bits & d.bit) != 0);
        lamps.at(d.labelId)->setAvailable(available);
    }
}

} // namespace

// ---- dialog 717 --------------------------------------------------------------------------

LineStatusDialog::LineStatusDialog(Channels& channels, LineStatusMemory& memory, int channel, QWidget* parent)
    : QDialog(parent), probe_(channels, memory, channel), channels_(channels)
{
    setObjectName(QString::fromLatin1(dialog_id::LineStatus));
    setWindowTitle(QCoreApplication::translate("LineStatusDialog", "状態表示"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);

    auto* title = idLabel(626, probe_.channel() == 1 ? QCoreApplication::translate("LineStatusDialog", "ＣＨ１の状態表示") : QCoreApplication::translate("LineStatusDialog", "ＣＨ２の状態表示"),
                          this);
    period_ = idEdit(421, 9, this);
    period_->setText(QStringLiteral("200"));
    period_->setMaximumWidth(80);
    auto* automatic = idButton(222, QCoreApplication::translate("LineStatusDialog", "自動"), this);
    auto* manual = idButton(223, QCoreApplication::translate("LineStatusDialog", "手動"), this);
    state_ = idLabel(625, qs(kAutomaticText), this);
    state_->setMinimumWidth(state_->fontMetrics().horizontalAdvance(qs(kManualText)) + 8);
    auto* sampling = new QHBoxLayout;
    sampling->addWidget(idLabel(623, QCoreApplication::translate("LineStatusDialog", "サンプリング設定"), this));
    sampling->addWidget(period_);
    sampling->addWidget(idLabel(624, QStringLiteral("mS"), this));
    sampling->addWidget(automatic);
    sampling->addWidget(manual);
    sampling->addWidget(state_);
    sampling->addStretch();

    QGroupBox* errors = lampGroup(362, QCoreApplication::translate("LineStatusDialog", "エラー表示"), kErrorLamps, lamps_, this);
    auto* reset = idButton(225, QStringLiteral("Reset"), this);
    auto* hold = idButton(224, QStringLiteral("Hold"), this);
    holdState_ = idLabel(627, qs(probe_.holdText()), this);
    holdState_->setMinimumWidth(holdState_->fontMetrics().horizontalAdvance(qs(kLiveText)) + 8);
    auto* holdRow = new QHBoxLayout;
    holdRow->addWidget(reset);
    holdRow->addWidget(hold);
    holdRow->addWidget(holdState_);
    auto* left = new QVBoxLayout;
    left->addWidget(errors);
    left->addLayout(holdRow);
    left->addStretch();

    QGridLayout* statusGrid = nullptr;
    QGroupBox* status = lampGroup(363, QCoreApplication::translate("LineStatusDialog", "状態表示"), kComStatLamps, lamps_, this, &statusGrid);
    inQueue_ = countLabel(620, status);
    outQueue_ = countLabel(622, status);
    const int row = statusGrid->rowCount();
    statusGrid->addWidget(idLabel(620, QCoreApplication::translate("LineStatusDialog", "受信BFデータ数"), status), row, 0, 1, 2);
    statusGrid->addWidget(inQueue_, row, 2);
    statusGrid->addWidget(idLabel(622, QCoreApplication::translate("LineStatusDialog", "送信BFデータ数"), status), row + 1, 0, 1, 2);
    statusGrid->addWidget(outQueue_, row + 1, 2);
    auto* middle = new QVBoxLayout;
    middle->addWidget(status);
    middle->addStretch();

    auto* output = new QGroupBox(QCoreApplication::translate("LineStatusDialog", "出力"), this);
    output->setObjectName(QStringLiteral("364"));
    auto* outputGrid = new QGridLayout(output);
    int at = 0;
    for (const LineControlButton& b : kLineControlButtons) {
        QPushButton* button = idButton(b.id, qs(b.label), output);
        outputGrid->addWidget(button, at / 2, at % 2);
        const int escape = b.escape;
        const QString label = qs(b.label).trimmed();
        connect(button, &QPushButton::clicked, this, [this, escape, label] {
            const int error = probe_.lineControl(escape);
            // Say what the device refused: a button that does nothing would look broken.
            refused_->setText(error == 0 ? QString()
                                         : QCoreApplication::translate("LineStatusDialog", "%1: このデバイスでは出来ません: %2")
                                               .arg(label, QString::fromStdString(systemReason(error))));
            refused_->setVisible(error != 0);
        });
        ++at;
    }
    QGroupBox* inputs = lampGroup(101, QCoreApplication::translate("LineStatusDialog", "入力"), kModemLamps, lamps_, this);
    auto* right = new QVBoxLayout;
    right->addWidget(output);
    right->addWidget(inputs);
    right->addStretch();

    auto* columns = new QHBoxLayout;
    columns->addLayout(left);
    columns->addLayout(middle);
    columns->addLayout(right);

    QHBoxLayout* bottom = closeRow(this);
    // Not a control of the dialog's resource: the status line tells a line control the device refused.
    refused_ = new QLabel(this);
    refused_->setObjectName(QStringLiteral("lineControlStatus"));
    refused_->hide();
    bottom->insertWidget(0, refused_, 1);

    // Not a control of the dialog's resource: says when the channel's device is gone, and names a
    // remote line.
    device_ = new QLabel(this);
    device_->setObjectName(QStringLiteral("deviceStatus"));
    device_->hide();

    // Not a control of the dialog's resource: whether the driver holds the low latency asked for.
    latency_ = new QLabel(this);
    latency_->setObjectName(QStringLiteral("lowLatencyStatus"));
    latency_->hide();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addWidget(device_);
    layout->addWidget(latency_);
    layout->addLayout(sampling);
    layout->addLayout(columns);
    layout->addLayout(bottom);

    connect(automatic, &QPushButton::clicked, this, [this] { onAutomatic(); });
    connect(manual, &QPushButton::clicked, this, [this] { onManual(); });
    connect(hold, &QPushButton::clicked, this, [this] {
        probe_.toggleHold();
        holdState_->setText(qs(probe_.holdText()));
    });
    connect(reset, &QPushButton::clicked, this, [this] {
        probe_.resetLatched();
        sampleNow();
    });
}

Lamp* LineStatusDialog::lamp(int labelId) const
{
    const auto it = lamps_.find(labelId);
    return it == lamps_.end() ? nullptr : it->second;
}

void LineStatusDialog::sampleNow()
{
    ++samples_;
    const LineStatusReading r = probe_.sample();
    showLamps(kErrorLamps, lamps_, r.errors);
    showLamps(kComStatLamps, lamps_, r.statusRead ? r.stat.flags : 0);
    // A device without modem lines (a pty, a raw TCP line, some adapters) reports none: its
    // lamps are neither on nor off.
    showLamps(kModemLamps, lamps_, r.modem, !r.portOpen || r.modemRead);
    // A closed port (or one that is gone) has no counts to show.
    inQueue_->setText(r.statusRead ? QString::number(r.stat.cbInQue) : QStringLiteral("---"));
    outQueue_->setText(r.statusRead ? QString::number(r.stat.cbOutQue) : QStringLiteral("---"));
    holdState_->setText(qs(probe_.holdText()));
    const DeviceStatus& d = channels_.device(probe_.channel());
    const bool lost = d.state == DeviceStatus::State::Lost;
    SerialPort* port = channels_.port(probe_.channel());
    const bool remote = port && looksRemote(d.path);
    if (lost) {
        device_->setText(QCoreApplication::translate("LineStatusDialog", "デバイス切断（%1）: %2　%3")
                             .arg(QString::fromStdString(lossReasonText(d.lossReason, false)),
                                  QString::fromStdString(d.path),
                                  d.awaiting ? QCoreApplication::translate("LineStatusDialog", "再接続待ち") : QCoreApplication::translate("LineStatusDialog", "再接続なし")));
    } else if (remote) {
        // A line served on another machine: named, with what its server has not confirmed (an
        // answer may come after the window opened, so it is read at every sample).
        const std::uint32_t unconfirmed = port->unconfirmedSettings();
        QString text = QCoreApplication::translate("LineStatusDialog", "リモート回線: %1").arg(QString::fromStdString(d.path));
        if (unconfirmed & kSettingNoLineControl)
            text += QCoreApplication::translate("LineStatusDialog", "（回線制御なし）");
        else if (unconfirmed)
            text += QCoreApplication::translate("LineStatusDialog", "（未確認: %1）").arg(QString::fromStdString(unconfirmedSettingNames(unconfirmed)));
        device_->setText(text);
    }
    const QString style = lost ? QStringLiteral("QLabel { background-color: #ffc857; color: #000000; padding: 2px; }")
                               : QStringLiteral("QLabel { padding: 2px; }");
    if (device_->styleSheet() != style)
        device_->setStyleSheet(style);
    device_->setVisible(lost || remote);
    const QString latency = QCoreApplication::translate("LineStatusDialog", lowLatencyText(r.lowLatency));
    if (latency_->text() != latency)
        latency_->setText(latency);
    latency_->setVisible(!latency.isEmpty());
}

void LineStatusDialog::startTimer1(int periodMs)
{
    periodMs_ = periodMs;
    timer_.start(periodMs, Qt::PreciseTimer, this);
}

// Shown (the first time, and again when restored from an icon): the window is drawn anew and
// takes a sample. Repaints of single controls (a label that changed) take none, or the
// window's own updates would keep it sampling.
void LineStatusDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!timerStarted_) {
        // The first time the window is shown: 200 ms, whatever the edit shows.
        timerStarted_ = true;
        startTimer1(kLineStatusFirstPeriodMs);
    }
    sampleNow();
}

void LineStatusDialog::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == timer_.timerId())
        sampleNow();
    else
        QDialog::timerEvent(event);
}

void LineStatusDialog::onAutomatic()
{
    timer_.stop();
    const int period = samplingPeriodMs(period_->text().toStdString());
    state_->setText(qs(kAutomaticText));
    startTimer1(period);
    sampleNow();
}

void LineStatusDialog::onManual()
{
    timer_.stop();
    state_->setText(qs(kManualText));
    sampleNow();
}

// ---- dialog 25 ---------------------------------------------------------------------------

TDialog25::TDialog25(Channels& channels, QWidget* parent) : QDialog(parent), channels_(channels)
{
    setObjectName(QString::fromLatin1(dialog_id::InputSignals));
    setWindowTitle(QCoreApplication::translate("LineStatusDialog", "ＩＮ入力表示（ＣＨ１・CH2）"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);

    auto* columns = new QHBoxLayout;
    columns->addWidget(lampGroup(101, QCoreApplication::translate("LineStatusDialog", "CH1入力"), kModemLamps, lamps_, this));
    columns->addWidget(lampGroup(106, QCoreApplication::translate("LineStatusDialog", "CH2入力"), kCh2ModemLamps, lamps_, this));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addLayout(closeRow(this));
}

Lamp* TDialog25::lamp(int labelId) const
{
    const auto it = lamps_.find(labelId);
    return it == lamps_.end() ? nullptr : it->second;
}

void TDialog25::sampleNow()
{
    ++samples_;
    std::uint32_t ch1 = 0, ch2 = 0;
    const bool read1 = readModemInputs(channels_, 1, ch1) || !channels_.port(1);
    const bool read2 = readModemInputs(channels_, 2, ch2) || !channels_.port(2);
    showLamps(kModemLamps, lamps_, ch1, read1);
    showLamps(kCh2ModemLamps, lamps_, ch2, read2);
}

void TDialog25::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!timerStarted_) {
        timerStarted_ = true;
        timer_.start(kLineStatusFirstPeriodMs, Qt::PreciseTimer, this);
    }
    sampleNow();
}

void TDialog25::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == timer_.timerId())
        sampleNow();
    else
        QDialog::timerEvent(event);
}

} // namespace kestrane
