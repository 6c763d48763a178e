#include "settings/ui/display_settings_dialogs.h"

#include "widgets/dialog_ids.h"
#include "settings/display_settings.h"
#include "settings/ui/dialog_parts.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace kestrane {

namespace {

std::string text(const QLineEdit* e) { return e->text().toStdString(); }

} // namespace

int checkedRadioId(const std::map<int, QRadioButton*>& radios)
{
    for (const auto& [id, radio] : radios)
        if (radio->isChecked())
            return id;
    return 0;
}

// ---- TDialog5 ----------------------------------------------------------------------------

TDialog5::TDialog5(SettingsRecord& record, MessageBoxFn message, ManualAtPage manual, QWidget* parent)
    : QDialog(parent), record_(record), message_(std::move(message))
{
    setObjectName(QString::fromLatin1(dialog_id::Display));
    setWindowTitle(QCoreApplication::translate("DisplaySettingsDialogs", "表示設定"));
    setModal(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QCoreApplication::translate("DisplaySettingsDialogs", "受信文字の表示設定"), this));
    const std::pair<int, const char*> entries[] = {
        {501, QT_TRANSLATE_NOOP("Kestrane", "ASC(アスキー文字）")}, {502, QT_TRANSLATE_NOOP("Kestrane", "ＨＥＸ（１６進表示）")}, {503, QT_TRANSLATE_NOOP("Kestrane", "時間付ASC表示")}, {504, QT_TRANSLATE_NOOP("Kestrane", "I/O付きASC表示")}};
    for (const auto& [id, label] : entries) {
        QRadioButton* r = idRadio(id, qs(label), this);
        radios_[id] = r;
        layout->addWidget(r);
    }
    radios_.at(504)->setEnabled(false);
    if (const int current = displayModeRadio(record_.displayMode); current != 0)
        radios_.at(current)->setChecked(true);
    layout->addLayout(dialogButtons(this, okCancelHelp([this] { onOk(); }, manualAt(manual, 30))).row);
}

void TDialog5::onOk()
{
    const DisplayModeChoice choice = chooseDisplayMode(record_.displayMode, checkedRadioId(radios_));
    if (choice.warnTimeStamps && message_)
        message_(qs(kTimeStampsInBufferText), QMessageBox::Ok, QMessageBox::NoIcon);
    record_.displayMode = choice.mode;
    accept();
}

// ---- TDialog7 ----------------------------------------------------------------------------

