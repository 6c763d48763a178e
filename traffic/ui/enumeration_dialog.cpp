#include "traffic/ui/enumeration_dialog.h"

#include "widgets/language.h"

#include "widgets/dialog_ids.h"
#include "text/cp932.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <utility>

namespace kestrane {

TEnumerationDialog::TEnumerationDialog(std::vector<std::uint8_t> bytes, QWidget* parent)
    : QDialog(parent), bytes_(std::move(bytes)), mode_(initialEnumerationMode(bytes_))
{
    setObjectName(QString::fromLatin1(dialog_id::Enumeration));

    text_ = new QPlainTextEdit(this);
    text_->setObjectName(QStringLiteral("enumerationText"));
    text_->setReadOnly(true);  // a view of the bytes; the text stays selectable for copying
    text_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    text_->setWordWrapMode(QTextOption::WrapAnywhere);
    text_->setMinimumSize(560, 120);

    auto* cycle = new QPushButton(QCoreApplication::translate("EnumerationDialog", "切替"), this);
    cycle->setObjectName(QStringLiteral("216"));
    cycle->setAutoDefault(false);
    connect(cycle, &QPushButton::clicked, this, [this] {
        mode_ = nextEnumerationMode(mode_);
        render();
    });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cycle);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_, 1);
    layout->addLayout(buttons);

    render();
}

QString TEnumerationDialog::text() const { return text_->toPlainText(); }

void TEnumerationDialog::render()
{
    const std::string_view caption = enumerationCaption(mode_);
    setWindowTitle(tableText(caption));
    const std::string rendering = renderEnumeration(bytes_, mode_);
    text_->setPlainText(fromCp932(QByteArray(rendering.data(), static_cast<qsizetype>(rendering.size()))));
}

} // namespace kestrane
