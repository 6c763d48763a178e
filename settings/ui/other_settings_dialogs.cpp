#include "settings/ui/other_settings_dialogs.h"

#include "widgets/cp932_length_validator.h"
#include "widgets/dialog_ids.h"
#include "settings/display_settings.h"
#include "settings/ui/dialog_parts.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrane {

namespace {

// Program and file names are kept as the file system spells them.
std::string fileName(const QLineEdit* e)
{
    const QByteArray bytes = QFile::encodeName(e->text());
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

QString fromFileName(const std::string& name)
{
    return QFile::decodeName(QByteArray(name.data(), static_cast<qsizetype>(name.size())));
}

} // namespace

// ---- TDialog13 ---------------------------------------------------------------------------

TDialog13::TDialog13(Settings& settings, QWidget* parent) : QDialog(parent), settings_(settings)
{
    setObjectName(QString::fromLatin1(dialog_id::OtherSettings));
    setWindowTitle(QCoreApplication::translate("OtherSettingsDialogs", "その他の設定"));
    setModal(true);

    noExitQuery_ = idCheck(305, QCoreApplication::translate("OtherSettingsDialogs", "終了時に「保存したか？」を問い合わせない"), this);
    fromSystem_ = idCheck(101, QCoreApplication::translate("OtherSettingsDialogs", "COM番号はレジストリから取得する"), this);
    showSent_ = idCheck(102, QCoreApplication::translate("OtherSettingsDialogs", "テキスト送信時、送信文字を画面に表示する"), this);
    lowerCase_ = idCheck(103, QCoreApplication::translate("OtherSettingsDialogs", "チェックサム（ASC）の英文字を小文字にする"), this);
    reader_ = idEdit(104, 259, this);
    pageCommand_ = idEdit(108, 127, this);
    // The fields store code page 932: a name is held to what fits them.
    reader_->setValidator(new Cp932LengthValidator(259, reader_));
    pageCommand_->setValidator(new Cp932LengthValidator(127, pageCommand_));
    const DialogButtons buttons = dialogButtons(this, {.acceptText = QStringLiteral("OK"), .onAccept = [this] { onOk(); }});

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(noExitQuery_);
    layout->addWidget(fromSystem_);
    layout->addWidget(showSent_);
    layout->addWidget(lowerCase_);
    layout->addWidget(idLabel(105, QCoreApplication::translate("OtherSettingsDialogs", "PDFの参照アプリの設定"), this));
    layout->addWidget(reader_);
    layout->addWidget(idLabel(107, QCoreApplication::translate("OtherSettingsDialogs", "PDFのページ参照コマンド"), this));
    layout->addWidget(pageCommand_);
    layout->addLayout(buttons.row);

    const OtherControls c = otherControlsFor(settings_);
    noExitQuery_->setChecked(c.noExitSaveQuery);
    fromSystem_->setChecked(c.comNumbersFromSystem);
    showSent_->setChecked(c.showSentText);
    lowerCase_->setChecked(c.checksumLowerCase);
    reader_->setText(fromFileName(c.pdfReaderPath));
    pageCommand_->setText(fromFileName(c.pdfPageCommand));
}

void TDialog13::onOk()
{
    OtherControls c;
    c.noExitSaveQuery = noExitQuery_->isChecked();
    c.comNumbersFromSystem = fromSystem_->isChecked();
    c.showSentText = showSent_->isChecked();
    c.checksumLowerCase = lowerCase_->isChecked();
    c.pdfReaderPath = fileName(reader_);
    c.pdfPageCommand = fileName(pageCommand_);
    applyOtherControls(settings_, c);
    accept();
}

// ---- TDialog19 ---------------------------------------------------------------------------

TDialog19::TDialog19(SamplingSettings& sampling, ManualAtPage manual, QWidget* parent)
    : QDialog(parent), sampling_(sampling)
{
    setObjectName(QString::fromLatin1(dialog_id::AutoLog));
    setWindowTitle(QCoreApplication::translate("OtherSettingsDialogs", "自動ロギング設定"));
    setModal(true);

    on_ = idCheck(324, QCoreApplication::translate("OtherSettingsDialogs", "自動ロギング設定にする"), this);
    prefix_ = idEdit(401, 31, this);
    prefix_->setValidator(new Cp932LengthValidator(31, prefix_));
    const DialogButtons buttons = dialogButtons(this, okCancelHelp([this] { onOk(); }, manualAt(std::move(manual), 59)));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(on_);
    layout->addWidget(idLabel(604, QCoreApplication::translate("OtherSettingsDialogs", "保存するファイルの先頭文字"), this));
    layout->addWidget(prefix_);
    layout->addWidget(idLabel(633, QCoreApplication::translate("OtherSettingsDialogs", "拡張子は「．LOG」です"), this));
    layout->addWidget(idLabel(634, QCoreApplication::translate("OtherSettingsDialogs", "保存先はLOGのフォルダ内"), this));
    layout->addLayout(buttons.row);

    const AutoLogControls c = autoLogControlsFor(sampling_);
    on_->setChecked(c.autoLogging);
    prefix_->setText(fromFileName(c.prefix));
}

void TDialog19::onOk()
{
    applyAutoLogControls(sampling_, AutoLogControls{on_->isChecked(), fileName(prefix_)});
    accept();
}

} // namespace kestrane
