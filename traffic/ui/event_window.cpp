#include "traffic/ui/event_window.h"

#include "platform/comm_types.h"
#include "widgets/dialog_buttons.h"
#include "widgets/dialog_ids.h"

#include <QCoreApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <bit>
#include <ctime>

namespace kestrane {

namespace {

using timeline::Action;
using timeline::EventRow;
using timeline::LineError;
using timeline::RowKind;

const QColor kErrorInk(200, 0, 0);

QString errorName(LineError e)
{
    switch (e) {
    case LineError::Parity: return QCoreApplication::translate("LineEventsWindow", "パリティエラー");
    case LineError::Framing: return QCoreApplication::translate("LineEventsWindow", "フレーミングエラー");
    case LineError::ParityOrFraming: return QCoreApplication::translate("LineEventsWindow", "パリティかフレーミングのエラー");
    case LineError::Break: return QCoreApplication::translate("LineEventsWindow", "ブレーク");
    case LineError::Overrun: return QCoreApplication::translate("LineEventsWindow", "オーバーラン");
    case LineError::BufferOverrun: return QCoreApplication::translate("LineEventsWindow", "受信バッファあふれ");
    }
    return {};
}

// An error with what it says about the bytes around it.
QString errorText(LineError e, std::uint32_t lost)
{
    QString text = errorName(e);
    if (e == LineError::Break)
        text += QCoreApplication::translate("LineEventsWindow", "（このバイトの前）");
    if ((e == LineError::Overrun || e == LineError::BufferOverrun) && lost > 0)
        text += QCoreApplication::translate("LineEventsWindow", "（この前で %1 バイト失われました）").arg(lost);
    return text;
}

QString modemText(std::uint32_t lines, std::uint32_t changed, std::uint32_t count)
{
    struct Line {
        std::uint32_t bit;
        const char* name;
    };
    static constexpr Line kLines[] = {{MS_CTS_ON, "CTS"}, {MS_DSR_ON, "DSR"}, {MS_RLSD_ON, "DCD"}, {MS_RING_ON, "RI"}};
    QStringList parts;
    for (const Line& l : kLines) {
        if (changed & l.bit)
            parts << QStringLiteral("%1 %2").arg(QLatin1String(l.name), (lines & l.bit) ? QCoreApplication::translate("LineEventsWindow", "オン") : QCoreApplication::translate("LineEventsWindow", "オフ"));
    }
    QString text = parts.join(QCoreApplication::translate("LineEventsWindow", "、"));
    if (count > static_cast<std::uint32_t>(std::popcount(changed)))
        text += QCoreApplication::translate("LineEventsWindow", "（%1 回変化）").arg(count);
    return text;
}

QString actionText(Action a, std::uint32_t value)
{
    switch (a) {
    case Action::DtrOn: return QCoreApplication::translate("LineEventsWindow", "DTR オン");
    case Action::DtrOff: return QCoreApplication::translate("LineEventsWindow", "DTR オフ");
    case Action::RtsOn: return QCoreApplication::translate("LineEventsWindow", "RTS オン");
    case Action::RtsOff: return QCoreApplication::translate("LineEventsWindow", "RTS オフ");
    case Action::BreakOn: return QCoreApplication::translate("LineEventsWindow", "ブレーク送出の開始");
    case Action::BreakOff: return QCoreApplication::translate("LineEventsWindow", "ブレーク送出の終了");
    case Action::Xoff: return QCoreApplication::translate("LineEventsWindow", "XOFF（送信を止める）");
    case Action::Xon: return QCoreApplication::translate("LineEventsWindow", "XON（送信を再開する）");
    case Action::Purge: {
        QStringList what;
        if (value & (PURGE_TXABORT | PURGE_TXCLEAR))
            what << QCoreApplication::translate("LineEventsWindow", "送信");
        if (value & (PURGE_RXABORT | PURGE_RXCLEAR))
            what << QCoreApplication::translate("LineEventsWindow", "受信");
        return QCoreApplication::translate("LineEventsWindow", "パージ") + (what.isEmpty() ? QString() : QCoreApplication::translate("LineEventsWindow", "（%1）").arg(what.join(QCoreApplication::translate("LineEventsWindow", "・"))));
    }
    case Action::SettingsApplied: return QCoreApplication::translate("LineEventsWindow", "回線の設定（%1 bps）").arg(value);
    case Action::Opened: return QCoreApplication::translate("LineEventsWindow", "ポートを開きました");
    case Action::Closed: return QCoreApplication::translate("LineEventsWindow", "ポートを閉じました");
    case Action::DeviceLost: return QCoreApplication::translate("LineEventsWindow", "デバイスがなくなりました");
    case Action::Reconnected: return QCoreApplication::translate("LineEventsWindow", "つなぎ直しました");
    case Action::LowLatency:
        return value != 0 ? QCoreApplication::translate("LineEventsWindow", "低遅延: 有効") : QCoreApplication::translate("LineEventsWindow", "低遅延: ドライバが受け付けません");
    case Action::UserMark: return QCoreApplication::translate("LineEventsWindow", "マーク");
    }
    return {};
}

QString directionText(timeline::Direction d)
{
    return d == timeline::Direction::Sent ? QCoreApplication::translate("LineEventsWindow", "送信") : QCoreApplication::translate("LineEventsWindow", "受信");
}

// A frame's bytes in hex; a byte with a line error at it in brackets; "…" when the row keeps
// only the first of them.
QString hexText(const EventRow& row)
{
    if (row.bytes.empty() && row.count > 0 && row.bytesGone)
        return QCoreApplication::translate("LineEventsWindow", "（ジャーナルから消えました）");
    QString out;
    out.reserve(static_cast<qsizetype>(row.bytes.size()) * 3 + 4);
    for (std::size_t i = 0; i < row.bytes.size(); ++i) {
        const bool marked = std::any_of(row.marks.begin(), row.marks.end(),
                                        [i](const EventRow::Mark& m) { return m.offset == i; });
        if (i > 0)
            out += QLatin1Char(' ');
        if (marked)
            out += QLatin1Char('[');
        out += QStringLiteral("%1").arg(row.bytes[i], 2, 16, QLatin1Char('0')).toUpper();
        if (marked)
            out += QLatin1Char(']');
    }
    if (row.count > row.bytes.size())
        out += QStringLiteral(" …");
    return out;
}

// The bytes as the display shows them: code page 932 units (a lead byte with its trail byte),
// control bytes as their pictures, a space as a space.
QString bytesText(const Cp932Text& cp932, const std::vector<std::uint8_t>& bytes)
{
    QString out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const std::uint8_t b = bytes[i];
        if (b < 0x20) {
            out += QChar(static_cast<char16_t>(0x2400 + b));
            continue;
        }
        if (b == 0x7F) {
            out += QChar(static_cast<char16_t>(0x2421));
            continue;
        }
        const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
        QStringView unit = lead && i + 1 < bytes.size() ? cp932.pair(b, bytes[i + 1]) : cp932.single(b);
        if (lead && i + 1 < bytes.size())
            ++i;
        for (QChar c : unit)
            out += (c.category() == QChar::Other_Control || c.isNull()) ? QChar(QChar::ReplacementCharacter) : c;
    }
    return out;
}

QString kindText(const EventRow& row)
{
    switch (row.kind) {
    case RowKind::Frame: return row.open ? QCoreApplication::translate("LineEventsWindow", "フレーム…") : QCoreApplication::translate("LineEventsWindow", "フレーム");
    case RowKind::Error: return QCoreApplication::translate("LineEventsWindow", "エラー");
    case RowKind::Modem: return QCoreApplication::translate("LineEventsWindow", "モデム信号");
    case RowKind::Action: return QCoreApplication::translate("LineEventsWindow", "操作");
    case RowKind::Lost: return QCoreApplication::translate("LineEventsWindow", "欠落");
    }
    return {};
}

QString contentText(const EventRow& row)
{
    switch (row.kind) {
    case RowKind::Frame: return hexText(row);
    case RowKind::Error: return errorText(static_cast<LineError>(row.detail), row.value);
    case RowKind::Modem: return modemText(row.detail, row.value, row.count);
    case RowKind::Action: return actionText(static_cast<Action>(row.detail), row.value);
    case RowKind::Lost:
        return row.missed ? QCoreApplication::translate("LineEventsWindow", "表示が追いつかず %1 件の記録を読み落としました").arg(row.value)
                          : QCoreApplication::translate("LineEventsWindow", "%1 バイトを取りこぼしました").arg(row.value);
    }
    return {};
}

bool redRow(const EventRow& row)
{
    return row.kind == RowKind::Error || row.kind == RowKind::Lost || (row.kind == RowKind::Frame && row.errors > 0);
}

} // namespace

