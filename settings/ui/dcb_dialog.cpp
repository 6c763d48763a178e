#include "settings/ui/dcb_dialog.h"

#include "comm/channel.h"
#include "records/channel_settings.h"
#include "widgets/dialog_ids.h"
#include "settings/ui/dialog_parts.h"

#include <QCheckBox>

#include <algorithm>
#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrane {

DcbDialog::DcbDialog(Channels& channels, Settings& settings, int channel, ManualAtPage manual, QWidget* parent)
    : QDialog(parent), channels_(channels), settings_(settings), channel_(channel == 2 ? 2 : 1)
{
    setObjectName(QString::fromLatin1(dialog_id::Dcb));
    setWindowTitle(QCoreApplication::translate("DcbDialog", "DCBの設定"));
    setModal(true);

    // Check boxes in one column, edits with their labels in two more, as in the table.
    auto* grid = new QGridLayout;
    int checkRow = 0;
    int editIndex = 0;
    for (const DcbControl& c : kDcbControls) {
        if (c.check) {
            QCheckBox* box = idCheck(c.id, qs(c.label), this);
            checks_[c.id] = box;
            grid->addWidget(box, checkRow++, 0);
        } else {
            QLineEdit* edit = idEdit(c.id, c.maxLength, this);
            edit->setMaximumWidth(c.maxLength <= 2 ? 40 : 90);
            edits_[c.id] = edit;
            auto* label = new QLabel(qs(c.label), this);
            const int column = 1 + (editIndex / 10) * 2;
            const int row = editIndex % 10;
            grid->addWidget(label, row, column, Qt::AlignRight);
            grid->addWidget(edit, row, column + 1);
            ++editIndex;
        }
    }

    auto* defaults = idButton(225, QCoreApplication::translate("DcbDialog", "初期状態"), this);
    auto* defaultsLabel = idLabel(627, qs(kDcbDefaultsLabel), this);
    const DialogButtons buttons =
        dialogButtons(this, okCancelHelp([this] { onOk(); }, manualAt(manual, channel_ == 1 ? 52 : 53)));
    buttons.row->insertWidget(0, defaults);
    buttons.row->insertWidget(1, defaultsLabel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons.row);

    // The port's present state, whatever the stores held.
    channels_.capture(channel_);
    fillFromStores();

    connect(defaults, &QPushButton::clicked, this, [this] { onDefaults(); });
}

Dcb& DcbDialog::dcbStore() { return channelLine(settings_.lineParams, channel_).dcb; }

CommTimeouts& DcbDialog::timeoutStore() { return channelLine(settings_.lineParams, channel_).timeouts; }

void DcbDialog::fillFromStores()
{
    const DcbControlValues v = dcbControlValues(dcbStore(), timeoutStore());
    for (const auto& [id, on] : v.checks)
        checks_.at(id)->setChecked(on);
    for (const auto& [id, text] : v.edits) {
        QLineEdit* edit = edits_.at(id);
        // fDummy2 has a one-character field; a larger value from the port is shown whole, so OK
        // does not change it behind the user's back.
        const auto control = std::find_if(kDcbControls.begin(), kDcbControls.end(),
                                          [id = id](const DcbControl& c) { return c.id == id; });
        edit->setMaxLength(std::max(control->maxLength, static_cast<int>(text.size())));
        edit->setText(qs(text));
    }
}

void DcbDialog::onOk()
{
    DcbControlValues v;
    for (const auto& [id, box] : checks_)
        v.checks[id] = box->isChecked();
    for (const auto& [id, edit] : edits_)
        v.edits[id] = edit->text().toStdString();
    readDcbControlValues(v, dcbStore(), timeoutStore());
    channels_.apply(channel_);  // the port keeps what it refuses; the command's summary reads it back
    accept();
}

void DcbDialog::onDefaults()
{
    applyLineDefaults(dcbStore());
    timeoutStore() = defaultTimeouts();
    channels_.apply(channel_);
    fillFromStores();
}

} // namespace kestrane
