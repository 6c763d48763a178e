#include "sampling/ui/sampling_settings_dialog.h"

#include "widgets/dialog_buttons.h"
#include "widgets/dialog_ids.h"
#include "sampling/sampling_settings.h"

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

TDialog15::TDialog15(SamplingSettings& settings, std::function<void()> help, QWidget* parent)
    : QDialog(parent), message(kestraneMessageBox(this)), settings_(settings)
{
    setObjectName(QString::fromLatin1(dialog_id::SamplingSettings));
    setWindowTitle(QCoreApplication::translate("SamplingSettingsDialog", "サンプリング設定画面"));
    setModal(true);

    auto* countGroup = new QGroupBox(QCoreApplication::translate("SamplingSettingsDialog", "取得数"), this);
    countGroup->setObjectName(QStringLiteral("361"));
    auto* countLayout = new QHBoxLayout(countGroup);
    static constexpr std::array<const char*, 6> radioIds = {"501", "502", "503", "504", "509", "510"};
    for (std::size_t n = 0; n < counts_.size(); ++n) {
        counts_[n] = new QRadioButton(QString::number(n), countGroup);
        counts_[n]->setObjectName(QLatin1String(radioIds[n]));
        countLayout->addWidget(counts_[n]);
    }
    QRadioButton* checked = counts_[static_cast<std::size_t>(samplingDialogCount(settings_))];
    checked->setChecked(true);
    checked->setFocus();  // the arrow keys start from the checked count

    auto* fields = new QGridLayout;
    auto* firstHead = new QLabel(QCoreApplication::translate("SamplingSettingsDialog", "先頭文字"), this);
    firstHead->setObjectName(QStringLiteral("601"));
    auto* lengthHead = new QLabel(QCoreApplication::translate("SamplingSettingsDialog", "文字数"), this);
    lengthHead->setObjectName(QStringLiteral("602"));
    fields->addWidget(firstHead, 0, 1);
    fields->addWidget(lengthHead, 0, 2);
    const SamplingEditTexts texts = samplingDialogTexts(settings_);
    for (std::size_t i = 0; i < edits_.size(); ++i) {
        edits_[i] = new QLineEdit(QString::fromStdString(texts[i]), this);
        edits_[i]->setObjectName(QString::number(403 + i));
        edits_[i]->setMaxLength(4);
        const int row = static_cast<int>(i / 2) + 1;
        if (i % 2 == 0)
            fields->addWidget(new QLabel(QString::number(row), this), row, 0);
        fields->addWidget(edits_[i], row, static_cast<int>(i % 2) + 1);
    }
    auto* ch1Only = new QLabel(QCoreApplication::translate("SamplingSettingsDialog", "この機能はＣＨ１のみ"), this);
    ch1Only->setObjectName(QStringLiteral("614"));

    const DialogButtons buttons = dialogButtons(this, okCancelHelp([this] { onOk(); }, [help = std::move(help)] {
                                                        if (help)
                                                            help();
                                                    }));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(countGroup);
    layout->addLayout(fields);
    layout->addWidget(ch1Only);
    layout->addLayout(buttons.row);
}

void TDialog15::onOk()
{
    SamplingDialogInput input;
    for (std::size_t n = 0; n < counts_.size(); ++n) {
        if (counts_[n]->isChecked())
            input.checkedCount = static_cast<int>(n);
    }
    for (std::size_t i = 0; i < edits_.size(); ++i)
        input.edits[i] = edits_[i]->text().toStdString();
    for (const SamplingCorrection c : applySamplingDialog(settings_, input)) {
        message(c == SamplingCorrection::PositionAbove300 ? QCoreApplication::translate("SamplingSettingsDialog", "先頭文字は300以下設定します。")
                                                          : QCoreApplication::translate("SamplingSettingsDialog", "文字数は20以下設定します。"),
                QMessageBox::Ok, QMessageBox::NoIcon);
    }
    accept();
}

} // namespace kestrane