QString timeOfDayText(std::int64_t wallUs)
{
    std::int64_t seconds = wallUs / 1'000'000;
    std::int64_t micros = wallUs % 1'000'000;
    if (micros < 0) {
        micros += 1'000'000;
        --seconds;
    }
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm local{};
    localtime_r(&t, &local);
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%06lld", local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<long long>(micros));
    return QString::fromLatin1(text);
}

QString millisecondsText(std::int64_t us)
{
    if (us < 0)
        return {};
    return QStringLiteral("%1.%2 ms").arg(us / 1000).arg(us % 1000, 3, 10, QLatin1Char('0'));
}

QString summaryText(const timeline::Summary& s, std::uint64_t droppedRows, std::uint64_t missed)
{
    QString text = QCoreApplication::translate("LineEventsWindow", "フレーム %1").arg(s.frames);
    QStringList errors;
    for (std::size_t k = 0; k < s.errors.size(); ++k) {
        if (s.errors[k] > 0)
            errors << QStringLiteral("%1 %2").arg(errorName(static_cast<LineError>(k))).arg(s.errors[k]);
    }
    text += QCoreApplication::translate("LineEventsWindow", "　エラー ") + (errors.isEmpty() ? QStringLiteral("0") : errors.join(QCoreApplication::translate("LineEventsWindow", "・")));
    if (s.answers > 0) {
        text += QCoreApplication::translate("LineEventsWindow", "　応答時間 最小 %1／中央 %2／最大 %3（%4 回）")
                    .arg(millisecondsText(s.answerMinUs), millisecondsText(s.answerMedianUs),
                         millisecondsText(s.answerMaxUs))
                    .arg(s.answers);
    } else {
        text += QCoreApplication::translate("LineEventsWindow", "　応答時間 なし");
    }
    if (s.lost > 0)
        text += QCoreApplication::translate("LineEventsWindow", "　取りこぼし %1").arg(s.lost);
    if (missed > 0)
        text += QCoreApplication::translate("LineEventsWindow", "　読み落とし %1 件").arg(missed);
    if (droppedRows > 0)
        text += QCoreApplication::translate("LineEventsWindow", "　（表示は最新の %1 行まで: 古い %2 行を外しました）").arg(timeline::kMaxEventRows).arg(droppedRows);
    return text;
}

