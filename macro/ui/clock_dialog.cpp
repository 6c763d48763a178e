#include "macro/ui/clock_dialog.h"

#include "macro/macro_dialog_rules.h"
#include "widgets/dialog_buttons.h"
#include "widgets/dialog_ids.h"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace kestrane {

TDialog22::TDialog22(SettingsRecord& settings, QWidget* parent) : QDialog(parent), settings_(settings)
{
    setObjectName(QString::fromLatin1(dialog_id::MacroClock));
    setWindowTitle(QCoreApplication::translate("ClockDialog", "マクロ実行クロック"));
    setModal(true);

    auto* group = new QGroupBox(QCoreApplication::translate("ClockDialog", "マクロ命令１処理の時間間隔"), this);
    auto* grid = new QGridLayout(group);
    // Exclusive by hand: a button group would not allow the state where none is checked.
    const std::optional<int> current = macroClockButtonFor(settings_.macroClockMs);
    int i = 0;
    for (const MacroClockChoice& c : kMacroClockChoices) {
        auto* b = new QRadioButton(QCoreApplication::translate("MacroText", c.text), group);
        b->setObjectName(QString::number(c.id));
        b->setAutoExclusive(false);
        b->setChecked(current && *current == c.id);
        connect(b, &QRadioButton::toggled, this, [this, b](bool on) {
            if (on)
                for (QRadioButton* other : buttons_)
                    if (other != b)
                        other->setChecked(false);
        });
        grid->addWidget(b, i % 4, i / 4);
        buttons_.push_back(b);
        ++i;
    }

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(dialogButtons(this, {.acceptText = QStringLiteral("OK"), .onAccept = [this] { onOk(); }}).row);
}

void TDialog22::onOk()
{
    std::optional<int> checked;
    for (QRadioButton* b : buttons_)
        if (b->isChecked())
            checked = b->objectName().toInt();
    settings_.macroClockMs = macroClockAfterOk(checked);
    accept();
}

} // namespace kestrane
