#include "manual/dialog_pictures.h"

#include "app/ui/about_dialog.h"
#include "app/app_core.h"
#include "app/ui/draw_app.h"
#include "app/image_dio.h"
#include "app/ui/main_window.h"
#include "demo/demo_folder.h"
#include "demo/demo_instrument.h"
#include "macro/traffic_access.h"
#include "widgets/dialog_ids.h"
#include "macro/ui/clock_dialog.h"
#include "macro/ui/macro_dialog.h"
#include "sampling/ui/dio_monitor_dialog.h"
#include "sampling/ui/sampling_settings_dialog.h"
#include "sampling/ui/sampling_view_dialog.h"
#include "sending/character_send.h"
#include "settings/ui/com_port_dialog.h"
#include "settings/ui/dcb_dialog.h"
#include "settings/ui/display_settings_dialogs.h"
#include "settings/ui/line_status_dialog.h"
#include "settings/ui/other_settings_dialogs.h"
#include "settings/ui/port_config_dialog.h"
#include "sending/send_buffer.h"
#include "sending/ui/character_send_dialog.h"
#include "sending/ui/control_character_dialog.h"
#include "sending/ui/fixed_string_dialog.h"
#include "companions/ui/companion_windows.h"
#include "sending/ui/checksum_settings_dialog.h"
#include "records/settings_records.h"
#include "platform/comm_types.h"
#include "timeline/journal.h"
#include "traffic/ui/enumeration_dialog.h"
#include "traffic/ui/event_window.h"
#include "traffic/ui/search_dialog.h"

#include <QApplication>
#include <QFont>
#include <QLayout>
#include <QLinearGradient>
#include <QPainter>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QWidget>

#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <map>
#include <memory>

namespace kestrane::manual {

namespace {

// A pseudo-terminal pair that stands in for a serial line while a picture is taken.
struct PictureLine {
    int master = -1;
    int slave = -1;
    std::string path;
    PictureLine()
    {
        char name[128] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) == 0) {
            termios t{};
            ::tcgetattr(slave, &t);
            ::cfmakeraw(&t);
            ::tcsetattr(slave, TCSANOW, &t);
            path = name;
        }
    }
    ~PictureLine()
    {
        if (master >= 0)
            ::close(master);
        if (slave >= 0)
            ::close(slave);
    }
    PictureLine(const PictureLine&) = delete;
    PictureLine& operator=(const PictureLine&) = delete;
};

// What the windows are built with: a core in a folder of its own with the demo's first-run
// settings and files, both channels open on pseudo-terminals, and services that do nothing.
struct PictureContext {
    QTemporaryDir folder;
    PictureLine line1, line2;
    std::unique_ptr<AppCore> core;
    std::unique_ptr<TrafficBufferAccess> macroTraffic;
    std::unique_ptr<ImageDio> macroDio;

    PictureContext()
    {
        const std::filesystem::path dir = folder.path().toStdString();
        demo::writeDemoFilesIfMissing(dir);
        std::ofstream(dir / "ports.conf") << "COM1=" << line1.path << "\nCOM2=" << line2.path << "\n";
        core = std::make_unique<AppCore>(dir);
        core->settings() = demo::demoSettings();
        core->applySettings();
        core->channels().openChannel(1, 1);
        core->channels().openChannel(2, 2);
        macroTraffic = std::make_unique<TrafficBufferAccess>(core->traffic());
        macroDio = std::make_unique<ImageDio>(core->dio());
    }
    ~PictureContext()
    {
        core->channels().closeChannel(1);
        core->channels().closeChannel(2);
    }

    Settings& settings() { return core->settings(); }
    static MessageBoxFn noMessage()
    {
        return [](const QString&, QMessageBox::StandardButtons, QMessageBox::Icon) { return QMessageBox::Ok; };
    }
    static ManualAtPage noManual() { return [](int) {}; }

    SendDialogServices sendServices()
    {
        SendDialogServices s;
        s.settings = &settings().record;
        s.sendState = &core->sendState();
        s.transmit = [](int, std::span<const std::uint8_t>) { return TransmitResult::Transmitted; };
        s.message = noMessage();
        s.manualAtPage = noManual();
        s.startCharacterTable = [] { return true; };
        s.editFixedStrings = [] { return true; };
        s.startDirectory = core->startDirectory();
        return s;
    }