QStringList byteTraceLines(const timeline::Entry& chunk, const std::vector<timeline::Entry>& errors)
{
    QStringList lines;
    lines << QStringLiteral("CH%1 %2 %3")
                 .arg(chunk.channel)
                 .arg(directionText(chunk.direction), timeOfDayText(chunk.time.wallUs));
    for (const timeline::Entry& e : errors)
        lines << errorText(static_cast<LineError>(e.detail), e.value);
    return lines;
}

// ---------------------------------------------------------------- model

EventTableModel::EventTableModel(QObject* parent) : QAbstractTableModel(parent) {}

const EventRow* EventTableModel::rowAt(int row) const
{
    if (row < 0 || static_cast<std::size_t>(row) >= visible_.size())
        return nullptr;
    return reader_.row(visible_[static_cast<std::size_t>(row)]);
}

timeline::EventReader::Step EventTableModel::update(const timeline::Journal& journal, std::int64_t nowMonoUs,
                                                    std::size_t most)
{
    const std::uint64_t firstNew = reader_.nextSerial();
    timeline::EventReader::Step step = reader_.read(journal, nowMonoUs, most);
    if (step.cleared) {
        setFilter(filter_);  // every row anew
        return step;
    }

    // Rows let go for the bound leave the front.
    const std::uint64_t kept = reader_.firstSerial();
    const auto gone = static_cast<int>(std::lower_bound(visible_.begin(), visible_.end(), kept) - visible_.begin());
    if (gone > 0) {
        beginRemoveRows({}, 0, gone - 1);
        visible_.erase(visible_.begin(), visible_.begin() + gone);
        endRemoveRows();
    }
    // Rows that changed (a frame grew or ended): one notice from the first to the last of them.
    int firstChanged = -1, lastChanged = -1;
    for (std::uint64_t serial : step.changed) {
        const auto at = std::lower_bound(visible_.begin(), visible_.end(), serial);
        if (at == visible_.end() || *at != serial)
            continue;
        const int row = static_cast<int>(at - visible_.begin());
        firstChanged = firstChanged < 0 ? row : std::min(firstChanged, row);
        lastChanged = std::max(lastChanged, row);
    }
    if (firstChanged >= 0)
        emit dataChanged(index(firstChanged, 0), index(lastChanged, ColumnCount - 1));
    // New rows at the end.
    std::vector<std::uint64_t> added;
    for (std::uint64_t serial = std::max(firstNew, kept); serial < kept + reader_.rows().size(); ++serial) {
        if (filter_.accepts(*reader_.row(serial)))
            added.push_back(serial);
    }
    if (!added.empty()) {
        const int at = static_cast<int>(visible_.size());
        beginInsertRows({}, at, at + static_cast<int>(added.size()) - 1);
        visible_.insert(visible_.end(), added.begin(), added.end());
        endInsertRows();
    }
    return step;
}

