#include "macro/ui/macro_dialog.h"

#include "macro/macro_dialog_rules.h"
#include "macro/ui/clock_dialog.h"
#include "widgets/dialog_buttons.h"
#include "widgets/dialog_ids.h"
#include "text/cp932.h"

#include <QCoreApplication>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace kestrane {

namespace {

// A text of the macro tables, in the language of this run.
QString u8(const char* text) { return QCoreApplication::translate("MacroText", text); }

QString pathText(const std::filesystem::path& p) { return QFile::decodeName(p.c_str()); }

QLabel* label(QWidget* parent, const QString& name, const QString& text)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    return l;
}

} // namespace

TMacrosend::TMacrosend(MacroDialogContext context, QWidget* parent)
    : QDialog(parent), context_(std::move(context))
{
    setObjectName(QString::fromLatin1(dialog_id::Macro));
    setWindowTitle(QCoreApplication::translate("MacroDialog", "Macro実行Diagram"));
    setModal(true);

    interpreter_ = std::make_unique<MacroInterpreter>(context_.memory, context_.send, context_.settings,
                                                      static_cast<MacroHost&>(*this), context_.traffic, context_.dio,
                                                      context_.clock);

    // --- run a chosen file ---
    auto* fileGroup = new QGroupBox(QCoreApplication::translate("MacroDialog", "ファイル名を選んで実行"), this);
    auto* open = idButton(211, QCoreApplication::translate("MacroDialog", "ファイルを開く"), fileGroup);
    fileLabel_ = label(fileGroup, QStringLiteral("639"), u8(macro_text::kNoFile));
    fileLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* runFile = idButton(201, QCoreApplication::translate("MacroDialog", "Macro実行"), fileGroup);
    auto* fileLayout = new QHBoxLayout(fileGroup);
    fileLayout->addWidget(open);
    fileLayout->addWidget(fileLabel_, 1);
    fileLayout->addWidget(runFile);

    // --- run a listed file ---
    auto* listGroup = new QGroupBox(QCoreApplication::translate("MacroDialog", "リストＢＯＸから選んで実行"), this);
    listBox_ = new QListWidget(listGroup);
    listBox_->setObjectName(QStringLiteral("list"));
    listBox_->setSortingEnabled(false);
    auto* add = idButton(213, QCoreApplication::translate("MacroDialog", "リスト追加"), listGroup);
    auto* remove = idButton(214, QCoreApplication::translate("MacroDialog", "リスト削除"), listGroup);
    auto* runList = idButton(212, QCoreApplication::translate("MacroDialog", "Macro実行"), listGroup);
    auto* listButtons = new QVBoxLayout;
    listButtons->addWidget(add);
    listButtons->addWidget(remove);
    listButtons->addStretch();
    listButtons->addWidget(runList);
    auto* listLayout = new QHBoxLayout(listGroup);
    listLayout->addWidget(listBox_, 1);
    listLayout->addLayout(listButtons);

    // --- state of the run ---
    counter_ = label(this, QStringLiteral("637"), QStringLiteral("00000000"));
    status_ = label(this, QStringLiteral("638"), u8(macro_text::kInitialStatus));
    line_ = label(this, QStringLiteral("line"), QString());
    notice_ = label(this, QStringLiteral("notice"), QString());
    notice_->setWordWrap(true);
    auto* stateLayout = new QHBoxLayout;
    stateLayout->addWidget(counter_);
    stateLayout->addWidget(status_);
    stateLayout->addWidget(line_);
    stateLayout->addStretch();

    // --- answers to the macro's waits ---
    input1_ = new QLineEdit(this);
    input1_->setObjectName(QStringLiteral("input1"));
    input1_->setMaxLength(kMacroInputMaxChars);
    input2_ = new QLineEdit(this);
    input2_->setObjectName(QStringLiteral("input2"));
    input2_->setMaxLength(kMacroInputMaxChars);
    auto* inputDone = idButton(210, QCoreApplication::translate("MacroDialog", "文字入力完了"), this);
    auto* inputs = new QGridLayout;
    inputs->addWidget(new QLabel(QStringLiteral("Input 1"), this), 0, 0);
    inputs->addWidget(input1_, 0, 1);
    inputs->addWidget(new QLabel(QStringLiteral("Input 2"), this), 1, 0);
    inputs->addWidget(input2_, 1, 1);
    inputs->addWidget(inputDone, 0, 2, 2, 1);
    auto* pressRow = new QHBoxLayout;
    for (int n = 1; n <= 6; ++n) {
        auto* b = idButton(203 + n, QStringLiteral("Button%1").arg(n), this);
        connect(b, &QPushButton::clicked, this, [this, n] { interpreter_->pressButton(n); });
        pressRow->addWidget(b);
    }

    // --- dialog buttons ---
    auto* display = idButton(216, QCoreApplication::translate("MacroDialog", "表示切替"), this);
    auto* stop = idButton(217, QCoreApplication::translate("MacroDialog", "MACRO停止"), this);
    auto* clock = idButton(220, QStringLiteral("clock"), this);
    const DialogButtons bottom = dialogButtons(
        this, {.closeText = QCoreApplication::translate("MacroDialog", "閉じる"), .onHelp = manualAt(context_.manual, kMacroManualPage)});
    bottom.row->insertWidget(0, display);
    bottom.row->insertWidget(1, stop);
    bottom.row->insertWidget(2, clock);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fileGroup);
    layout->addWidget(listGroup);
    layout->addLayout(stateLayout);
    layout->addWidget(notice_);
    layout->addLayout(inputs);
    layout->addLayout(pressRow);
    layout->addLayout(bottom.row);

    connect(open, &QPushButton::clicked, this, [this] { openFile(); });
    connect(runFile, &QPushButton::clicked, this, [this] { runSelected(); });
    connect(add, &QPushButton::clicked, this, [this] { addToList(); });
    connect(remove, &QPushButton::clicked, this, [this] { removeFromList(); });
    connect(runList, &QPushButton::clicked, this, [this] { runFromList(); });
    connect(inputDone, &QPushButton::clicked, this, [this] { textInputDone(); });
    connect(display, &QPushButton::clicked, this, [this] { switchDisplay(); });
    connect(stop, &QPushButton::clicked, this, [this] { interpreter_->stop(); });
    connect(clock, &QPushButton::clicked, this, [this] { openClock(); });

    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, [this] { tick(); });

    // Opening: reception starts with the bytes stored from now on; the list comes from macro.dat.
    interpreter_->markReceptionStart();
    context_.memory.stopRequested = 0;
    list_.load(context_.startDirectory);
    fillList();
}

