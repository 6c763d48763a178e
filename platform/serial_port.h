// The serial-port service: what the channels, the receive threads, the transmit path and the
// line-status windows need from a COM port, with the meaning of the classic Win32 comm calls.
//
// Thread contract: one thread waits and reads (the channel's receive thread); writes may come
// from two threads at once (the GUI's transmit and the other channel's relay), and are
// serialised inside the port; status, escape and purge calls come from the GUI thread.
#pragma once

#include "platform/comm_types.h"
#include "timeline/journal.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <optional>
#include <utility>
#include <vector>

namespace kestrane {

// Why an open failed, kept whole so the user can be told: the kind (the channel turns every
// kind into its "does not open" result), the system's error number of the failing call, and the
// device path. An opener also fills `path` when the open succeeds. Compares equal to its kind.
struct OpenError {
    enum Kind {
        None, NotFound, Busy, PermissionDenied, NotATty, IsConsole, Other,
        // Remote lines (the path is the ports.conf entry):
        BadAddress,         // not a valid rfc2217:// or tcp:// address
        NameNotFound,       // the host name does not resolve
        Refused,            // nothing listens at the address
        Unreachable,        // no route to the host, or the network is down
        NoAnswer,           // the connection or its negotiation did not complete in time
        NoLineControl,      // an rfc2217:// server that does not take the COM-port option
        // Any port:
        SettingsRefused,    // opened, but it takes neither its line settings nor the defaults
    };

    Kind kind = None;
    int systemError = 0;  // errno, 0 when no system call failed
    std::string path;
    int resolverError = 0;  // NameNotFound: getaddrinfo's code (EAI_*), 0 when not known