    MacroDialogContext macroContext()
    {
        return MacroDialogContext{core->macroMemory(),
                                  core->sendState(),
                                  settings().record,
                                  *macroTraffic,
                                  *macroDio,
                                  core->clock(),
                                  core->startDirectory(),
                                  [](int, std::span<const std::uint8_t>) { return TransmitResult::Transmitted; },
                                  [] {},
                                  noMessage(),
                                  noManual(),
                                  [](QWidget*, const QString&) { return std::optional<std::filesystem::path>(); }};
    }
};

using WidgetFactory = std::function<std::unique_ptr<QWidget>(PictureContext&)>;

template <typename Factory>
WidgetFactory widget(Factory make)
{
    return [make](PictureContext& c) -> std::unique_ptr<QWidget> { return std::unique_ptr<QWidget>(make(c)); };
}

// The code page 932 bytes of a reading of the demo instrument, for the enumeration picture.
std::vector<std::uint8_t> demoReading()
{
    return {0x02, 0x89, 0xB7, 0x93, 0x78, ' ', '+', '2', '3', '.', '4', 0x81, 0x8E, 0x03, 'C', '9', 0x0D, 0x0A};
}

// A Modbus request watched on CH1's line, the device's reply on CH2's 12 ms later, twice, the
// second reply with a parity error; between them the device's DSR dropped. For the line-events
// picture, read from the core's journal.
TEventWindow* lineEventsWindow(PictureContext& c)
{
    timeline::Journal& journal = c.core->journal();
    const timeline::Stamp start = timeline::now();
    const auto at = [&](std::int64_t us) { return timeline::Stamp{start.wallUs - 2'000'000 + us, start.monoUs - 2'000'000 + us}; };
    const std::vector<std::uint8_t> request{0x01, 0x03, 0x00, 0x00, 0x00, 0x02, 0xC4, 0x0B};
    const std::vector<std::uint8_t> reply{0x01, 0x03, 0x04, 0x00, 0x0A, 0x00, 0x14, 0xDA, 0x3E};
    std::uint64_t record = 0;
    for (int i = 0; i < 2; ++i) {
        const std::int64_t t = i * 500'000;
        journal.appendData(1, timeline::Direction::Received, at(t), record, request);
        record += request.size();
        journal.appendData(2, timeline::Direction::Received, at(t + 8'333 + 12'004 + i * 731), record, reply);
        if (i == 1) {
            timeline::Entry parity;
            parity.kind = timeline::Kind::LineError;
            parity.channel = 2;
            parity.time = at(t + 8'333 + 12'735);
            parity.record = record + 5;
            parity.detail = static_cast<std::uint8_t>(timeline::LineError::Parity);
            journal.append(parity);
        }
        record += reply.size();
        if (i == 0) {
            timeline::Entry dsr;
            dsr.kind = timeline::Kind::ModemChange;
            dsr.channel = 2;
            dsr.time = at(250'000);
            dsr.record = record;
            dsr.detail = MS_CTS_ON;
            dsr.value = MS_DSR_ON;
            dsr.count = 1;
            journal.append(dsr);
        }
    }
    EventWindowServices s;
    s.journal = &journal;
    s.rule = [](int) { return timeline::FrameRule{}; };
    s.manualAtPage = PictureContext::noManual();
    auto* w = new TEventWindow(std::move(s));
    w->readNow();
    w->resize(900, 260);
    return w;
}

// ---- The windows pictured in the manuals -------------------------------------------------
//
// HOOK for a new or changed window: one row per window, keyed by its id as the manual tables name
// it (manual_pages.cpp; a dialog's id from widgets/dialog_ids.h), building it from the context
// (the core, its settings, send and macro services); a new folder's *_ui library is linked to
// make_manual in manual/CMakeLists.txt. E.g.
//
//     {QString::fromLatin1(dialog_id::DioPorts), widget([](PictureContext& c) { return new TDialog2(...); })},
//
// A page whose id has no row keeps its title and text; make_manual lists such ids when it runs.
const std::map<QString, WidgetFactory>& factories()
{
    static const std::map<QString, WidgetFactory> table = {
        {QString::fromLatin1(dialog_id::ControlCharacters), widget([](PictureContext& c) { return new TDialog20(c.sendServices()); })},
        {QString::fromLatin1(dialog_id::LongStringSend), widget([](PictureContext& c) { return new TRsinputsend(c.core->sendDialogMemory().longString, c.sendServices()); })},
        {QString::fromLatin1(dialog_id::InputSignals), widget([](PictureContext& c) { return new TDialog25(c.core->channels()); })},
        {QString::fromLatin1(dialog_id::DioMonitor), widget([](PictureContext& c) {
             return new TDialog9(c.core->dio(), c.settings().record, PictureContext::noManual());
         })},
        {QString::fromLatin1(dialog_id::ComPort), widget([](PictureContext& c) {
             c.settings().record.comNumbersFromRegistry = 0;
             return new TDialog3(c.settings().record, [] { return PortEnumeration{}; }, PictureContext::noMessage(),
                                 PictureContext::noManual());
         })},
        {QString::fromLatin1(dialog_id::Macro), widget([](PictureContext& c) { return new TMacrosend(c.macroContext()); })},
        {QString::fromLatin1(dialog_id::Display), widget([](PictureContext& c) {
             return new TDialog5(c.settings().record, PictureContext::noMessage(), PictureContext::noManual());
         })},
        {QString::fromLatin1(dialog_id::About), widget([](PictureContext&) { return new TAboutDialog(); })},
        {QString::fromLatin1(dialog_id::PlSettings), widget([](PictureContext& c) {
             return new TDialog7(c.settings().record, PictureContext::noMessage(), PictureContext::noManual());
         })},
        {QString::fromLatin1(dialog_id::Dcb), widget([](PictureContext& c) {
             return new TDialog11(c.core->channels(), c.settings(), PictureContext::noManual());
         })},
        {QString::fromLatin1(dialog_id::OtherSettings), widget([](PictureContext& c) { return new TDialog13(c.settings()); })},
        {QString::fromLatin1(dialog_id::StartupSize), widget([](PictureContext& c) { return new TDialog14(c.settings(), PictureContext::noManual()); })},
        {QString::fromLatin1(dialog_id::SamplingSettings), widget([](PictureContext& c) { return new TDialog15(c.settings().sampling, [] {}); })},
        {QString::fromLatin1(dialog_id::SamplingView), widget([](PictureContext& c) { return new TDialog16(c.core->samples(), [] {}); })},
        {QString::fromLatin1(dialog_id::LineStatus), widget([](PictureContext& c) { return new TDialog17(c.core->channels(), c.core->lineStatus); })},
        {QString::fromLatin1(dialog_id::PortDetails), widget([](PictureContext& c) {
             return new TDialog18(c.settings().record, 1, PictureContext::noMessage(), PictureContext::noManual());
         })},
        {QString::fromLatin1(dialog_id::AutoLog), widget([](PictureContext& c) { return new TDialog19(c.settings().sampling, PictureContext::noManual()); })},
        {QString::fromLatin1(dialog_id::MacroClock), widget([](PictureContext& c) { return new TDialog22(c.settings().record); })},
        {QStringLiteral("serial"), widget([](PictureContext&) {
             return new TPortConfigDialog(1, PortConfig{}, PictureContext::noMessage());
         })},
        {QString::fromLatin1(dialog_id::TypedSend), widget([](PictureContext& c) { return new TRsinputsend1(c.core->sendDialogMemory().typed, c.sendServices()); })},
        {QString::fromLatin1(dialog_id::FixedStringSend), widget([](PictureContext& c) { return new TRsinputsend2(c.sendServices()); })},
        {QString::fromLatin1(dialog_id::Search),
         widget([](PictureContext&) { return new TSearchDialog(QStringLiteral("\"RD\""), [](const QByteArray&, SearchKind) {}); })},
        {QString::fromLatin1(dialog_id::Enumeration), widget([](PictureContext&) { return new TEnumerationDialog(demoReading()); })},
        {QString::fromLatin1(dialog_id::LineEvents), widget([](PictureContext& c) { return lineEventsWindow(c); })},
        {QString::fromLatin1(dialog_id::ChecksumSettings), widget([](PictureContext& c) { return new TDialog24(c.settings().record); })},
        {QStringLiteral("tolvek"), widget([](PictureContext&) {
             auto* w = new TolvekWindow();
             w->setInput(QStringLiteral("\"RD\""));
             return w;
         })},
        {QStringLiteral("glimra"), widget([](PictureContext&) {
             auto* w = new GlimraWindow();
             w->resize(560, 460);
             return w;
         })},
        {QStringLiteral("dornex"), widget([](PictureContext&) {
             auto* w = new DornexWindow();
             w->setType(IntegerType{8, true});
             w->type(Radix::Hex, QStringLiteral("C8"));
             return w;
         })},
    };
    return table;
}

// The contents with a plain title bar drawn above them, so the picture shows the title the way
// a window manager would.
QImage withTitleBar(const QImage& body, const QString& title)
{
    const int bar = 24;
    QImage out(body.width() + 2, body.height() + bar + 1, QImage::Format_RGB32);
    out.fill(QColor(0x50, 0x50, 0x50));
    QPainter p(&out);
    QLinearGradient g(0, 0, out.width(), 0);
    g.setColorAt(0, QColor(0x1f, 0x3f, 0x8f));
    g.setColorAt(1, QColor(0x6f, 0x8f, 0xcf));
    p.fillRect(QRect(1, 1, out.width() - 2, bar - 1), g);
    QFont f = QApplication::font();
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRect(8, 1, out.width() - 16, bar - 1), Qt::AlignVCenter | Qt::AlignLeft, title);
    p.drawImage(1, bar, body);
    return out;
}

