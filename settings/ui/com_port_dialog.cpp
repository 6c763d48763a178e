#include "settings/ui/com_port_dialog.h"

#include "widgets/dialog_ids.h"
#include "text/cp932.h"
#include "settings/ui/dialog_parts.h"

#include <QCheckBox>
#include <QComboBox>
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

// The text of a port list as the dialog reads it: code page 932 bytes.
std::string listText(const QComboBox* list)
{
    const QByteArray bytes = toCp932(list->currentText());
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

QString infoText(const PortChoice& c)
{
    if (c.path.empty())
        return {};
    return c.description.empty() ? qs(c.path) : qs(c.path) + QStringLiteral("  ") + qs(c.description);
}

} // namespace

// ---- TDialog3 ----------------------------------------------------------------------------

TDialog3::TDialog3(SettingsRecord& record, PortEnumerator enumerate, MessageBoxFn message, ManualAtPage manual,
                   QWidget* parent)
    : QDialog(parent), record_(record), message_(std::move(message)), manual_(std::move(manual))
{
    setObjectName(QString::fromLatin1(dialog_id::ComPort));
    setWindowTitle(QStringLiteral("Com Port Setting"));
    setModal(true);

    auto* ch1Group = new QGroupBox(QCoreApplication::translate("ComPortDialog", "CH1ﾎﾟｰﾄ選択"), this);
    ch1Group->setObjectName(QStringLiteral("356"));
    ch1List_ = new QComboBox(ch1Group);
    ch1List_->setObjectName(QStringLiteral("251"));
    auto* ch1Detail = idButton(216, QCoreApplication::translate("ComPortDialog", "詳細設定"), ch1Group);
    ch1Info_ = new QLabel(ch1Group);
    ch1Info_->setObjectName(QStringLiteral("info251"));
    auto* ch1Layout = new QGridLayout(ch1Group);
    ch1Layout->addWidget(ch1List_, 0, 0);
    ch1Layout->addWidget(ch1Detail, 0, 1);
    ch1Layout->addWidget(ch1Info_, 1, 0, 1, 2);

    auto* ch2Group = new QGroupBox(QCoreApplication::translate("ComPortDialog", "CH2ﾎﾟｰﾄ選択"), this);
    ch2Group->setObjectName(QStringLiteral("366"));
    auto* ch2Label = new QLabel(QCoreApplication::translate("ComPortDialog", "CH２使用"), ch2Group);
    ch2Used_ = idCheck(327, QCoreApplication::translate("ComPortDialog", "有効"), ch2Group);
    ch2List_ = new QComboBox(ch2Group);
    ch2List_->setObjectName(QStringLiteral("252"));
    auto* ch2Detail = idButton(227, QCoreApplication::translate("ComPortDialog", "詳細設定"), ch2Group);
    ch2Info_ = new QLabel(ch2Group);
    ch2Info_->setObjectName(QStringLiteral("info252"));
    auto* ch2Layout = new QGridLayout(ch2Group);
    ch2Layout->addWidget(ch2Label, 0, 0);
    ch2Layout->addWidget(ch2Used_, 0, 1);
    ch2Layout->addWidget(ch2List_, 1, 0, 1, 2);
    ch2Layout->addWidget(ch2Detail, 1, 2);
    ch2Layout->addWidget(ch2Info_, 2, 0, 1, 3);

    auto* monitorGroup = new QGroupBox(QCoreApplication::translate("ComPortDialog", "ラインモニタ"), this);
    monitorGroup->setObjectName(QStringLiteral("367"));
    auto* monitorLabel = idLabel(635, QCoreApplication::translate("ComPortDialog", "モニタ機能"), monitorGroup);
    monitor_ = idCheck(321, QCoreApplication::translate("ComPortDialog", "有効"), monitorGroup);
    tConnection_ = idRadio(526, QCoreApplication::translate("ComPortDialog", "Ｔ接続で使用する"), monitorGroup);
    relay_ = idRadio(527, QCoreApplication::translate("ComPortDialog", "中継で使用する"), monitorGroup);
    auto* monitorLayout = new QGridLayout(monitorGroup);
    monitorLayout->addWidget(monitorLabel, 0, 0);
    monitorLayout->addWidget(monitor_, 0, 1);
    monitorLayout->addWidget(tConnection_, 1, 0, 1, 2);
    monitorLayout->addWidget(relay_, 2, 0, 1, 2);

    const DialogButtons buttons = dialogButtons(this, {.acceptText = QCoreApplication::translate("ComPortDialog", "登録"),
                                                       .onAccept = [this] { onStore(); },
                                                       .closeText = QCoreApplication::translate("ComPortDialog", "閉じる"),
                                                       .onHelp = manualAt(manual_, 49)});

    // Said when the system lists no port: what to try instead.
    auto* noPorts = new QLabel(qs(kNoSerialPortText), this);
    noPorts->setObjectName(QStringLiteral("noPorts"));
    noPorts->setWordWrap(true);
    noPorts->setTextInteractionFlags(Qt::TextSelectableByMouse);
    noPorts->hide();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(noPorts);
    layout->addWidget(ch1Group);
    layout->addWidget(ch2Group);
    layout->addWidget(monitorGroup);
    layout->addLayout(buttons.row);

    // The lists: the system's ports, or COM1 .. COM255.
    if (record_.comNumbersFromRegistry != 0 && enumerate) {
        PortEnumeration found = enumerate();
        choices_ = std::move(found.choices);
        noPorts->setVisible(choices_.empty());
        if (found.confNotWritten && message_)
            message_(qs(kPortsConfNotWrittenText), QMessageBox::Ok, QMessageBox::Warning);
    } else if (record_.comNumbersFromRegistry == 0) {
        choices_ = fixedPortChoices();
    }
    fill(ch1List_);
    fill(ch2List_);

    const ComPortControls controls = comPortControlsFor(record_);
    preset(ch1List_, controls.ch1Text);
    if (controls.ch2Used)
        preset(ch2List_, controls.ch2Text);
    else
        preset(ch2List_, {});
    ch2Used_->setChecked(controls.ch2Used);
    monitor_->setChecked(controls.monitorOn);
    relay_->setChecked(controls.relay);
    tConnection_->setChecked(!controls.relay);
    updateEnabling();
    updateInfo(ch1List_, ch1Info_);
    updateInfo(ch2List_, ch2Info_);

    connect(ch2Used_, &QCheckBox::toggled, this, [this] { updateEnabling(); });
    connect(monitor_, &QCheckBox::toggled, this, [this] { updateEnabling(); });
    connect(ch1List_, &QComboBox::currentTextChanged, this, [this] { updateInfo(ch1List_, ch1Info_); });
    connect(ch2List_, &QComboBox::currentTextChanged, this, [this] { updateInfo(ch2List_, ch2Info_); });
    connect(ch1Detail, &QPushButton::clicked, this, [this] { onDetail(1); });
    connect(ch2Detail, &QPushButton::clicked, this, [this] { onDetail(2); });
}

