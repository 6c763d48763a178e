#include "sending/ui/text_transfer_progress.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrane {

namespace {

// 102400 as "102,400".
QString grouped(std::uint64_t n)
{
    QString digits = QString::number(static_cast<qulonglong>(n));
    for (qsizetype i = digits.size() - 3; i > 0; i -= 3)
        digits.insert(i, QLatin1Char(','));
    return digits;
}

} // namespace

QString transferProgressText(std::uint64_t sent, std::uint64_t size)
{
    return QCoreApplication::translate("TextTransferProgress", "%1 / %2 バイト").arg(grouped(sent), grouped(size));
}

TextTransferProgress::TextTransferProgress(int channel, const QString& fileName, std::function<void()> cancel,
                                           QWidget* parent)
    : QDialog(parent), cancel_(std::move(cancel))
{
    setObjectName(QStringLiteral("textTransfer%1").arg(channel));
    setWindowTitle(QCoreApplication::translate("TextTransferProgress", "Txtﾌｧｲﾙ転送 CH%1").arg(channel));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);

    auto* file = new QLabel(fileName, this);
    file->setObjectName(QStringLiteral("file"));
    bar_ = new QProgressBar(this);
    bar_->setObjectName(QStringLiteral("bar"));
    bar_->setRange(0, 1000);
    bar_->setValue(0);
    bar_->setTextVisible(true);
    text_ = new QLabel(this);
    text_->setObjectName(QStringLiteral("progress"));
    text_->setWordWrap(true);  // an ending message is longer than the progress line
    button_ = new QPushButton(QCoreApplication::translate("TextTransferProgress", "中止"), this);
    button_->setObjectName(QStringLiteral("cancel"));
    connect(button_, &QPushButton::clicked, this, &QWidget::close);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(button_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(file);
    layout->addWidget(bar_);
    layout->addWidget(text_);
    layout->addLayout(buttons);
    setMinimumWidth(360);
}

void TextTransferProgress::setProgress(std::uint64_t sent, std::uint64_t size)
{
    bar_->setValue(size == 0 ? 0 : static_cast<int>(std::min<std::uint64_t>(sent, size) * 1000 / size));
    text_->setText(transferProgressText(sent, size));
}

void TextTransferProgress::showEnded(const QString& text)
{
    running_ = false;
    text_->setText(text);
    button_->setText(QCoreApplication::translate("TextTransferProgress", "閉じる"));
    // Grow the window when the wrapped message needs more lines than it has room for.
    layout()->activate();
    const int needed = layout()->totalHeightForWidth(width());
    if (needed > height())
        resize(width(), needed);
}

void TextTransferProgress::finish()
{
    running_ = false;
    close();
}

QString TextTransferProgress::progressText() const
{
    return text_->text();
}

void TextTransferProgress::userCancel()
{
    if (!running_)
        return;
    running_ = false;
    if (cancel_)
        cancel_();
}

void TextTransferProgress::closeEvent(QCloseEvent* event)
{
    userCancel();
    event->accept();
}

void TextTransferProgress::reject()
{
    close();
}

} // namespace kestrane
