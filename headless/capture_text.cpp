#include "headless/capture_text.h"

#include "capture/rtac_serial.h"
#include "headless/text_grid.h"
#include "platform/system_reason.h"
#include "traffic/draw_ops.h"
#include "traffic/traffic_planes.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace kestrane::headless {

namespace {

constexpr std::uint8_t kSectionHeaderType[] = {0x0A, 0x0D, 0x0D, 0x0A};

// ---- times ----

// Wide enough for any 64-bit time stamp of any resolution in nanoseconds.
__extension__ typedef __int128 Wide;

// A packet's time as nanoseconds since 1970.
Wide nanoseconds(std::uint64_t timestamp, const pcapng::Interface& interface)
{
    const std::uint64_t units = interface.unitsPerSecond();
    return static_cast<Wide>(timestamp / units) * 1'000'000'000
           + static_cast<Wide>(timestamp % units) * 1'000'000'000 / units;
}

// Digits after the second that the interface's resolution holds: 6 for microseconds, 0 for
// whole seconds, at most 9.
int fractionDigits(const pcapng::Interface& interface)
{
    if (interface.tsResolution & 0x80)
        return 9;
    return std::min(interface.tsResolution & 0x7F, 9);
}

// "2025-06-15 12:34:56.123456" in local time; "@SECONDS.FRACTION" when the calendar cannot say.
std::string timeText(std::uint64_t timestamp, const pcapng::Interface& interface)
{
    const std::uint64_t units = interface.unitsPerSecond();
    const std::uint64_t seconds = timestamp / units;
    const int digits = fractionDigits(interface);
    std::string fraction;
    if (digits > 0) {
        std::uint64_t scale = 1;
        for (int i = 0; i < digits; ++i)
            scale *= 10;
        const auto part = static_cast<std::uint64_t>(static_cast<Wide>(timestamp % units) * scale / units);
        char text[16];
        std::snprintf(text, sizeof text, ".%0*llu", digits, static_cast<unsigned long long>(part));
        fraction = text;
    }
    std::tm tm{};
    const auto t = static_cast<std::time_t>(seconds);
    char text[64];
    if (seconds <= static_cast<std::uint64_t>(INT64_MAX / 2) && localtime_r(&t, &tm) != nullptr && tm.tm_year < 8000) {
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                      tm.tm_hour, tm.tm_min, tm.tm_sec);
    } else {
        std::snprintf(text, sizeof text, "@%llu", static_cast<unsigned long long>(seconds));
    }
    return text + fraction;
}

// "+0.020113": an interval in microseconds with its sign.
std::string intervalText(Wide ns)
{
    const bool negative = ns < 0;
    const Wide us = (negative ? -ns : ns) / 1000;
    const auto whole = static_cast<unsigned long long>(std::min<Wide>(us / 1'000'000, UINT64_MAX));
    char text[48];
    std::snprintf(text, sizeof text, "%c%llu.%06llu", negative ? '-' : '+', whole,
                  static_cast<unsigned long long>(us % 1'000'000));
    return text;
}

// ---- what a packet is ----

enum class Role { Sent, Received, Data, Event };

struct PacketView {
    Role role = Role::Data;
    std::span<const std::uint8_t> bytes;  // the line's bytes (after the serial header)
    std::uint8_t event = 0;
    std::uint8_t lines = 0;
    bool serial = false;                  // of the serial link type, with its header
};

PacketView view(const pcapng::Packet& p, const pcapng::Interface& interface)
{
    PacketView v;
    v.bytes = p.data;
    if (interface.linkType == pcapng::kLinkTypeRtacSerial) {
        if (const auto header = rtac::parseHeader(p.data)) {
            v.serial = true;
            v.bytes = std::span(p.data).subspan(rtac::kHeaderSize);
            v.event = static_cast<std::uint8_t>(header->event);
            v.lines = header->lines;
            switch (header->event) {
            case rtac::Event::DataSent:
            case rtac::Event::DataSentEnd: v.role = Role::Sent; break;
            case rtac::Event::DataReceived:
            case rtac::Event::DataReceivedEnd: v.role = Role::Received; break;
            default: v.role = Role::Event; break;
            }
            return v;
        }
    }
    v.role = p.direction == pcapng::Direction::Outbound  ? Role::Sent
             : p.direction == pcapng::Direction::Inbound ? Role::Received
                                                          : Role::Data;
    return v;
}