TDialog7::TDialog7(SettingsRecord& record, MessageBoxFn message, ManualAtPage manual, QWidget* parent)
    : QDialog(parent), record_(record), message_(std::move(message))
{
    setObjectName(QString::fromLatin1(dialog_id::PlSettings));
    setWindowTitle(QStringLiteral("PL Setting"));
    setModal(true);

    fastAtStart_ = idCheck(329, QCoreApplication::translate("DisplaySettingsDialogs", "立ち上げ時高速表示にする"), this);

    auto* lowSpeed = new QGroupBox(QCoreApplication::translate("DisplaySettingsDialogs", "低速表示設定"), this);
    lowSpeed->setObjectName(QStringLiteral("101"));
    baseClock_ = idEdit(402, 9, lowSpeed);
    trafficCount_ = idEdit(404, 3, lowSpeed);
    fullRedisplay_ = idCheck(306, QCoreApplication::translate("DisplaySettingsDialogs", "全画面再表示"), lowSpeed);
    idleFactor_ = idEdit(401, 9, lowSpeed);
    idleCount_ = idEdit(403, 3, lowSpeed);
    autoScroll_ = idCheck(326, QCoreApplication::translate("DisplaySettingsDialogs", "自動でスクロールさせる"), lowSpeed);
    auto* grid = new QGridLayout(lowSpeed);
    grid->addWidget(idLabel(603, QCoreApplication::translate("DisplaySettingsDialogs", "基本設定"), lowSpeed), 0, 0, 1, 3);
    grid->addWidget(new QLabel(QCoreApplication::translate("DisplaySettingsDialogs", "ベースクロック"), lowSpeed), 1, 0);
    grid->addWidget(baseClock_, 1, 1);
    grid->addWidget(idLabel(606, QStringLiteral("mSEC"), lowSpeed), 1, 2);
    grid->addWidget(new QLabel(QCoreApplication::translate("DisplaySettingsDialogs", "送受信後表示設定"), lowSpeed), 2, 0, 1, 3);
    grid->addWidget(new QLabel(QCoreApplication::translate("DisplaySettingsDialogs", "表示回数"), lowSpeed), 3, 0);
    grid->addWidget(trafficCount_, 3, 1);
    grid->addWidget(fullRedisplay_, 3, 2);
    grid->addWidget(new QLabel(QCoreApplication::translate("DisplaySettingsDialogs", "非送受信待機後再表示設定"), lowSpeed), 4, 0, 1, 3);
    grid->addWidget(new QLabel(QCoreApplication::translate("DisplaySettingsDialogs", "時間ｸﾛｯｸ×"), lowSpeed), 5, 0);
    grid->addWidget(idleFactor_, 5, 1);
    grid->addWidget(new QLabel(QCoreApplication::translate("DisplaySettingsDialogs", "表示回数"), lowSpeed), 6, 0);
    grid->addWidget(idleCount_, 6, 1);
    grid->addWidget(autoScroll_, 7, 0, 1, 3);

    bufferSize_ = idEdit(412, 3, this);
    auto* page = new QHBoxLayout;
    page->addWidget(idLabel(611, QCoreApplication::translate("DisplaySettingsDialogs", "ページサイズ"), this));
    page->addWidget(idLabel(601, QCoreApplication::translate("DisplaySettingsDialogs", "Buffer Size ６０×"), this));
    page->addWidget(bufferSize_);
    page->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fastAtStart_);
    layout->addWidget(lowSpeed);
    layout->addLayout(page);
    layout->addLayout(dialogButtons(this, okCancelHelp([this] { onOk(); }, manualAt(manual, 63))).row);

    const PlControls c = plControlsFor(record_);
    fastAtStart_->setChecked(c.fastDisplayAtStart);
    fullRedisplay_->setChecked(c.fullRedisplay);
    autoScroll_->setChecked(c.autoScroll);
    baseClock_->setText(qs(c.baseClockMs));
    trafficCount_->setText(qs(c.trafficDisplayCount));
    idleFactor_->setText(qs(c.idleClockFactor));
    idleCount_->setText(qs(c.idleRedisplayCount));
    bufferSize_->setText(qs(c.bufferSize));
}

void TDialog7::onOk()
{
    PlControls c;
    c.fastDisplayAtStart = fastAtStart_->isChecked();
    c.fullRedisplay = fullRedisplay_->isChecked();
    c.autoScroll = autoScroll_->isChecked();
    c.baseClockMs = text(baseClock_);
    c.trafficDisplayCount = text(trafficCount_);
    c.idleClockFactor = text(idleFactor_);
    c.idleRedisplayCount = text(idleCount_);
    c.bufferSize = text(bufferSize_);
    for (const BufferSizeNotice notice : applyPlControls(record_, c))
        if (message_)
            message_(qs(bufferSizeNoticeText(notice)), QMessageBox::Ok, QMessageBox::NoIcon);
    accept();
}

// ---- TDialog14 ---------------------------------------------------------------------------

TDialog14::TDialog14(Settings& settings, ManualAtPage manual, QWidget* parent) : QDialog(parent), settings_(settings)
{
    setObjectName(QString::fromLatin1(dialog_id::StartupSize));
    setWindowTitle(QCoreApplication::translate("DisplaySettingsDialogs", "起動時の画面サイズ"));
    setModal(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QCoreApplication::translate("DisplaySettingsDialogs", "起動時の画面サイズの設定"), this));
    const std::pair<int, const char*> entries[] = {{501, "640*480"},   {502, QT_TRANSLATE_NOOP("Kestrane", "670*510（標準）")},
                                                   {503, "800*600"},   {504, "1024*768"},
                                                   {509, "1280*1024"}, {510, QT_TRANSLATE_NOOP("Kestrane", "最大画面サイズ")}};
    for (const auto& [id, label] : entries) {
        QRadioButton* r = idRadio(id, qs(label), this);
        radios_[id] = r;
        layout->addWidget(r);
    }
    if (const int current = startupSizeRadio(settings_.startupSizeCode); current != 0)
        radios_.at(current)->setChecked(true);
    layout->addLayout(dialogButtons(this, okCancelHelp([this] { onOk(); }, manualAt(manual, 62))).row);
}

void TDialog14::onOk()
{
    settings_.startupSizeCode = startupSizeCodeFor(checkedRadioId(radios_));
    accept();
}

} // namespace kestrane