TMacrosend::~TMacrosend() { timer_.stop(); }

// ---- MacroHost --------------------------------------------------------------------------------

TransmitResult TMacrosend::transmit(int channel, std::span<const std::uint8_t> frame)
{
    return context_.transmit ? context_.transmit(channel, frame) : TransmitResult::WriteFailed;
}

void TMacrosend::sendFailed() { context_.message(u8(macro_text::kSendFailed), QMessageBox::Ok, QMessageBox::Warning); }

void TMacrosend::refresh()
{
    counter_->setText(QString::asprintf("%08d ", context_.memory.pc));
    status_->setText(u8(macroStatusText(context_.memory.status)));
    const std::int32_t line = interpreter_->currentLine();
    line_->setText(line > 0 ? QCoreApplication::translate("MacroDialog", "行 %1").arg(line) : QString());
    const MacroNotice& notice = interpreter_->notice();
    notice_->setText(notice.kind == MacroNotice::Kind::None
                         ? QString()
                         : QCoreApplication::translate("MacroDialog", "行 %1: %2").arg(notice.line).arg(QString::fromStdString(macroNoticeText(notice))));
}

void TMacrosend::finished()
{
    pacer_.stop();
    timer_.stop();
}

// ---- the run ----------------------------------------------------------------------------------

void TMacrosend::tick()
{
    interpreter_->step();
    pacer_.stepped(context_.clock.tickMs(), interpreter_->running() && interpreter_->inTimedWait());
    schedule();
}

void TMacrosend::schedule()
{
    if (!pacer_.running() || !interpreter_->running()) {
        timer_.stop();
        return;
    }
    // A clock that stands still (or jumps) never makes the wait longer than a period.
    const std::int64_t wait = pacer_.nextDue() - context_.clock.tickMs();
    timer_.start(static_cast<int>(std::clamp<std::int64_t>(wait, 0, pacer_.periodMs())));
}