std::string eventWords(std::uint8_t event)
{
    switch (static_cast<rtac::Event>(event)) {
    case rtac::Event::StatusChange: return "modem lines";
    case rtac::Event::CaptureDataLost: return "capture data lost";
    case rtac::Event::CaptureComplete: return "capture complete";
    case rtac::Event::FramingError: return "framing error";
    case rtac::Event::ParityError: return "parity error";
    case rtac::Event::Break: return "break";
    case rtac::Event::Overflow: return "overrun";
    default: break;
    }
    char text[24];
    std::snprintf(text, sizeof text, "event 0x%02X", event);
    return text;
}

// The control lines that are on: "CTS DSR RTS DTR", "none".
std::string linesText(std::uint8_t lines)
{
    static constexpr std::pair<std::uint8_t, const char*> kNames[] = {
        {rtac::line::kCts, "CTS"}, {rtac::line::kDcd, "DCD"}, {rtac::line::kDsr, "DSR"}, {rtac::line::kRts, "RTS"},
        {rtac::line::kDtr, "DTR"}, {rtac::line::kRing, "RI"},  {0x40, "MBOK"}};
    std::string text;
    for (const auto& [bit, name] : kNames)
        if (lines & bit)
            text += (text.empty() ? "" : " ") + std::string(name);
    return text.empty() ? "none" : text;
}

std::string hexBytes(std::span<const std::uint8_t> bytes)
{
    std::string text;
    text.reserve(bytes.size() * 3);
    for (const std::uint8_t b : bytes) {
        char hex[4];
        std::snprintf(hex, sizeof hex, text.empty() ? "%02X" : " %02X", b);
        text += hex;
    }
    return text;
}

// ---- the text forms ----

void printPacketRows(std::string& out, const std::string& head, const std::string& label, const PacketView& v,
                     bool ch2, const LogTextOptions& options)
{
    const std::string blank(head.size(), ' ');
    const bool red = options.colour && ch2;
    auto row = [&](bool first, const std::string& text) {
        out += (first ? head : blank) + label + " |";
        out += red ? "\x1b[31m" + text + "\x1b[0m" : text;
        out += '\n';
    };
    if (v.role == Role::Event) {
        std::string text = eventWords(v.event) + "; lines " + linesText(v.lines);
        if (!v.bytes.empty())
            text += "; bytes " + hexBytes(v.bytes);
        row(true, text);
        return;
    }
    if (v.bytes.empty()) {
        row(true, {});
        return;
    }
    // The bytes drawn by the display's rules, in the row of their tag.
    const std::uint8_t tag = static_cast<std::uint8_t>((v.role == Role::Sent ? '0' : '1') + (ch2 ? 2 : 0));
    const int width = std::clamp(options.width, 1, 1000);
    const bool hex = options.form == LogForm::Hex;
    TextGrid grid(width, hex);
    PendingLead pending;
    for (std::size_t i = 0; i < v.bytes.size(); ++i) {
        const int cell = static_cast<int>(i % static_cast<std::size_t>(width));
        if (cell == 0)
            grid.startLine(static_cast<std::int32_t>(i));
        const int line = static_cast<int>(grid.lineCount()) - 1;
        drawByte(v.bytes[i], tag, hex ? DisplayMode::Hex : DisplayMode::Asc, display::kFirstCellX + cell * display::kCellWidth,
                 line * display::kLineHeight, pending, grid);
    }
    drawLoneLead(pending, grid);
    for (std::size_t line = 0; line < grid.lineCount(); ++line)
        row(line == 0, grid.hasRow(line, tag - '0') ? grid.rowText(line, tag - '0') : std::string());
}

