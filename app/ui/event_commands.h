// The line-events window in the main window: command 38300 "回線イベント(&E)" opens it (one
// window, raised when asked again), a row selected in it scrolls the traffic display to its
// byte, and the character inspection says what the journal knows of the byte under the mouse.
#pragma once

#include "timeline/journal.h"
#include "traffic/ui/event_window.h"
#include "widgets/message_box.h"

#include <QPointer>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace kestrane {

class AppCore;
class CommandTable;
class TDrawWindow;
struct Inspection;

// Which line a byte of the record belongs to, by its tag: channel and direction. In the
// line-monitor modes tag '0' is what CH2 received.
struct Stream {
    int channel = 1;
    timeline::Direction direction = timeline::Direction::Received;
};
[[nodiscard]] std::optional<Stream> streamOfTag(std::uint8_t tag, int ch2Mode);

class EventCommands {
public:
    EventCommands(AppCore& core, TDrawWindow& window, ManualAtPage manual);
    ~EventCommands();
    EventCommands(const EventCommands&) = delete;
    EventCommands& operator=(const EventCommands&) = delete;

    // 38300: shows the window, made on first use.
    void open();
    // The window while it is open.
    [[nodiscard]] TEventWindow* window() const { return window_; }
    // Scrolls the display to the row's byte (a frame's first byte, an error's byte, the place
    // where an event happened) and frames it; returns what the window's status says, also when
    // the byte is no longer in the record or the display cannot move there.
    QString locate(const timeline::EventRow& row);

private:
    AppCore& core_;
    TDrawWindow& main_;
    ManualAtPage manual_;
    QPointer<TEventWindow> window_;
};

void registerEventCommands(CommandTable& table, EventCommands& commands);

// The lines the character inspection adds for `byte`: its channel, direction and time and the
// line errors at it, while the journal still keeps its chunk; none otherwise.
[[nodiscard]] QStringList inspectionNotes(AppCore& core, const Inspection& byte);

} // namespace kestrane