    OpenError(Kind k = None, int error = 0, std::string device = {})  // NOLINT: a kind converts
        : kind(k), systemError(error), path(std::move(device))
    {
    }
    bool operator==(Kind k) const { return kind == k; }
};

// How a port was lost.
enum class LossReason {
    None,
    HungUp,   // the device went away (USB unplug) or the far end closed
    IoError,  // the device failed an operation with an I/O error
    ClosedByServer,  // a remote line: the server closed the connection
    ConnectionReset, // a remote line: the connection was reset or broke
    NoAnswer,        // a remote line: the server stopped answering (its machine or network gone)
};

// Why the last setCommState failed. A device may answer a set without taking all of it (a pty
// keeps 8 data bits and no parity; some adapters round or drop settings): the port reads the
// settings back, and a line setting that differs from what was asked makes the set fail with
// EINVAL and names it here. The device is left as it was before the set.
struct SetStateFailure {
    enum Field : std::uint32_t {
        Rate = 1U << 0,
        ByteSize = 1U << 1,
        Parity = 1U << 2,
        StopBits = 1U << 3,
        FlowControl = 1U << 4,
    };
    int systemError = 0;     // errno of the failed call; 0 after a successful set
    std::uint32_t refused = 0;  // Field bits of the settings the device did not take
    std::uint32_t unanswered = 0;  // of those, the ones a remote server never answered
    Dcb got{};               // what the device has after the refused set was undone (valid when refused != 0)
};
// Settings a port could not confirm (unconfirmedSettings).
inline constexpr std::uint32_t kSettingBaudRate = 0x01;
inline constexpr std::uint32_t kSettingByteSize = 0x02;
inline constexpr std::uint32_t kSettingParity = 0x04;
inline constexpr std::uint32_t kSettingStopBits = 0x08;
inline constexpr std::uint32_t kSettingFlowControl = 0x10;
inline constexpr std::uint32_t kSettingDtr = 0x20;
inline constexpr std::uint32_t kSettingRts = 0x40;
inline constexpr std::uint32_t kSettingBreak = 0x80;
// A line that has no line control at all (a raw TCP stream): settings are kept, never sent.
inline constexpr std::uint32_t kSettingNoLineControl = 0x100;

// Result of a read or write that may run into its time-outs.
enum class IoStatus {
    Ok,        // done; a short count means the time-out ran out
    Cancelled, // woken by setCommMask (the count holds what was transferred before)
    Failed,    // the device failed or is gone (USB unplug, hang-up)
};

// What a port knows about the bytes its last read delivered: when they were taken from the
// device (the program's best knowledge of when they crossed) and the line errors among them.
// Kept by the reading thread; its vectors keep their capacity, so a read allocates nothing.
struct ReadMarks {
    struct Arrival {
        std::uint32_t offset = 0;  // the bytes from here on (to the next arrival) were taken at `time`
        timeline::Stamp time;
    };
    struct Error {
        // The byte it belongs to; a break, a loss (overruns) or a line state a server reported:
        // the place before that byte, which may be the read's end (after its last byte).
        std::uint32_t offset = 0;
        timeline::LineError kind = timeline::LineError::ParityOrFraming;
        std::uint32_t lost = 0;    // overruns: bytes the driver counted as lost before here (0: not counted)
    };
    std::vector<Arrival> arrivals;  // ascending; the first at offset 0 whenever the read delivered bytes
    std::vector<Error> errors;      // ascending
    void clear()
    {
        arrivals.clear();
        errors.clear();
    }
};

// What a port saw on the line apart from its bytes.
struct PortEvent {
    enum class Kind {
        ModemChange,  // the modem inputs changed
        LineState,    // a line error the port cannot place at a byte (a server's report)
    };
    Kind kind = Kind::ModemChange;
    timeline::Stamp time;
    std::uint32_t lines = 0;    // ModemChange: the MS_* bits after it
    std::uint32_t changed = 0;  // ModemChange: the MS_* bits that changed
    std::uint32_t count = 1;    // ModemChange: changes the driver counted (a line that toggled counts twice)
    timeline::LineError error = timeline::LineError::ParityOrFraming;  // LineState
    std::uint32_t lost = 0;     // LineState, overruns: bytes the driver counted as lost (0: not counted)
};

class SerialPort {
public:
    virtual ~SerialPort() = default;
    SerialPort() = default;
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Line parameters. setCommState fails for values the record or the device cannot take;
    // getCommState reports what the device really has (members it cannot hold read back as set).
    virtual bool getCommState(Dcb& dcb) = 0;
    // Why the last setCommState failed (see SetStateFailure); a port that cannot tell gives only
    // the system error.
    [[nodiscard]] virtual SetStateFailure lastSetStateFailure() const { return {}; }
    virtual bool setCommState(const Dcb& dcb) = 0;
    virtual bool getCommTimeouts(CommTimeouts& t) = 0;
    virtual bool setCommTimeouts(const CommTimeouts& t) = 0;
    // Queue sizes are advisory on this platform; kept for the record.
    virtual bool setupComm(std::uint32_t inQueue, std::uint32_t outQueue) = 0;

    // Events. setCommMask also ends a waitCommEvent blocked in another thread (it then returns
    // true with no events); waitCommEvent blocks until an event of the mask holds or a wake.
    // While nothing will read the port's input queue (EV_RXFLAG alone, no event character
    // queued) and it is full, the device is still read: the oldest bytes are dropped and
    // CE_RXOVER is set, so the event character is still found.
    virtual bool setCommMask(std::uint32_t mask) = 0;
    virtual bool waitCommEvent(std::uint32_t& events) = 0;

    // Reads up to n bytes under the port's read time-outs, never longer than capMs
    // (a negative cap means no cap). `got` is the number of bytes delivered. Bytes the port had
    // already taken from the device when it was lost are still delivered; the call after fails.
    virtual IoStatus read(std::uint8_t* buf, std::size_t n, std::size_t& got, int capMs) = 0;
    // Writes n bytes under the port's write time-outs; a short `written` with Ok is a time-out.
    // Done once the driver has taken the bytes: the relay must not wait for the line, or it
    // would open gaps inside the frames it forwards.
    virtual IoStatus write(const std::uint8_t* data, std::size_t n, std::size_t& written) = 0;
    // As write, then waits, within the same write deadline, until the driver's output queue has
    // drained: the bytes have left (CTS or XOFF holding the line shows as a time-out). A short
    // `written` counts the bytes that went out.
    virtual IoStatus writeAndDrain(const std::uint8_t* data, std::size_t n, std::size_t& written) = 0;
    // Ends the write under way and every later one (Cancelled) until resumeWrites. Unlike
    // PURGE_TXABORT this cannot miss a write that starts just after it: a closing channel uses it
    // to free a relay writer whatever the line does.
    virtual void abortWrites() = 0;
    virtual void resumeWrites() = 0;