void TDialog3::fill(QComboBox* list)
{
    list->setEditable(true);
    list->setInsertPolicy(QComboBox::NoInsert);  // a typed text is only read, never listed
    list->setMaxVisibleItems(16);
    for (const PortChoice& c : choices_) {
        list->addItem(qs(c.text));
        if (const QString info = infoText(c); !info.isEmpty())
            list->setItemData(list->count() - 1, info, Qt::ToolTipRole);
    }
}

void TDialog3::preset(QComboBox* list, const std::string& text)
{
    const int at = text.empty() ? -1 : list->findText(qs(text), Qt::MatchExactly);
    list->setCurrentIndex(at);
    if (at < 0) {
        // Not in the list: shown as typed text, selected.
        list->setEditText(qs(text));
        list->lineEdit()->selectAll();
    }
}

void TDialog3::updateEnabling()
{
    const ComPortEnabling e = comPortEnabling(ch2Used_->isChecked(), monitor_->isChecked());
    ch2List_->setEnabled(e.ch2List);
    monitor_->setEnabled(e.monitor);
    tConnection_->setEnabled(e.radios);
    relay_->setEnabled(e.radios);
}

void TDialog3::updateInfo(QComboBox* list, QLabel* info)
{
    const QString text = list->currentText();
    for (const PortChoice& c : choices_) {
        if (qs(c.text) == text) {
            info->setText(infoText(c));
            return;
        }
    }
    info->clear();
}

