// The line-events window "回線イベント": the journal's frames and events in time order, live,
// with their times to the microsecond, filtered by channel and kind, and a summary line.
//
// Its own timer reads what is new in batches (never per entry, never on the appending threads)
// into a bounded table model; the view asks only for the rows in sight. Selecting a row hands
// it to `locate`, which scrolls the traffic display to its byte and says what it did.
#pragma once

#include "text/cp932.h"
#include "timeline/event_rows.h"
#include "widgets/message_box.h"

#include <QAbstractTableModel>
#include <QDialog>
#include <QTimer>

#include <deque>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QTableView;

namespace kestrane {

// The table's rows: the reader's rows that pass the filter.
class EventTableModel : public QAbstractTableModel {
public:
    enum Column { Time, Channel, Direction, Kind, Quiet, Answer, Count, Content, Text, ColumnCount };

    explicit EventTableModel(QObject* parent = nullptr);

    // Reads what the journal has new (at most `most` entries) and tells the view in one
    // insertion, one removal and one change at most.
    timeline::EventReader::Step update(const timeline::Journal& journal, std::int64_t nowMonoUs,
                                       std::size_t most = timeline::kEventBatch);
    void setFilter(const timeline::EventFilter& filter);
    [[nodiscard]] const timeline::EventFilter& filter() const { return filter_; }
    [[nodiscard]] timeline::EventReader& reader() { return reader_; }
    [[nodiscard]] const timeline::EventRow* rowAt(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The texts of a row's cells (what the view shows).
    [[nodiscard]] QString cellText(const timeline::EventRow& row, int column) const;

private:
    timeline::EventReader reader_;
    timeline::EventFilter filter_;
    std::deque<std::uint64_t> visible_;  // serials of the rows shown, ascending
    Cp932Text cp932_;
};

// Local time of day to the microsecond: "12:03:45.123456".
[[nodiscard]] QString timeOfDayText(std::int64_t wallUs);
// A span of microseconds in milliseconds with three decimals: "3.646 ms"; empty when negative.
[[nodiscard]] QString millisecondsText(std::int64_t us);
// The summary line: frames, errors by kind, answer times.
[[nodiscard]] QString summaryText(const timeline::Summary& summary, std::uint64_t droppedRows, std::uint64_t missed);
// What the character inspection adds for a byte the journal still knows: its time, channel
// and direction, and a line per error at it.
[[nodiscard]] QStringList byteTraceLines(const timeline::Entry& chunk, const std::vector<timeline::Entry>& errors);

struct EventWindowServices {
    const timeline::Journal* journal = nullptr;
    // The frame rule of a channel, asked every read (unset: the builder's default).
    std::function<timeline::FrameRule(int channel)> rule;
    // Scrolls the traffic display to the row's byte; returns what the window's status says.
    std::function<QString(const timeline::EventRow&)> locate;
    ManualAtPage manualAtPage;
    // The monotonic clock in microseconds (unset: timeline::now()).
    std::function<std::int64_t()> nowMonoUs;
};

inline constexpr int kEventTickMs = 100;  // how often the window reads the journal
inline constexpr int kEventManualPage = 68;

class TEventWindow : public QDialog {
public:
    explicit TEventWindow(EventWindowServices services, QWidget* parent = nullptr);

    // One read of the journal, as the timer does it.
    void readNow();

    [[nodiscard]] EventTableModel& model() { return model_; }
    [[nodiscard]] QTableView* table() const { return table_; }
    [[nodiscard]] QString summary() const;
    [[nodiscard]] QString status() const;
    [[nodiscard]] bool timerActive() const { return timer_.isActive(); }

private:
    void applyFilter();
    void rowSelected(int row);

    EventWindowServices services_;
    EventTableModel model_;
    QTimer timer_;
    QTableView* table_ = nullptr;
    QComboBox* channel_ = nullptr;
    QCheckBox* frames_ = nullptr;
    QCheckBox* errors_ = nullptr;
    QCheckBox* modem_ = nullptr;
    QCheckBox* actions_ = nullptr;
    QLabel* summary_ = nullptr;
    QLabel* status_ = nullptr;
};

} // namespace kestrane