std::string displayText(const pcapng::File& file, const LogTextOptions& options)
{
    std::string out;
    for (std::size_t i = 0; i < file.interfaces.size(); ++i) {
        const pcapng::Interface& f = file.interfaces[i];
        out += "# CH" + std::to_string(i + 1) + " = " + (f.name.empty() ? "(no name)" : f.name);
        if (!f.description.empty())
            out += ": " + f.description;
        if (f.linkType != pcapng::kLinkTypeRtacSerial)
            out += " (link type " + std::to_string(f.linkType) + ")";
        out += '\n';
    }
    bool havePrevious = false;
    Wide previous = 0;
    for (const pcapng::Packet& p : file.packets) {
        const pcapng::Interface& f = file.interfaces[p.interfaceId];
        const PacketView v = view(p, f);
        std::string head = timeText(p.timestamp, f) + " ";
        if (options.form == LogForm::Time) {
            const Wide ns = nanoseconds(p.timestamp, f);
            head += intervalText(havePrevious ? ns - previous : 0) + " ";
            previous = ns;
            havePrevious = true;
        }
        const char* role = v.role == Role::Sent ? "SEND" : v.role == Role::Received ? "READ" : v.role == Role::Event ? "LINE" : "DATA";
        const std::string label = "CH" + std::to_string(p.interfaceId + 1) + " " + role;
        printPacketRows(out, head, label, v, p.interfaceId % 2 == 1, options);
    }
    return out;
}

std::string csvText(const pcapng::File& file)
{
    std::string out = "time,channel,direction,bytes,event,lines\n";
    for (const pcapng::Packet& p : file.packets) {
        const pcapng::Interface& f = file.interfaces[p.interfaceId];
        const PacketView v = view(p, f);
        out += timeText(p.timestamp, f) + "," + std::to_string(p.interfaceId + 1) + ",";
        out += v.role == Role::Sent ? "sent" : v.role == Role::Received ? "received" : "";
        out += "," + hexBytes(v.bytes) + ",";
        if (v.role == Role::Event)
            out += eventWords(v.event);
        out += ",";
        if (v.serial)
            out += linesText(v.lines);
        out += "\n";
    }
    return out;
}

// ---- a log as a capture ----

// The latest moment on or before `notAfter` (local time) on the stamp's day of the month and at
// its time: the month of `notAfter` or one before it that has that day.
std::optional<std::time_t> stampMoment(const CalendarTime& stamp, std::time_t notAfter)
{
    std::tm limit{};
    if (localtime_r(&notAfter, &limit) == nullptr)
        return std::nullopt;
    const int second = std::min(stamp.second, 59);  // a leap second counts after :59
    for (int back = 0; back <= 12; ++back) {
        int month = limit.tm_mon - back;
        int year = limit.tm_year;
        while (month < 0) {
            month += 12;
            --year;
        }
        std::tm tm{};
        tm.tm_year = year;
        tm.tm_mon = month;
        tm.tm_mday = stamp.day;
        tm.tm_hour = stamp.hour;
        tm.tm_min = stamp.minute;
        tm.tm_sec = second;
        tm.tm_isdst = -1;
        const std::time_t at = std::mktime(&tm);
        if (at == -1 || tm.tm_mday != stamp.day || tm.tm_mon != month)
            continue;  // that month has no such day
        if (at + (stamp.second - second) <= notAfter)
            return at + (stamp.second - second);
    }
    return std::nullopt;
}

} // namespace

bool looksLikeCapture(std::span<const std::uint8_t> head)
{
    return head.size() >= 4 && std::equal(std::begin(kSectionHeaderType), std::end(kSectionHeaderType), head.begin());
}

CaptureRead parseCapture(std::span<const std::uint8_t> bytes)
{
    CaptureRead r;
    pcapng::File file;
    const pcapng::ReadError error = pcapng::read(bytes, file);
    if (!error.ok()) {
        r.error = "is not a whole capture: at byte " + std::to_string(error.offset) + ", " + error.reason;
        return r;
    }
    r.file = std::move(file);
    return r;
}

