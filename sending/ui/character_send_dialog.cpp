#include "sending/ui/character_send_dialog.h"

#include "widgets/cp932_length_validator.h"
#include "widgets/dialog_buttons.h"
#include "widgets/dialog_ids.h"
#include "sending/ui/checksum_settings_dialog.h"
#include "text/cp932.h"
#include "sending/fixed_strings.h"
#include "sending/ui/send_preview_view.h"
#include "sending/ui/transmit_retry.h"
#include "widgets/language.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace kestrane {

namespace {

// The input line takes at most 511 bytes of code page 932, whatever the characters.
QByteArray bytesOf(std::string_view s)
{
    return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}

// A list entry: the text shown, the exact bytes kept beside it.
void addEntry(QListWidget* list, const QByteArray& bytes)
{
    auto* item = new QListWidgetItem(fromCp932(bytes), list);
    item->setData(Qt::UserRole, bytes);
}

} // namespace

CharacterSendDialog::CharacterSendDialog(const Kind& kind, CharacterSendMemory& memory, SendDialogServices services,
                                         QWidget* parent)
    : QDialog(parent), memory_(memory), services_(std::move(services))
{
    setObjectName(QString::fromLatin1(kind.id));
    setWindowTitle(QCoreApplication::translate("CharacterSendDialog", "文字送信Diagram"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);

    // The line and the lists.
    auto* inputLabel = new QLabel(QStringLiteral("Input Character"), this);
    input_ = new QLineEdit(this);
    input_->setObjectName(QStringLiteral("input"));
    input_->setMaxLength(static_cast<int>(SendText::kMaxChars));
    input_->setValidator(new Cp932LengthValidator(static_cast<int>(SendText::kMaxChars), input_));
    input_->setMinimumWidth(kind.inputWidth);
    inputLabel->setBuddy(input_);

    auto* historyLabel = new QLabel(QStringLiteral("Sendding History"), this);
    history_ = new QListWidget(this);
    history_->setObjectName(QStringLiteral("history"));
    history_->setSortingEnabled(false);
    onExplicitPick(history_, this, [this](QListWidgetItem* item) { pick(item); });

    auto* lists = new QVBoxLayout;
    lists->addWidget(historyLabel);
    lists->addWidget(history_);
    if (kind.fixedStrings) {
        auto* fixedLabel = new QLabel(QStringLiteral("Setting Character"), this);
        fixed_ = new QListWidget(this);
        fixed_->setObjectName(QStringLiteral("fixed"));
        fixed_->setSortingEnabled(false);
        onExplicitPick(fixed_, this, [this](QListWidgetItem* item) { pick(item); });
        lists->addWidget(fixedLabel);
        lists->addWidget(fixed_);
    }

    // The decoration: four switches, three character edits.
    auto* frameGroup = new QGroupBox(this);
    auto* grid = new QGridLayout(frameGroup);
    static constexpr int kCheckIds[4] = {301, 302, 303, 304};
    static constexpr int kEditIds[3] = {402, 403, 404};
    static constexpr int kEditRow[3] = {0, 1, 3};  // start, stop, end: the checksum has no character
    for (int i = 0; i < 4; ++i) {
        checks_[i] = new QCheckBox(tableText(kind.checkLabels[i]), frameGroup);
        checks_[i]->setObjectName(QString::number(kCheckIds[i]));
        grid->addWidget(checks_[i], i, 0);
    }
    for (int i = 0; i < 3; ++i) {
        chars_[i] = new QLineEdit(frameGroup);
        chars_[i]->setObjectName(QString::number(kEditIds[i]));
        chars_[i]->setMaxLength(3);
        chars_[i]->setMaximumWidth(48);
        grid->addWidget(chars_[i], kEditRow[i], 1);
        grid->addWidget(new QLabel(QStringLiteral(" hex"), frameGroup), kEditRow[i], 2);
    }

    ch1_ = new QRadioButton(QStringLiteral("CH1"), this);
    ch1_->setObjectName(QStringLiteral("501"));
    ch2_ = new QRadioButton(QStringLiteral("CH2"), this);
    ch2_->setObjectName(QStringLiteral("502"));
    const bool ch2InUse = services_.settings->ch2Mode != Ch2Mode::NotUsed;
    ch1_->setEnabled(ch2InUse);
    ch2_->setEnabled(ch2InUse);
    auto* channels = new QHBoxLayout;
    channels->addWidget(ch1_);
    channels->addWidget(ch2_);
    channels->addStretch();

    auto* side = new QVBoxLayout;
    side->addWidget(frameGroup);
    side->addLayout(channels);
    side->addStretch();

    // The buttons.
    auto* sendHex = idButton(201, QCoreApplication::translate("CharacterSendDialog", "送信"), this);
    sendHex->setAutoDefault(true);
    sendHex->setDefault(true);  // Enter in the line sends it
    auto* sendAsc = idButton(216, QCoreApplication::translate("CharacterSendDialog", "ASC送信"), this);
    auto* details = idButton(kind.detailsId, QCoreApplication::translate("CharacterSendDialog", "詳細設定"), this);
    auto* ascii = idButton(204, QCoreApplication::translate("CharacterSendDialog", "ＡＳＣＩＩ"), this);
    auto* close = idButton(kind.closeId, QCoreApplication::translate("CharacterSendDialog", "閉じる"), this);
    connect(sendHex, &QPushButton::clicked, this, [this] { send(TextForm::HexNotation); });
    connect(sendAsc, &QPushButton::clicked, this, [this] { send(TextForm::Asc); });
    connect(details, &QPushButton::clicked, this, [this] {
        runChecksumSettingsDialog(*services_.settings, this);
        updatePreview();
    });
    connect(ascii, &QPushButton::clicked, this, [this] {
        if (!services_.startCharacterTable || !services_.startCharacterTable())
            services_.message(tableText(kCharacterTableMissingText), QMessageBox::Ok, QMessageBox::NoIcon);
    });
    connect(close, &QPushButton::clicked, this, &QWidget::close);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(sendHex);
    buttons->addWidget(sendAsc);
    buttons->addWidget(details);
    buttons->addWidget(ascii);
    if (kind.helpPage > 0) {
        auto* help = idButton(203, QCoreApplication::translate("CharacterSendDialog", "ﾍﾙﾌﾟ"), this);
        connect(help, &QPushButton::clicked, this, manualAt(services_.manualAtPage, kind.helpPage));
        buttons->addWidget(help);
    }
    buttons->addStretch();
    buttons->addWidget(close);

    auto* inputRow = new QHBoxLayout;
    inputRow->addWidget(inputLabel);
    inputRow->addWidget(input_, 1);
    auto* middle = new QHBoxLayout;
    middle->addLayout(lists, 1);
    middle->addLayout(side);
    preview_ = new SendPreviewView(this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(inputRow);
    layout->addWidget(preview_);
    layout->addLayout(middle, 1);
    layout->addLayout(buttons);

    // Opening: the record from the settings with CH1 selected, the history, the fixed strings.
    memory_.record = recordFromSettings(*services_.settings);
    showRecord();
    refillHistory();
    if (fixed_) {
        for (const std::string& s : loadFixedStrings(services_.startDirectory))
            addEntry(fixed_, bytesOf(s));
    }
    // What the buttons would send follows every change of the line and of the decoration.
    connect(input_, &QLineEdit::textChanged, this, [this] { updatePreview(); });
    for (QCheckBox* check : checks_)
        connect(check, &QCheckBox::toggled, this, [this] { updatePreview(); });
    for (QLineEdit* edit : chars_)
        connect(edit, &QLineEdit::textChanged, this, [this] { updatePreview(); });
    updatePreview();
    input_->setFocus();
}

void CharacterSendDialog::updatePreview()
{
    const QByteArray line = lineBytes();
    const std::string_view sendable =
        sendableLine(std::string_view(line.constData(), static_cast<std::size_t>(line.size())));
    preview_->showFrames(QByteArray(sendable.data(), static_cast<qsizetype>(sendable.size())),
                         frameOptionsFor(controlsRecord(), *services_.settings),
                         {{QCoreApplication::translate("CharacterSendDialog", "送信"), TextForm::HexNotation}, {QCoreApplication::translate("CharacterSendDialog", "ASC送信"), TextForm::Asc}});
}

void CharacterSendDialog::changeEvent(QEvent* event)
{
    // The checksum settings may have changed elsewhere (the menu's dialog 724) meanwhile.
    if (event->type() == QEvent::ActivationChange)
        updatePreview();
    QDialog::changeEvent(event);
}

void CharacterSendDialog::showRecord()
{
    const CharacterSendRecord& r = memory_.record;
    const std::int16_t flags[4] = {r.startOn, r.stopOn, r.checksumOn, r.endOn};
    for (int i = 0; i < 4; ++i)
        checks_[i]->setChecked(flags[i] != 0);
    const std::array<char, 4>* texts[3] = {&r.startCharHex, &r.stopCharHex, &r.endCharHex};
    for (int i = 0; i < 3; ++i)
        chars_[i]->setText(fromCp932(bytesOf(fieldText(*texts[i]))));
    ch1_->setChecked(r.ch1Selected != 0);
    ch2_->setChecked(r.ch2Selected != 0);
}

void CharacterSendDialog::readControls() { memory_.record = controlsRecord(); }

CharacterSendRecord CharacterSendDialog::controlsRecord() const
{
    CharacterSendRecord r = memory_.record;
    std::int16_t* flags[4] = {&r.startOn, &r.stopOn, &r.checksumOn, &r.endOn};
    for (int i = 0; i < 4; ++i)
        *flags[i] = checks_[i]->isChecked() ? 1 : 0;
    std::array<char, 4>* texts[3] = {&r.startCharHex, &r.stopCharHex, &r.endCharHex};
    for (int i = 0; i < 3; ++i) {
        const QByteArray bytes = toCp932(chars_[i]->text());
        *texts[i] = characterField(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    }
    r.ch1Selected = ch1_->isChecked() ? 1 : 0;
    r.ch2Selected = ch2_->isChecked() ? 1 : 0;
    return r;
}

void CharacterSendDialog::refillHistory()
{
    const QSignalBlocker quiet(history_);  // refilling picks nothing
    history_->clear();
    for (const std::string& text : memory_.history.texts())
        addEntry(history_, bytesOf(text));
}

void CharacterSendDialog::pick(QListWidgetItem* item)
{
    if (!item)
        return;
    pickedBytes_ = item->data(Qt::UserRole).toByteArray();
    pickedText_ = item->text();
    input_->setText(pickedText_);
}

QByteArray CharacterSendDialog::lineBytes() const
{
    const QString text = input_->text();
    if (!pickedBytes_.isNull() && text == pickedText_)
        return pickedBytes_;
    return toCp932(text);
}

void CharacterSendDialog::send(TextForm form)
{
    readControls();
    const QByteArray line = lineBytes();
    SendState& state = *services_.sendState;
    if (prepareCharacterSend(state, memory_.history, memory_.record, *services_.settings,
                             std::string_view(line.constData(), static_cast<std::size_t>(line.size())), form))
        refillHistory();
    transmitWithRetry(services_.transmit, selectedChannel(memory_.record), state.sendBuffer.frame(),
                      services_.message);
    // Whatever the result: the decoration choices go into the settings.
    storeRecord(memory_.record, *services_.settings);
}

void CharacterSendDialog::closeEvent(QCloseEvent* event)
{
    readControls();
    storeRecord(memory_.record, *services_.settings);
    event->accept();
}

void CharacterSendDialog::reject()
{
    close();  // Esc closes like "閉じる", storing the choices
}

// ---- the two kinds ----------------------------------------------------------------------------

TRsinputsend1::TRsinputsend1(CharacterSendMemory& memory, SendDialogServices services, QWidget* parent)
    : CharacterSendDialog(Kind{dialog_id::TypedSend, {QT_TRANSLATE_NOOP("Kestrane", "ｽﾀｰﾄ文字"), QT_TRANSLATE_NOOP("Kestrane", "ｽﾄｯﾌﾟ文字"), QT_TRANSLATE_NOOP("Kestrane", "ﾁｪｯｸｻﾑ"), QT_TRANSLATE_NOOP("Kestrane", "ｴﾝﾄﾞ文字")}, 202, 219, 37, false, 320},
                          memory, std::move(services), parent)
{
}

TRsinputsend::TRsinputsend(CharacterSendMemory& memory, SendDialogServices services, QWidget* parent)
    : CharacterSendDialog(Kind{dialog_id::LongStringSend, {QT_TRANSLATE_NOOP("Kestrane", "ｽﾀｰﾄ"), QT_TRANSLATE_NOOP("Kestrane", "ｽﾄｯﾌﾟ"), QT_TRANSLATE_NOOP("Kestrane", "ﾁｪｯｸ"), QT_TRANSLATE_NOOP("Kestrane", "ｴﾝﾄﾞ")}, 219, 226, 0, true, 560},
                          memory, std::move(services), parent)
{
}

} // namespace kestrane