void TMacrosend::run(const std::filesystem::path& path)
{
    const auto text = readMacroFile(path);
    if (!text) {
        context_.message(u8(macro_text::kCannotRead), QMessageBox::Ok, QMessageBox::Warning);
        return;
    }
    // A run started while another runs replaces it.
    timer_.stop();
    interpreter_->load(*text);
    interpreter_->start();
    pacer_.start(context_.clock.tickMs(), macroTimerPeriod(context_.settings.macroClockMs));
    schedule();
}

void TMacrosend::openFile()
{
    if (auto chosen = context_.chooseFile(this, u8(macro_text::kOpenTitle))) {
        selected_ = *chosen;
        fileLabel_->setText(pathText(selected_));
    }
}

void TMacrosend::runSelected()
{
    if (selected_.empty()) {
        context_.message(u8(macro_text::kChooseFile), QMessageBox::Ok, QMessageBox::NoIcon);
        return;
    }
    run(selected_);
}

void TMacrosend::runFromList()
{
    const int row = listBox_->currentRow();
    const std::size_t entry = row < 0 ? MacroFileList::kEntries : list_.entryOfShown(static_cast<std::size_t>(row));
    if (entry >= MacroFileList::kEntries || listBox_->selectedItems().isEmpty()) {
        context_.message(u8(macro_text::kChooseFile), QMessageBox::Ok, QMessageBox::NoIcon);
        return;
    }
    run(list_.entries()[entry].pathText());
}

void TMacrosend::addToList()
{
    const auto chosen = context_.chooseFile(this, u8(macro_text::kAddTitle));
    if (!chosen)
        return;
    switch (list_.add(chosen->string())) {
    case MacroListAdd::Added: fillList(); break;
    case MacroListAdd::AlreadyListed: break;
    case MacroListAdd::Full: context_.message(u8(macro_text::kListFull), QMessageBox::Ok, QMessageBox::NoIcon); break;
    case MacroListAdd::TooLong:
        context_.message(u8(macro_text::kPathTooLong), QMessageBox::Ok, QMessageBox::Warning);
        break;
    }
}

void TMacrosend::removeFromList()
{
    const int row = listBox_->currentRow();
    if (row < 0 || listBox_->selectedItems().isEmpty())
        return;
    list_.removeShown(static_cast<std::size_t>(row));
    fillList();
}

void TMacrosend::fillList()
{
    listBox_->clear();
    for (const std::string& p : list_.shownPaths())
        listBox_->addItem(QFile::decodeName(QByteArray::fromStdString(p)));
}

void TMacrosend::textInputDone()
{
    // The texts go on the line as the program's other texts do: code page 932 bytes, at most 59
    // of them, cut before a character that would not fit whole.
    const QByteArray a = toCp932Within(input1_->text(), kMacroInputMaxChars);
    const QByteArray b = toCp932Within(input2_->text(), kMacroInputMaxChars);
    interpreter_->textInputDone(std::string_view(a.constData(), static_cast<std::size_t>(a.size())),
                                std::string_view(b.constData(), static_cast<std::size_t>(b.size())));
}

void TMacrosend::switchDisplay()
{
    if (!macroDisplaySwitchAllowed(context_.settings.displayMode)) {
        context_.message(u8(macro_text::kSwitchOnlyInAsc), QMessageBox::Ok, QMessageBox::NoIcon);
        return;
    }
    if (context_.toggleDisplay)
        context_.toggleDisplay();
}

void TMacrosend::openClock()
{
    TDialog22 dialog(context_.settings, this);
    dialog.exec();  // the new period applies from the next run
}

void TMacrosend::done(int result)
{
    // Closing stops a running macro at once, also in the middle of a wait, and keeps the list.
    pacer_.stop();
    timer_.stop();
    if (interpreter_->running())
        interpreter_->stop();
    context_.memory.stopRequested = 1;
    list_.save(context_.startDirectory);  // a file that cannot be written is skipped silently
    QDialog::done(result);
}

} // namespace kestrane
