#include "sampling/ui/sampling_view_dialog.h"

#include "widgets/dialog_buttons.h"
#include "widgets/dialog_ids.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTimerEvent>
#include <QVBoxLayout>

namespace kestrane {

TDialog16::TDialog16(SampleTable& table, std::function<void()> help, QWidget* parent)
    : QDialog(parent), table_(table), clears_(table.clears())
{
    setObjectName(QString::fromLatin1(dialog_id::SamplingView));
    setWindowTitle(QCoreApplication::translate("SamplingViewDialog", "サンプリング設定画面"));
    setModal(false);

    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("list"));
    list_->setSortingEnabled(false);
    list_->setUniformItemSizes(true);  // ten thousand rows stay quick to lay out
    list_->setMinimumSize(320, 240);

    auto* clear = idButton(216, QCoreApplication::translate("SamplingViewDialog", "データークリア"), this);
    connect(clear, &QPushButton::clicked, this, [this] { clearData(); });

    const DialogButtons buttons = dialogButtons(this, {.closeText = QCoreApplication::translate("SamplingViewDialog", "閉じる"),
                                                       .onClose = [this] { this->close(); },
                                                       .onHelp = [help = std::move(help)] {
                                                           if (help)
                                                               help();
                                                       },
                                                       .closeId = 217,
                                                       .helpId = 218,
                                                       .helpText = QCoreApplication::translate("SamplingViewDialog", "ヘルプ")});
    buttons.row->insertWidget(0, clear);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addLayout(buttons.row);

    catchUp();
    timer_ = startTimer(100);
}

void TDialog16::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    list_->scrollToBottom();
}

TDialog16::~TDialog16() = default;

// Keeps the newest row in sight unless the user scrolled up to read older ones.
void TDialog16::followNewest(bool wasAtBottom)
{
    if (wasAtBottom && list_->isVisible())
        list_->scrollToBottom();
}

bool TDialog16::atBottom() const
{
    const QScrollBar* bar = list_->verticalScrollBar();
    return bar->value() == bar->maximum();
}

void TDialog16::addLine(const std::string& line)
{
    list_->addItem(text_.decode(reinterpret_cast<const std::uint8_t*>(line.data()), static_cast<int>(line.size())));
}

// Lists the rows taken over so far that this view does not show yet.
void TDialog16::catchUp()
{
    const std::int32_t shown = table_.samplesShown();
    if (clears_ != table_.clears() || listed_ > shown) {  // cleared in another view
        clears_ = table_.clears();
        list_->clear();
        listed_ = 0;
    }
    if (listed_ >= shown)
        return;
    const bool follow = atBottom();
    const std::vector<std::string> lines = table_.shownLines(listed_);
    for (const std::string& line : lines)
        addLine(line);
    listed_ = shown;
    followNewest(follow);
}

void TDialog16::tick()
{
    if (listed_ != table_.samplesShown() || clears_ != table_.clears()) {
        catchUp();  // another view took rows over, or the table was cleared
        return;
    }
    if (const auto taken = table_.takeOver()) {
        const bool follow = atBottom();
        addLine(taken->line);
        listed_ = taken->row + 1;
        followNewest(follow);
    }
}

void TDialog16::clearData()
{
    table_.clear();
    clears_ = table_.clears();
    list_->clear();
    listed_ = 0;
}

void TDialog16::stopTimer()
{
    if (timer_ != 0) {
        killTimer(timer_);
        timer_ = 0;
    }
}

void TDialog16::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == timer_)
        tick();
    else
        QDialog::timerEvent(event);
}

void TDialog16::closeEvent(QCloseEvent* event)
{
    stopTimer();
    QDialog::closeEvent(event);
}

void TDialog16::done(int result)
{
    stopTimer();  // Escape closes the view too
    QDialog::done(result);
}

} // namespace kestrane