void TDialog3::onStore()
{
    ComPortControls c;
    c.ch1Text = listText(ch1List_);
    c.ch2Used = ch2Used_->isChecked();
    c.ch2Text = listText(ch2List_);
    c.monitorOn = monitor_->isChecked();
    c.relay = relay_->isChecked();
    const ComPortCheck check = applyComPortControls(record_, c);
    switch (check) {
    case ComPortCheck::Stored:
        accept();
        return;
    case ComPortCheck::Ch1Wrong:
        message_(qs(kCh1PortWrongText), QMessageBox::Ok, QMessageBox::NoIcon);
        return;
    case ComPortCheck::Ch2Wrong:
    case ComPortCheck::Overlap:
        ch2Used_->setChecked(false);
        ch2List_->setCurrentIndex(-1);
        ch2List_->setEditText(QString());
        message_(qs(check == ComPortCheck::Overlap ? kPortsOverlapText : kCh2PortWrongText), QMessageBox::Ok,
                 QMessageBox::NoIcon);
        return;
    }
}

void TDialog3::onDetail(int channel)
{
    if (channel == 2 && !ch2Used_->isChecked()) {
        message_(qs(kEnableCh2FirstText), QMessageBox::Ok, QMessageBox::NoIcon);
        return;
    }
    TDialog18 detail(record_, channel, message_, manual_, this);
    detail.exec();
}

// ---- TDialog18 ---------------------------------------------------------------------------

TDialog18::TDialog18(SettingsRecord& record, int channel, MessageBoxFn message, ManualAtPage manual, QWidget* parent)
    : QDialog(parent), record_(record), channel_(channel == 2 ? 2 : 1), message_(std::move(message))
{
    setObjectName(QString::fromLatin1(dialog_id::PortDetails));
    setWindowTitle(QCoreApplication::translate("ComPortDialog", "詳細設定"));
    setModal(true);

    force52_ = idCheck(322, QCoreApplication::translate("ComPortDialog", "CommConfigDialogで構造体の大きさを強制的に52にする"), this);
    auto* gapLabel = idLabel(636, QCoreApplication::translate("ComPortDialog", "受信イベントから文字受信までの抜け時間設定（単位mS）"), this);
    gap_ = idEdit(402, 15, this);
    auto* maskGroup = new QGroupBox(QCoreApplication::translate("ComPortDialog", "受信イベントのマスク"), this);
    maskGroup->setObjectName(QStringLiteral("365"));
    rxChar_ = idCheck(327, QStringLiteral("EV_RXCHAR"), maskGroup);
    rxFlag_ = idCheck(328, QStringLiteral("EV_RXFLAG"), maskGroup);
    auto* maskLayout = new QHBoxLayout(maskGroup);
    maskLayout->addWidget(rxChar_);
    maskLayout->addWidget(rxFlag_);

    const DialogButtons buttons = dialogButtons(this, {.acceptText = QCoreApplication::translate("ComPortDialog", "登録"),
                                                       .onAccept = [this] { onStore(); },
                                                       .closeText = QCoreApplication::translate("ComPortDialog", "閉じる"),
                                                       .onClose = [this] { onClose(); },
                                                       .onHelp = manualAt(manual, 51)});

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(force52_);
    layout->addWidget(gapLabel);
    layout->addWidget(gap_);
    layout->addWidget(maskGroup);
    layout->addLayout(buttons.row);

    const DetailControls c = detailControlsFor(record_, channel_);
    force52_->setChecked(c.forceSize52);
    gap_->setText(qs(c.gapText));
    rxChar_->setChecked(c.rxChar);
    rxFlag_->setChecked(c.rxFlag);
    lastTakenWithoutEvent_ = !c.rxChar && !c.rxFlag;

}

DetailControls TDialog18::taken() const
{
    DetailControls c;
    c.forceSize52 = force52_->isChecked();
    c.gapText = gap_->text().toStdString();
    c.rxChar = rxChar_->isChecked();
    c.rxFlag = rxFlag_->isChecked();
    return c;
}

void TDialog18::onStore()
{
    const DetailControls c = taken();
    lastTakenWithoutEvent_ = !c.rxChar && !c.rxFlag;
    if (applyDetailControls(record_, channel_, c) == DetailCheck::NoReceiveEvent) {
        message_(qs(kNoReceiveEventText), QMessageBox::Ok, QMessageBox::NoIcon);
        return;
    }
    accept();
}

void TDialog18::onClose()
{
    if (lastTakenWithoutEvent_) {
        message_(qs(kNoReceiveEventText), QMessageBox::Ok, QMessageBox::NoIcon);
        return;
    }
    reject();
}

} // namespace kestrane