void EventTableModel::setFilter(const timeline::EventFilter& filter)
{
    beginResetModel();
    filter_ = filter;
    visible_.clear();
    for (const EventRow& row : reader_.rows()) {
        if (filter_.accepts(row))
            visible_.push_back(row.serial);
    }
    endResetModel();
}

int EventTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(visible_.size());
}

int EventTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QString EventTableModel::cellText(const EventRow& row, int column) const
{
    switch (column) {
    case Time: return timeOfDayText(row.time.wallUs);
    case Channel: return row.channel == 0 ? QString() : QStringLiteral("CH%1").arg(row.channel);
    case Direction:
        return row.kind == RowKind::Frame || row.kind == RowKind::Error ? directionText(row.direction) : QString();
    case Kind: return kindText(row);
    case Quiet: return row.kind == RowKind::Frame ? millisecondsText(row.quietUs) : QString();
    case Answer: return row.kind == RowKind::Frame ? millisecondsText(row.answerUs) : QString();
    case Count: return row.kind == RowKind::Frame ? QString::number(row.count) : QString();
    case Content: return contentText(row);
    case Text: return row.kind == RowKind::Frame ? bytesText(cp932_, row.bytes) : QString();
    default: return {};
    }
}

QVariant EventTableModel::data(const QModelIndex& index, int role) const
{
    const EventRow* row = index.isValid() ? rowAt(index.row()) : nullptr;
    if (row == nullptr)
        return {};
    switch (role) {
    case Qt::DisplayRole: return cellText(*row, index.column());
    case Qt::ForegroundRole:
        return redRow(*row) ? QVariant(kErrorInk) : QVariant();
    case Qt::TextAlignmentRole:
        if (index.column() == Quiet || index.column() == Answer || index.column() == Count)
            return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    case Qt::FontRole:
        if (index.column() == Content && row->kind == RowKind::Frame)
            return QFontDatabase::systemFont(QFontDatabase::FixedFont);
        return {};
    case Qt::ToolTipRole: {
        if (row->kind != RowKind::Frame || row->errors == 0)
            return {};
        QStringList lines;
        for (const EventRow::Mark& m : row->marks)
            lines << QCoreApplication::translate("LineEventsWindow", "%1 バイト目: %2").arg(m.offset + 1).arg(errorText(m.kind, 0));
        if (row->errors > row->marks.size())
            lines << QCoreApplication::translate("LineEventsWindow", "ほかに %1 件").arg(row->errors - row->marks.size());
        return lines.join(QLatin1Char('\n'));
    }
    default: return {};
    }
}

QVariant EventTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case Time: return QCoreApplication::translate("LineEventsWindow", "時刻");
    case Channel: return QStringLiteral("CH");
    case Direction: return QCoreApplication::translate("LineEventsWindow", "向き");
    case Kind: return QCoreApplication::translate("LineEventsWindow", "種類");
    case Quiet: return QCoreApplication::translate("LineEventsWindow", "無音");
    case Answer: return QCoreApplication::translate("LineEventsWindow", "応答");
    case Count: return QCoreApplication::translate("LineEventsWindow", "バイト数");
    case Content: return QCoreApplication::translate("LineEventsWindow", "内容（HEX）");
    case Text: return QCoreApplication::translate("LineEventsWindow", "テキスト");
    default: return {};
    }
}

// ---------------------------------------------------------------- window