CaptureRead readCapture(const std::filesystem::path& path)
{
    const auto refuse = [](std::string why) { return CaptureRead{std::nullopt, std::move(why)}; };
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        return refuse("is a folder, not a capture");
    if (const std::uintmax_t size = std::filesystem::file_size(path, ec); !ec && size > kMaxCaptureFileSize)
        return refuse("is larger than 2 GiB: split it first (editcap -c)");
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr)
        return refuse("cannot be read: " + systemReason(errno, ReasonLanguage::English));
    std::vector<std::uint8_t> bytes;
    std::uint8_t block[65536];
    bool tooLarge = false;
    while (const std::size_t n = std::fread(block, 1, sizeof block, f)) {
        bytes.insert(bytes.end(), block, block + n);
        if (bytes.size() > kMaxCaptureFileSize) {
            tooLarge = true;
            break;
        }
    }
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (tooLarge)
        return refuse("is larger than 2 GiB: split it first (editcap -c)");
    if (failed)
        return refuse("cannot be read: an input/output error");
    return parseCapture(bytes);
}

std::string captureText(const pcapng::File& file, const LogTextOptions& options)
{
    return options.form == LogForm::Csv ? csvText(file) : displayText(file, options);
}

std::vector<std::uint8_t> logCapture(const LogImage& log, const LogCaptureOptions& options)
{
    struct Run {
        std::uint8_t tag;
        std::int32_t from, to;
        int stamp;  // the stamp in force (the last one before or at the run), -1 before the first
    };
    std::vector<CalendarTime> stamps;
    std::vector<Run> runs;
    for (std::int32_t i = 0; i < log.length;) {
        const std::uint8_t tag = log.tags[static_cast<std::size_t>(i)];
        if (const TimeStamp stamp = logTimeStamp(log, i); stamp.length > 0) {
            stamps.push_back(stamp.time);
            i += stamp.length;
        }
        const std::int32_t from = i;
        while (i < log.length && log.tags[static_cast<std::size_t>(i)] == tag && logTimeStamp(log, i).length == 0)
            ++i;
        // A stamp followed by another stamp or by bytes of another tag makes no run; its time
        // still counts for the bytes after it.
        if (i > from)
            runs.push_back({tag, from, i, static_cast<int>(stamps.size()) - 1});
    }

    // The stamps from the last back: each on or before the one after it, the last on or before
    // the moment the file was saved.
    const bool timed = options.savedAt.has_value() && !stamps.empty();
    std::vector<std::time_t> moments(stamps.size(), 0);
    if (timed) {
        std::time_t notAfter = *options.savedAt;
        for (std::size_t k = stamps.size(); k-- > 0;) {
            moments[k] = stampMoment(stamps[k], notAfter).value_or(notAfter);
            notAfter = moments[k];
        }
    }

    std::vector<std::uint8_t> out;
    pcapng::appendSectionHeader(out, "kestrane-log");
    const std::string times = timed ? "times to the second, from the log's time stamps" : "no times in the log";
    for (const char* name : {"CH1", "CH2"}) {
        pcapng::Interface interface;
        interface.name = name;
        interface.description = options.source + (options.source.empty() ? "" : "; ") + times;
        interface.tsResolution = 0;  // whole seconds: the log holds nothing finer
        pcapng::appendInterface(out, interface);
    }
    for (const Run& run : runs) {
        const bool ch2 = run.tag == kTagCh2Sent || run.tag == kTagCh2Received || (run.tag == kTagCh1Sent && options.monitor);
        const bool sent = run.tag == kTagCh2Sent || (run.tag == kTagCh1Sent && !options.monitor);
        const std::time_t moment = !timed ? 0 : moments[static_cast<std::size_t>(std::max(run.stamp, 0))];
        const auto seconds = static_cast<std::uint32_t>(std::clamp<std::int64_t>(moment, 0, UINT32_MAX));
        std::vector<std::uint8_t> data;
        rtac::appendHeader(data, {seconds, 0, sent ? rtac::Event::DataSent : rtac::Event::DataReceived, 0});
        data.insert(data.end(), log.data.begin() + run.from, log.data.begin() + run.to);
        pcapng::appendPacket(out, ch2 ? 1 : 0, seconds, sent ? pcapng::Direction::Outbound : pcapng::Direction::Inbound, data);
    }
    return out;
}

} // namespace kestrane::headless
