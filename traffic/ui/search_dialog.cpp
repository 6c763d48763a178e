#include "traffic/ui/search_dialog.h"

#include "widgets/dialog_ids.h"
#include "text/cp932.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <utility>

namespace kestrane {

TSearchDialog::TSearchDialog(const QString& text, SearchFn search, QWidget* parent)
    : QDialog(parent), search_(std::move(search))
{
    setObjectName(QString::fromLatin1(dialog_id::Search));
    setWindowTitle(QCoreApplication::translate("SearchDialog", "検索"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);

    edit_ = new QLineEdit(text, this);
    edit_->setObjectName(QStringLiteral("401"));
    edit_->setMaxLength(static_cast<int>(kSearchTextSize));
    edit_->setMinimumWidth(320);

    auto* ascii = new QPushButton(QCoreApplication::translate("SearchDialog", "ASC検索"), this);
    ascii->setObjectName(QStringLiteral("201"));
    ascii->setDefault(true);
    auto* hex = new QPushButton(QCoreApplication::translate("SearchDialog", "HEX検索"), this);
    hex->setObjectName(QStringLiteral("217"));
    connect(ascii, &QPushButton::clicked, this, [this] { run(SearchKind::Ascii); });
    connect(hex, &QPushButton::clicked, this, [this] { run(SearchKind::Hex); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ascii);
    buttons->addWidget(hex);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(edit_);
    layout->addLayout(buttons);
}

void TSearchDialog::run(SearchKind kind)
{
    if (search_)
        search_(toCp932(edit_->text()), kind);
    close();
}

} // namespace kestrane
