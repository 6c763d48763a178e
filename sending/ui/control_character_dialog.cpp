#include "sending/ui/control_character_dialog.h"

#include "widgets/dialog_ids.h"
#include "sending/send_buffer.h"
#include "sending/ui/transmit_retry.h"
#include "records/settings_records.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QPushButton>
#include <QRadioButton>

#include <array>

namespace kestrane {

namespace {

constexpr std::array<const char*, TDialog20::kButtons> kLabels = {
    "NULL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",  "TAB", "LF",
    "VT",   "FF",  "CR",  "SO",  "SI",  "DIE", "DC1", "DC2", "DC3", "DC4", "NAK",
    "SYN",  "ETB", "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US",  "SP",
};

constexpr int kRowsPerColumn = 6;

} // namespace

const char* TDialog20::label(int k)
{
    return k >= 0 && k < kButtons ? kLabels[static_cast<std::size_t>(k)] : "";
}

TDialog20::TDialog20(SendDialogServices services, QWidget* parent)
    : QDialog(parent), services_(std::move(services))
{
    setObjectName(QString::fromLatin1(dialog_id::ControlCharacters));
    setWindowTitle(QCoreApplication::translate("ControlCharacterDialog", "制御文字送信"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);

    // Columns of six in id order; the channel buttons below the last column.
    auto* grid = new QGridLayout(this);
    for (int k = 0; k < kButtons; ++k) {
        auto* b = new QPushButton(QString::fromLatin1(kLabels[static_cast<std::size_t>(k)]), this);
        b->setObjectName(QString::number(1001 + k));
        b->setAutoDefault(false);
        const auto byte = static_cast<std::uint8_t>(k);
        connect(b, &QPushButton::clicked, this, [this, byte] { send(byte); });
        grid->addWidget(b, k % kRowsPerColumn, k / kRowsPerColumn);
    }
    const int lastColumn = (kButtons - 1) / kRowsPerColumn;
    const int firstFreeRow = (kButtons - 1) % kRowsPerColumn + 1;
    ch1_ = new QRadioButton(QStringLiteral("CH1"), this);
    ch1_->setObjectName(QStringLiteral("101"));
    ch2_ = new QRadioButton(QStringLiteral("CH2"), this);
    ch2_->setObjectName(QStringLiteral("102"));
    ch1_->setChecked(true);
    const bool ch2InUse = services_.settings->ch2Mode != Ch2Mode::NotUsed;
    ch1_->setEnabled(ch2InUse);
    ch2_->setEnabled(ch2InUse);
    grid->addWidget(ch1_, firstFreeRow, lastColumn);
    grid->addWidget(ch2_, firstFreeRow + 1, lastColumn);
}

void TDialog20::send(std::uint8_t byte)
{
    SendState& state = *services_.sendState;
    state.sendBuffer.bytes[0] = byte;
    state.sendBuffer.count = 1;
    transmitWithRetry(services_.transmit, ch2_->isChecked() ? 2 : 1, state.sendBuffer.frame(), services_.message);
}

} // namespace kestrane
