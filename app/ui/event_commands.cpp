#include "app/ui/event_commands.h"

#include "app/app_core.h"
#include "app/command_ids.h"
#include "app/command_table.h"
#include "app/ui/main_window.h"
#include "records/settings_records.h"
#include "timeline/byte_trace.h"
#include "traffic/low_speed_display.h"
#include "traffic/traffic_planes.h"

#include <QCoreApplication>

#include <algorithm>

namespace kestrane {

using timeline::Direction;
using timeline::EventRow;
using timeline::RowKind;

std::optional<Stream> streamOfTag(std::uint8_t tag, int ch2Mode)
{
    switch (tag) {
    case kTagCh1Sent:
        return isLineMonitor(ch2Mode) ? Stream{2, Direction::Received} : Stream{1, Direction::Sent};
    case kTagCh1Received: return Stream{1, Direction::Received};
    case kTagCh2Sent: return Stream{2, Direction::Sent};
    case kTagCh2Received: return Stream{2, Direction::Received};
    default: return std::nullopt;  // a byte of the cleared record (a space), a loaded log's own tags
    }
}

EventCommands::EventCommands(AppCore& core, TDrawWindow& window, ManualAtPage manual)
    : core_(core), main_(window), manual_(std::move(manual))
{
}

EventCommands::~EventCommands()
{
    // The window calls back into this object.
    if (window_)
        delete window_.data();
}

void EventCommands::open()
{
    if (!window_) {
        EventWindowServices s;
        s.journal = &core_.journal();
        s.rule = [this](int channel) { return core_.frameRule(channel); };
        s.locate = [this](const EventRow& row) { return locate(row); };
        s.manualAtPage = manual_;
        // A window of its own beside the main window, closed with it.
        window_ = new TEventWindow(std::move(s), &main_);
        window_->setAttribute(Qt::WA_DeleteOnClose);
    }
    window_->show();
    window_->raise();
    window_->activateWindow();
}

QString EventCommands::locate(const EventRow& row)
{
    if (core_.fastDisplay() == 1)
        return QCoreApplication::translate("LineEventsWindow", "高速表示では表示の位置を動かせません。低速表示（F5）にしてから選んでください。");
    TrafficBuffer& traffic = core_.traffic();
    const std::uint64_t base = traffic.recordBase();
    const auto stored = static_cast<std::uint64_t>(std::max(traffic.storedLength(), 0));
    const bool frame = row.kind == RowKind::Frame;
    const std::uint64_t end = row.record + (frame ? row.count : 1);
    if (row.record < base && !(frame && end > base))
        return QCoreApplication::translate("LineEventsWindow", "このバイトはもう記録にありません（記録の古い部分は消えるか、ログのページになりました）。");
    if (row.record >= base + stored && (frame || row.kind == RowKind::Error))
        return QCoreApplication::translate("LineEventsWindow", "このバイトはまだ記録にありません。");
    if (row.record < base) {
        // A frame whose beginning was let go: what is left of it.
        main_.showRecordBytes(0, static_cast<std::int32_t>(end - base));
        return QCoreApplication::translate("LineEventsWindow", "フレームの始めは記録から消えました。残りの始め（記録の 1 バイト目）へ移りました。");
    }
    const auto index = static_cast<std::int32_t>(row.record - base);
    if (frame) {
        // A sent message the record left out stands at the record's length, where another
        // stream's bytes follow.
        const auto stream = streamOfTag(traffic.tagAt(index), core_.settings().record.ch2Mode);
        if (!stream || stream->channel != row.channel || stream->direction != row.direction)
            return QCoreApplication::translate("LineEventsWindow", "このフレームは記録に入っていません（ラインモニタのモードの送信、または送信文字を表示しない設定）。");
        main_.showRecordBytes(index, static_cast<std::int32_t>(std::min<std::uint64_t>(row.count, stored - index)));
        return QCoreApplication::translate("LineEventsWindow", "記録の %1 バイト目へ移りました。").arg(index + 1);
    }
    if (row.kind == RowKind::Error) {
        main_.showRecordBytes(index, 1);
        return QCoreApplication::translate("LineEventsWindow", "記録の %1 バイト目へ移りました。").arg(index + 1);
    }
    // An event: the place in the record where it happened, before the byte stored next.
    if (static_cast<std::uint64_t>(index) >= stored) {
        main_.showRecordBytes(static_cast<std::int32_t>(stored), 0);
        return QCoreApplication::translate("LineEventsWindow", "記録の最後（このあとのバイトはまだありません）へ移りました。");
    }
    main_.showRecordBytes(index, 1);
    return QCoreApplication::translate("LineEventsWindow", "記録の %1 バイト目の前へ移りました。").arg(index + 1);
}

void registerEventCommands(CommandTable& table, EventCommands& commands)
{
    EventCommands* c = &commands;
    table.add(cmd::LineEvents, [c] { c->open(); });
}

QStringList inspectionNotes(AppCore& core, const Inspection& byte)
{
    const auto stream = streamOfTag(byte.tag, core.settings().record.ch2Mode);
    if (!stream)
        return {};
    const auto trace = timeline::traceByte(core.journal(), byte.record, stream->channel, stream->direction);
    if (!trace)
        return {};
    return byteTraceLines(trace->chunk, trace->errors);
}

} // namespace kestrane
