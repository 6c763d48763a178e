#include "sending/ui/fixed_string_dialog.h"

#include "widgets/dialog_buttons.h"
#include "widgets/dialog_ids.h"
#include "records/settings_records.h"
#include "sending/fixed_strings.h"
#include "sending/ui/character_send_dialog.h"
#include "sending/ui/send_preview_view.h"
#include "sending/ui/transmit_retry.h"
#include "text/cp932.h"
#include "widgets/language.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace kestrane {

TRsinputsend2::TRsinputsend2(SendDialogServices services, QWidget* parent)
    : QDialog(parent), services_(std::move(services))
{
    setObjectName(QString::fromLatin1(dialog_id::FixedStringSend));
    setWindowTitle(QCoreApplication::translate("FixedStringDialog", "文字送信Diagram"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);

    auto* listLabel = new QLabel(QStringLiteral("Setting Character"), this);
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("list"));
    list_->setSortingEnabled(false);
    list_->setMinimumWidth(360);
    // Selecting a line puts it into the send text; nothing is sent.
    onExplicitPick(list_, this, [this](QListWidgetItem* item) {
        const QByteArray bytes = item->data(Qt::UserRole).toByteArray();
        services_.sendState->sendText.assign(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    });
    preview_ = new SendPreviewView(this);
    connect(list_, &QListWidget::itemSelectionChanged, this, [this] { updatePreview(); });
    for (const std::string& s : loadFixedStrings(services_.startDirectory)) {
        const QByteArray bytes(s.data(), static_cast<qsizetype>(s.size()));
        auto* item = new QListWidgetItem(fromCp932(bytes), list_);
        item->setData(Qt::UserRole, bytes);
    }

    ch1_ = new QRadioButton(QStringLiteral("ch1"), this);
    ch1_->setObjectName(QStringLiteral("501"));
    ch2_ = new QRadioButton(QStringLiteral("ch2"), this);
    ch2_->setObjectName(QStringLiteral("502"));
    ch1_->setChecked(true);
    const bool ch2InUse = services_.settings->ch2Mode != Ch2Mode::NotUsed;
    ch1_->setEnabled(ch2InUse);
    ch2_->setEnabled(ch2InUse);

    auto* sendHex = idButton(205, QCoreApplication::translate("FixedStringDialog", "送信"), this);
    auto* sendAsc = idButton(217, QCoreApplication::translate("FixedStringDialog", "ASCで送信"), this);
    auto* edit = idButton(216, QCoreApplication::translate("FixedStringDialog", "編集"), this);
    // Created in the order they stand, so Tab goes down the column.
    auto* help = idButton(203, QCoreApplication::translate("FixedStringDialog", "ﾍﾙﾌﾟ"), this);
    auto* close = idButton(202, QCoreApplication::translate("FixedStringDialog", "閉じる"), this);
    connect(sendHex, &QPushButton::clicked, this, [this] { send(TextForm::HexNotation); });
    connect(sendAsc, &QPushButton::clicked, this, [this] { send(TextForm::Asc); });
    connect(edit, &QPushButton::clicked, this, [this] {
        if (!services_.editFixedStrings || !services_.editFixedStrings())
            services_.message(tableText(kEditorMissingText), QMessageBox::Ok, QMessageBox::NoIcon);
    });
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    connect(help, &QPushButton::clicked, this, manualAt(services_.manualAtPage, 39));

    auto* side = new QVBoxLayout;
    side->addWidget(ch1_);
    side->addWidget(ch2_);
    side->addSpacing(8);
    for (QPushButton* b : {sendHex, sendAsc, edit, help, close})
        side->addWidget(b);
    side->addStretch();
    auto* listColumn = new QVBoxLayout;
    listColumn->addWidget(listLabel);
    listColumn->addWidget(list_, 1);
    listColumn->addWidget(preview_);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(listColumn, 1);
    layout->addLayout(side);
    updatePreview();
}

void TRsinputsend2::updatePreview()
{
    // The selected line, as the send takes it (a row that is merely current sends nothing).
    const QList<QListWidgetItem*> selected = list_->selectedItems();
    if (selected.isEmpty()) {
        preview_->showNothing(QCoreApplication::translate("FixedStringDialog", "行を選ぶと、送信されるバイトがここに出ます。"));
        return;
    }
    // Sent as the send text holds it: at most 511 bytes, without decoration.
    const QByteArray bytes =
        selected.front()->data(Qt::UserRole).toByteArray().left(static_cast<qsizetype>(SendText::kMaxChars));
    preview_->showFrames(bytes, FrameOptions{},
                         {{QCoreApplication::translate("FixedStringDialog", "送信"), TextForm::HexNotation}, {QCoreApplication::translate("FixedStringDialog", "ASCで送信"), TextForm::Asc}});
}

int TRsinputsend2::channel() const
{
    return ch2_->isChecked() ? 2 : 1;
}

void TRsinputsend2::send(TextForm form)
{
    // The line selected here is what goes out, even when another sender used the send text
    // since it was selected; while no line is selected nothing is sent (a row that is merely
    // current because the list got focus is not selected).
    const QList<QListWidgetItem*> selected = list_->selectedItems();
    if (selected.isEmpty())
        return;
    QListWidgetItem* item = selected.front();
    SendState& state = *services_.sendState;
    const QByteArray bytes = item->data(Qt::UserRole).toByteArray();
    state.sendText.assign(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    state.sendBuffer.count = 0;
    const std::string_view text = state.sendText.view();
    if (!text.empty()) {
        if (form == TextForm::HexNotation)
            state.convertHexNotation(text, true, services_.settings->checksumMethod);
        else
            state.convertAsc(text, services_.settings->checksumMethod);
    }
    transmitWithRetry(services_.transmit, channel(), state.sendBuffer.frame(), services_.message);
}

} // namespace kestrane
