#include "settings/ui/port_config_dialog.h"

#include "settings/ui/dialog_parts.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrane {

namespace {

QComboBox* namedCombo(const char* name, QWidget* parent)
{
    auto* c = new QComboBox(parent);
    c->setObjectName(QString::fromLatin1(name));
    return c;
}

// Selects the entry of `value`; a value the list does not offer (a record from elsewhere) is
// added as its number, so OK keeps it rather than silently changing it.
void selectData(QComboBox* c, int value)
{
    int at = c->findData(value);
    if (at < 0) {
        c->addItem(QString::number(value), value);
        at = c->count() - 1;
    }
    c->setCurrentIndex(at);
}

} // namespace

TPortConfigDialog::TPortConfigDialog(int comNumber, const PortConfig& initial, MessageBoxFn message, ManualAtPage manual,
                                     QWidget* parent)
    : QDialog(parent), message_(std::move(message)), config_(initial)
{
    setObjectName(QStringLiteral("portConfig"));
    setWindowTitle(QCoreApplication::translate("PortConfigDialog", "COM%1のプロパティ").arg(comNumber));
    setModal(true);

    baud_ = namedCombo("baudRate", this);
    baud_->setEditable(true);
    baud_->setInsertPolicy(QComboBox::NoInsert);
    for (std::uint32_t rate : kStandardBaudRates)
        baud_->addItem(QString::number(rate));
    baud_->lineEdit()->setMaxLength(10);

    dataBits_ = namedCombo("byteSize", this);
    for (int bits : {5, 6, 7, 8})
        dataBits_->addItem(QString::number(bits), bits);

    parity_ = namedCombo("parity", this);
    parity_->addItem(QCoreApplication::translate("PortConfigDialog", "なし"), NOPARITY);
    parity_->addItem(QCoreApplication::translate("PortConfigDialog", "奇数"), ODDPARITY);
    parity_->addItem(QCoreApplication::translate("PortConfigDialog", "偶数"), EVENPARITY);
    parity_->addItem(QCoreApplication::translate("PortConfigDialog", "マーク"), MARKPARITY);
    parity_->addItem(QCoreApplication::translate("PortConfigDialog", "スペース"), SPACEPARITY);

    stopBits_ = namedCombo("stopBits", this);
    stopBits_->addItem(QStringLiteral("1"), ONESTOPBIT);
    stopBits_->addItem(QStringLiteral("1.5"), ONE5STOPBITS);
    stopBits_->addItem(QStringLiteral("2"), TWOSTOPBITS);

    flow_ = namedCombo("flowControl", this);
    flow_->addItem(QCoreApplication::translate("PortConfigDialog", "なし"), 0);
    flow_->addItem(QStringLiteral("Xon / Xoff"), 1);
    flow_->addItem(QCoreApplication::translate("PortConfigDialog", "ハードウェア"), 2);

    auto* form = new QFormLayout;
    form->addRow(QCoreApplication::translate("PortConfigDialog", "ビット/秒(&B):"), baud_);
    form->addRow(QCoreApplication::translate("PortConfigDialog", "データ ビット(&D):"), dataBits_);
    form->addRow(QCoreApplication::translate("PortConfigDialog", "パリティ(&P):"), parity_);
    form->addRow(QCoreApplication::translate("PortConfigDialog", "ストップ ビット(&S):"), stopBits_);
    form->addRow(QCoreApplication::translate("PortConfigDialog", "フロー制御(&F):"), flow_);

    auto* defaults = new QPushButton(QCoreApplication::translate("PortConfigDialog", "既定値に戻す(&R)"), this);
    defaults->setObjectName(QStringLiteral("defaults"));
    defaults->setAutoDefault(false);
    DialogButtonsSpec spec = okCancelHelp([this] { onOk(); }, manualAt(manual, kPortConfigHelpPage));
    spec.closeText = QCoreApplication::translate("PortConfigDialog", "キャンセル");
    const DialogButtons buttons = dialogButtons(this, std::move(spec));
    buttons.accept->setObjectName(QStringLiteral("ok"));  // the system's dialog has no control ids
    buttons.close->setObjectName(QStringLiteral("cancel"));
    buttons.row->insertWidget(0, defaults);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons.row);

    showConfig(initial);
    connect(defaults, &QPushButton::clicked, this, [this] { showConfig(PortConfig{}); });
}

void TPortConfigDialog::showConfig(const PortConfig& c)
{
    baud_->setEditText(QString::number(c.baudRate));
    selectData(dataBits_, c.byteSize);
    selectData(parity_, c.parity);
    selectData(stopBits_, c.stopBits);
    selectData(flow_, c.flowControl);
}

void TPortConfigDialog::onOk()
{
    std::uint32_t rate = 0;
    if (!parseBaudRate(baud_->currentText().toStdString(), rate)) {
        if (message_)
            message_(qs(kBaudRateWrongText), QMessageBox::Ok, QMessageBox::Warning);
        baud_->setFocus();
        baud_->lineEdit()->selectAll();
        return;
    }
    config_.baudRate = rate;
    config_.byteSize = static_cast<std::uint8_t>(dataBits_->currentData().toInt());
    config_.parity = static_cast<std::uint8_t>(parity_->currentData().toInt());
    config_.stopBits = static_cast<std::uint8_t>(stopBits_->currentData().toInt());
    config_.flowControl = flow_->currentData().toInt();
    accept();
}

} // namespace kestrane