QImage framed(QWidget& w)
{
    w.ensurePolished();
    if (w.layout())
        w.layout()->activate();
    if (w.size().isEmpty() || w.testAttribute(Qt::WA_Resized) == false)
        w.adjustSize();
    w.show();
    QApplication::processEvents();
    const QImage body = w.grab().toImage();
    w.hide();
    return withTitleBar(body, w.windowTitle());
}

void runEventsFor(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// The real main window in low-speed display with a few seconds of the demo instrument's line:
// the host's polls as sent data, the replies and readings as received data. CH1 is open (on a
// pseudo-terminal), as it is while such traffic is seen.
QImage mainWindowPicture()
{
    QTemporaryDir dir;
    const PictureLine line;
    std::ofstream(std::filesystem::path(dir.path().toStdString()) / "ports.conf") << "COM1=" << line.path << "\n";
    AppCore core(dir.path().toStdString());
    TDrawApp app(core);
    app.initMainWindow(false);
    MainFrame* frame = app.frame();
    frame->resize(670, 330);  // the standard width, fewer lines than at start-up
    frame->show();
    frame->client()->setUp();
    if (core.fastDisplay() == 1)
        frame->client()->toggleSpeed();
    runEventsFor(3 * core.settings().record.baseClockMs);  // the first tick empties the buffer

    const demo::Instrument instrument;
    const std::vector<std::uint8_t> poll = demo::hostPoll();
    for (int i = 0; i < 6; ++i) {
        const auto reading = instrument.periodicReading(i);
        core.traffic().appendReceived(1, reading.data(), static_cast<std::int32_t>(reading.size()));
        if (i % 2 == 1) {
            core.traffic().appendSent(1, poll.data(), static_cast<std::int32_t>(poll.size()));
            demo::Request request;
            request.frame = demo::Frame{{'R', 'D'}, demo::CheckForm::Crc16, false, {}};
            const auto reply = instrument.answer(request, i);
            core.traffic().appendReceived(1, reply.data(), static_cast<std::int32_t>(reply.size()));
        }
    }
    runEventsFor(6 * core.settings().record.baseClockMs);
    const QImage body = frame->grab().toImage();
    const QString title = frame->windowTitle();
    frame->hide();
    core.closeChannel(1);
    return withTitleBar(body, title);
}

} // namespace

QImage windowPicture(const QString& id)
{
    if (id == QStringLiteral("main"))
        return mainWindowPicture();
    const auto it = factories().find(id);
    if (it == factories().end())
        return {};
    PictureContext context;
    std::unique_ptr<QWidget> w = it->second(context);
    return w ? framed(*w) : QImage();
}

bool withWindow(const QString& id, const std::function<void(QWidget&)>& look)
{
    const auto it = factories().find(id);
    if (it == factories().end())
        return false;
    PictureContext context;
    std::unique_ptr<QWidget> w = it->second(context);
    if (!w)
        return false;
    framed(*w);
    w->show();
    QApplication::processEvents();
    look(*w);
    w->hide();
    return true;
}

QStringList picturedWindows()
{
    QStringList ids{QStringLiteral("main")};
    for (const auto& [id, factory] : factories())
        ids << id;
    return ids;
}

} // namespace kestrane::manual