    // Reads and clears the error word; fills the status record when given. When the status query
    // fails (false), `errors` still holds the bits that were taken.
    virtual bool clearCommError(std::uint32_t& errors, ComStat* stat) = 0;
    // The same with only the input count of the status record (cbInQue): what a receive loop
    // asks after every wake, so a port may answer it with fewer calls to the system.
    virtual bool clearCommErrorInput(std::uint32_t& errors, std::uint32_t& inQueue)
    {
        ComStat stat;
        const bool ok = clearCommError(errors, &stat);
        inQueue = ok ? stat.cbInQue : 0;
        return ok;
    }
    virtual bool getCommModemStatus(std::uint32_t& status) = 0;
    virtual bool escapeCommFunction(int function) = 0;
    // PURGE_TXABORT / PURGE_RXABORT end a write / read blocked at that moment (Cancelled);
    // PURGE_TXCLEAR / PURGE_RXCLEAR discard what is queued.
    virtual bool purgeComm(std::uint32_t flags) = 0;

    // Settings the device has not confirmed (kSetting* bits): a remote server that did not
    // answer a control request within the bound, or a line without line control. A local port
    // confirms what it accepts (a refused setting fails the set), so it reports 0.
    [[nodiscard]] virtual std::uint32_t unconfirmedSettings() const { return 0; }

    // Ends, at once and for good, every wait for the device's answers (a remote server's): an
    // open that is given up must not hold its caller. Later settings and purges fail.
    virtual void cancelWaits() {}

    // True while the far end has held our output for a while (a remote server that suspended
    // the flow and has not resumed it); a short hold is ordinary flow control.
    [[nodiscard]] virtual bool heldByFarEnd() const { return false; }
    // `notify` is called, on the port's own thread, when heldByFarEnd changes (the same rules as
    // the loss notifier).
    virtual void setHoldNotifier(std::function<void()> notify) { (void)notify; }

    // True once the device has gone away (hang-up, unplug): every operation then fails, except
    // that reads deliver what the port had already taken from the device.
    [[nodiscard]] virtual bool lost() const = 0;
    [[nodiscard]] virtual LossReason lossReason() const = 0;
    // `notify` is called once, on whichever thread finds the port lost (set before the port is
    // shared; it must be quick and must not call back into the port).
    virtual void setLossNotifier(std::function<void()> notify) = 0;

    // ---- The line's timeline ----
    // The marks of the bytes the last read delivered (the reading thread, after each read).
    // A port that keeps none reports nothing, and the caller stamps the chunk itself. A line
    // error that comes while nothing is queued and no read has bytes to carry it goes to the
    // event sink instead (PortEvent::LineState), so it is never held back.
    virtual void takeReadMarks(ReadMarks& out) { out.clear(); }
    // Where the port reports modem-input changes and unplaced line states, on any thread of its
    // own, perhaps with the port's lock held (quick; must not call back into the port). Set
    // before the port is shared; a port that watches its modem lines starts watching here and
    // stops when it is destroyed.
    virtual void setEventSink(std::function<void(const PortEvent&)> sink) { (void)sink; }
    // Whether the driver holds the low latency asked for at open: nothing when the device has no
    // such setting (a pseudo-terminal, a network line).
    [[nodiscard]] virtual std::optional<bool> lowLatency() const { return std::nullopt; }
};

} // namespace kestrane
