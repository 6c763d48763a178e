#include "manual/dialog_pictures.h"

#include "app/about_dialog.h"
#include "app/app_core.h"
#include "app/draw_app.h"
#include "app/main_window.h"
#include "demo/demo_folder.h"
#include "demo/demo_instrument.h"
#include "sending/character_send.h"
#include "sending/send_buffer.h"
#include "sending/ui/character_send_dialog.h"
#include "sending/ui/control_character_dialog.h"
#include "sending/ui/fixed_string_dialog.h"
#include "companions/companion_windows.h"
#include "sending/checksum_settings_dialog.h"
#include "settings/settings_records.h"
#include "traffic/ui/enumeration_dialog.h"
#include "traffic/ui/search_dialog.h"

#include <QApplication>
#include <QFont>
#include <QLayout>
#include <QLinearGradient>
#include <QPainter>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QWidget>

#include <functional>
#include <map>
#include <memory>

namespace kestrane::manual {

namespace {

// What the windows are built with: the demo's first-run settings, fixed strings in a folder of
// their own, and send services that send nothing.
struct PictureContext {
    Settings settings = demo::demoSettings();
    SendState sendState;
    CharacterSendMemory sendMemory;
    QTemporaryDir folder;

    PictureContext() { demo::writeDemoFilesIfMissing(folder.path().toStdString()); }

    SendDialogServices sendServices()
    {
        SendDialogServices s;
        s.settings = &settings.record;
        s.sendState = &sendState;
        s.transmit = [](int, std::span<const std::uint8_t>) { return 0; };
        s.message = [](const QString&, QMessageBox::StandardButtons, QMessageBox::Icon) { return QMessageBox::Ok; };
        s.manualAtPage = [](int) {};
        s.startCharacterTable = [] { return true; };
        s.editFixedStrings = [] { return true; };
        s.startDirectory = folder.path().toStdString();
        return s;
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

// ---- The windows pictured in the manuals -------------------------------------------------
//
// HOOK for dialogs that land later: add one row per dialog, keyed by its id as the manual tables
// name it (manual_pages.cpp), and link the dialog's *_ui library to make_manual in
// manual/CMakeLists.txt. For example:
//
//     {"705", widget([](PictureContext& c) { return new TDialog5(c.settings.record); })},
//     {"711", widget([](PictureContext& c) { return new TDialog11(c.settings.lineParams, ...); })},
//
// A page whose id has no row yet keeps its title and text; make_manual lists the ids still
// without a picture when it runs.
const std::map<QString, WidgetFactory>& factories()
{
    static const std::map<QString, WidgetFactory> table = {
        {QStringLiteral("20"), widget([](PictureContext& c) { return new TDialog20(c.sendServices()); })},
        {QStringLiteral("701"), widget([](PictureContext& c) { return new TRsinputsend(c.sendMemory, c.sendServices()); })},
        {QStringLiteral("706"), widget([](PictureContext&) { return new TAboutDialog(); })},
        {QStringLiteral("708"), widget([](PictureContext& c) { return new TRsinputsend1(c.sendMemory, c.sendServices()); })},
        {QStringLiteral("712"), widget([](PictureContext& c) { return new TRsinputsend2(c.sendServices()); })},
        {QStringLiteral("721"),
         widget([](PictureContext&) { return new TSearchDialog(QStringLiteral("\"RD\""), [](const QByteArray&, SearchKind) {}); })},
        {QStringLiteral("723"), widget([](PictureContext&) { return new TEnumerationDialog(demoReading()); })},
        {QStringLiteral("724"), widget([](PictureContext& c) { return new TDialog24(c.settings.record); })},
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
// the host's polls as sent data, the replies and readings as received data.
QImage mainWindowPicture()
{
    QTemporaryDir dir;
    AppCore core(dir.path().toStdString(), [](int, OpenError&) { return std::unique_ptr<SerialPort>(); });
    TDrawApp app(core);
    app.initMainWindow(false);
    MainFrame* frame = app.frame();
    core.settings().record.ch1ComNumber = 1;
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

QStringList picturedWindows()
{
    QStringList ids{QStringLiteral("main")};
    for (const auto& [id, factory] : factories())
        ids << id;
    return ids;
}

} // namespace kestrane::manual