TEventWindow::TEventWindow(EventWindowServices services, QWidget* parent)
    : QDialog(parent), services_(std::move(services)), model_(this)
{
    setObjectName(QString::fromLatin1(dialog_id::LineEvents));
    setWindowTitle(QCoreApplication::translate("LineEventsWindow", "回線イベント"));
    setModal(false);
    setSizeGripEnabled(true);

    auto* filters = new QHBoxLayout;
    filters->addWidget(new QLabel(QCoreApplication::translate("LineEventsWindow", "チャンネル"), this));
    channel_ = new QComboBox(this);
    channel_->setObjectName(QStringLiteral("channel"));
    channel_->addItems({QCoreApplication::translate("LineEventsWindow", "CH1とCH2"), QStringLiteral("CH1"), QStringLiteral("CH2")});
    filters->addWidget(channel_);
    filters->addSpacing(12);
    const auto box = [this, filters](const char* name, const QString& text) {
        auto* c = new QCheckBox(text, this);
        c->setObjectName(QLatin1String(name));
        c->setChecked(true);
        filters->addWidget(c);
        connect(c, &QCheckBox::toggled, this, [this] { applyFilter(); });
        return c;
    };
    frames_ = box("frames", QCoreApplication::translate("LineEventsWindow", "フレーム"));
    errors_ = box("errors", QCoreApplication::translate("LineEventsWindow", "エラー"));
    modem_ = box("modem", QCoreApplication::translate("LineEventsWindow", "モデム信号"));
    actions_ = box("actions", QCoreApplication::translate("LineEventsWindow", "操作"));
    filters->addStretch();
    connect(channel_, &QComboBox::currentIndexChanged, this, [this] { applyFilter(); });

    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("events"));
    table_->setModel(&model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setWordWrap(false);
    table_->setAlternatingRowColors(true);
    table_->verticalHeader()->hide();
    // Every row the same height: the view never measures rows.
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    QHeaderView* header = table_->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setStretchLastSection(true);
    const int em = fontMetrics().horizontalAdvance(QLatin1Char('0'));
    const int widths[EventTableModel::ColumnCount] = {16, 5, 5, 9, 10, 10, 7, 40, 20};
    for (int c = 0; c < EventTableModel::ColumnCount; ++c)
        table_->setColumnWidth(c, widths[c] * em + 8);
    connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { rowSelected(current.row()); });

    summary_ = new QLabel(this);
    summary_->setObjectName(QStringLiteral("summary"));
    summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("status"));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(table_, 1);
    layout->addWidget(summary_);
    layout->addWidget(status_);
    const DialogButtons buttons = dialogButtons(
        this, {.closeText = QCoreApplication::translate("LineEventsWindow", "閉じる"), .onHelp = manualAt(services_.manualAtPage, kEventManualPage)});
    layout->addLayout(buttons.row);
    resize(110 * em, 420);

    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, [this] { readNow(); });
    summary_->setText(summaryText(model_.reader().summary(), 0, 0));
    timer_.start(0);
}

QString TEventWindow::summary() const { return summary_->text(); }
QString TEventWindow::status() const { return status_->text(); }

void TEventWindow::readNow()
{
    if (services_.journal == nullptr)
        return;
    if (services_.rule) {
        model_.reader().setRule(1, services_.rule(1));
        model_.reader().setRule(2, services_.rule(2));
    }
    QScrollBar* bar = table_->verticalScrollBar();
    const bool following = bar->value() >= bar->maximum();
    const std::int64_t now = services_.nowMonoUs ? services_.nowMonoUs() : timeline::now().monoUs;
    const timeline::EventReader::Step step = model_.update(*services_.journal, now);
    if (step.cleared)
        status_->setText(QCoreApplication::translate("LineEventsWindow", "記録がクリアされたので、一覧も新しく始めました。"));
    if (step.cleared || step.entries > 0 || step.added > 0 || !step.changed.empty()) {
        const timeline::EventReader& r = model_.reader();
        summary_->setText(summaryText(r.summary(), r.droppedRows(), r.missedEntries()));
    }
    if (step.added > 0 && following)
        table_->scrollToBottom();
    // A backlog is read a batch at a time, with the window's events between batches.
    timer_.start(step.more ? 0 : kEventTickMs);
}

void TEventWindow::applyFilter()
{
    timeline::EventFilter f;
    f.channel = channel_->currentIndex();
    f.frames = frames_->isChecked();
    f.errors = errors_->isChecked();
    f.modem = modem_->isChecked();
    f.actions = actions_->isChecked();
    model_.setFilter(f);
    table_->scrollToBottom();
}

void TEventWindow::rowSelected(int row)
{
    const EventRow* r = model_.rowAt(row);
    if (r == nullptr || !services_.locate)
        return;
    status_->setText(services_.locate(*r));
}

} // namespace kestrane
