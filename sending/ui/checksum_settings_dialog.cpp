#include "sending/ui/checksum_settings_dialog.h"

#include "widgets/dialog_buttons.h"
#include "widgets/dialog_ids.h"
#include "sending/checksum_settings.h"
#include "sending/send_buffer.h"
#include "widgets/language.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QString>
#include <QVBoxLayout>

#include <string>

namespace kestrane {

TDialog24::TDialog24(SettingsRecord& settings, QWidget* parent)
    : QDialog(parent)
    , settings_(settings)
{
    setObjectName(QString::fromLatin1(dialog_id::ChecksumSettings));
    setWindowTitle(QCoreApplication::translate("ChecksumSettingsDialog", "チェックサム設定"));
    setModal(true);

    auto* formGroup = new QGroupBox(QCoreApplication::translate("ChecksumSettingsDialog", "出力の文字形式"), this);
    formGroup->setObjectName(QStringLiteral("366"));
    oneByte_ = new QRadioButton(QCoreApplication::translate("ChecksumSettingsDialog", "HEXで１文字"), formGroup);
    oneByte_->setObjectName(QStringLiteral("501"));
    twoDigits_ = new QRadioButton(QCoreApplication::translate("ChecksumSettingsDialog", "ASCで２文字"), formGroup);
    twoDigits_->setObjectName(QStringLiteral("502"));
    auto* formLayout = new QVBoxLayout(formGroup);
    formLayout->addWidget(oneByte_);
    formLayout->addWidget(twoDigits_);
    // An unknown stored form leaves both buttons unchecked, and OK then keeps it.
    oneByte_->setChecked(settings_.checksumOutputForm == kChecksumOneByte);
    twoDigits_->setChecked(settings_.checksumOutputForm == kChecksumTwoDigits);

    auto* methodGroup = new QGroupBox(QCoreApplication::translate("ChecksumSettingsDialog", "計算方法"), this);
    methodGroup->setObjectName(QStringLiteral("365"));
    method_ = new QComboBox(methodGroup);
    method_->setObjectName(QStringLiteral("253"));
    method_->setEditable(true);
    // A typed text is only read by OK; it never becomes an entry.
    method_->setInsertPolicy(QComboBox::NoInsert);
    for (const std::string_view name : kChecksumMethodNames)
        method_->addItem(tableText(name));
    const std::int32_t current = settings_.checksumMethod;
    method_->setCurrentIndex(current >= 0 && current < method_->count() ? current : -1);
    auto* methodLayout = new QVBoxLayout(methodGroup);
    methodLayout->addWidget(method_);
    methodLayout->addStretch();

    auto* groups = new QHBoxLayout;
    groups->addWidget(formGroup);
    groups->addWidget(methodGroup);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(groups);
    layout->addLayout(dialogButtons(this, {.acceptText = QStringLiteral("OK"), .onAccept = [this] { onOk(); }}).row);
}

void TDialog24::onOk()
{
    std::string text = method_->currentText().left(kChecksumMethodTextMax).toStdString();
    // The record keeps the method's own (Japanese) name whatever language shows it.
    for (const std::string_view name : kChecksumMethodNames)
        if (method_->currentText() == tableText(name))
            text = name;
    applyChecksumDialog(settings_, {text, oneByte_->isChecked(), twoDigits_->isChecked()});
    accept();
}

void runChecksumSettingsDialog(SettingsRecord& settings, QWidget* parent)
{
    TDialog24 dialog(settings, parent);
    dialog.exec();
}

} // namespace kestrane
