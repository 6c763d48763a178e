#include "app/ui/main_window.h"

#include "app/command_ids.h"
#include "app/app_core.h"
#include "app/ui/device_field.h"
#include "app/ui/document_opener.h"
#include "app/ui/event_commands.h"
#include "app/ui/macro_commands.h"
#include "app/menu_tree.h"
#include "app/ui/sampling_commands.h"
#include "app/ui/sending_commands.h"
#include "app/ui/settings_commands.h"
#include "app/ui/shell_commands.h"
#include "app/startup_sequence.h"
#include "app/status_text.h"
#include "traffic/display_zoom.h"
#include "traffic/ui/traffic_view.h"
#include "app/ui/view_log_commands.h"
#include "settings/dialog_values.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStatusBar>
#include <QTimerEvent>

// The images (display bitmaps, icons) are compiled into this static library; without a
// reference the linker drops them, so the window registers them itself.
static void registerImageResources() { Q_INIT_RESOURCE(resources); }

namespace kestrane {

// ---- TDrawWindow -------------------------------------------------------------------------

TDrawWindow::TDrawWindow(AppCore& core, StartupView& view, QWidget* parent)
    : QAbstractScrollArea(parent),
      core_(core),
      tools_(Processes::forThisProcess(), core.settings(), core.startDirectory())
{
    setObjectName(QStringLiteral("TDrawWindow"));
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    verticalScrollBar()->setSingleStep(1);
    viewport()->setAutoFillBackground(true);
    viewport()->setBackgroundRole(QPalette::Base);
    setFocusPolicy(Qt::StrongFocus);
    registerImageResources();
    tools_.documentOpener = [this](const std::filesystem::path& document) {
        return openDocumentWatched(tools_.processes(), document, core_.startDirectory(), kestraneMessageBox(this), this);
    };
    // Before the start-up steps: the channels opened in steps 4 and 5 feed the display at once.
    display_ = std::make_unique<TrafficView>(*this, core_.traffic(), core_.settings().record);
    display_->setZoom(core_.zoomPercent());
    display_->setInspectionNotes([this](const Inspection& byte) { return inspectionNotes(core_, byte); });

    message = kestraneMessageBox(this);
    askSaveAtExit = [this] {
        return showMessage(this, QCoreApplication::translate("MainWindow", "保存しますか?"),
                           QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Question);
    };

    // Both receive-thread flags are cleared before anything is opened.
    core_.channels().closeChannel(1);
    core_.channels().closeChannel(2);

    startup_ = runStartupSteps(core_, view, [this] { display_->loadBitmaps(); });

    ViewWindowOps ops;
    ops.invalidate = [this] { viewport()->update(); };
    ops.repaintNow = [this] { viewport()->repaint(); };
    ops.scrollToLine = [this](std::int32_t line) { display_->scrollToLine(line); };
    ops.topLine = [this] { return static_cast<std::int32_t>(display_->scrollLine()); };
    ops.maxTopLine = [this] { return static_cast<std::int32_t>(verticalScrollBar()->maximum()); };
    ops.refreshStatus = [this] { updateStatusText(); };
    ops.clearCellMap = [this] { display_->clearScreenCellMap(); };
    ops.printSize = [this] { return viewport()->size(); };
    ops.renderForPrint = [this](QPainter& painter, const QRect& area) {
        display_->render(painter, area, core_.fastDisplay() == 1);
    };
    viewCommands_ = std::make_unique<ViewAndLogCommands>(core_, this, std::move(ops));
    viewCommands_->message = [this](const QString& text, QMessageBox::StandardButtons buttons, QMessageBox::Icon icon) {
        return showMessage(this, text, buttons, icon);
    };

    SettingsWindowOps settingsOps;
    settingsOps.refreshStatus = [this] { updateStatusText(); };
    settingsOps.repaintNow = [this] { viewport()->repaint(); };
    settingsOps.displayChanged = [this] {
        display_->resized();
        viewport()->repaint();
    };
    settingsOps.restartTimer1 = [this] { startTimer1(); };
    settingsCommands_ = std::make_unique<SettingsCommands>(
        core_, this, [this](int page) { tools_.openManualAtPage(page); }, std::move(settingsOps));
    eventCommands_ = std::make_unique<EventCommands>(core_, *this, [this](int page) { tools_.openManualAtPage(page); });
    registerCommands();
}

TDrawWindow::~TDrawWindow() = default;

void TDrawWindow::registerCommands()
{
    commands_.setRule([this](int id) { return commandRule(id, commandState()); });
    commands_.add(cmd::Exit, [this] { window()->close(); });
    commands_.add(cmd::ToggleSpeed, [this] { toggleSpeed(); }, [this] { return core_.settings().record.displayMode == DisplayMode::Asc; });
    registerShellCommands(commands_, this, tools_, core_);
    registerViewAndLogCommands(commands_, *viewCommands_);
    sendingCommands_ = registerSendingCommands(commands_, *this, core_, tools_);
    registerSamplingCommands(commands_, this, tools_, core_);
    registerSettingsCommands(commands_, *settingsCommands_);
    registerMacroCommands(commands_, *this, core_, tools_);
    registerEventCommands(commands_, *eventCommands_);
    for (const auto& [id, percent] : {std::pair{cmd::Zoom100, 100}, {cmd::Zoom150, 150}, {cmd::Zoom200, 200}}) {
        const int zoom = percent;
        commands_.add(id, [this, zoom] { setZoom(zoom); }, [] { return true; });
        commands_.setCheck(id, [this, zoom] { return core_.zoomPercent() == zoom; });
    }
}

CommandState TDrawWindow::commandState() const
{
    const SettingsRecord& r = core_.settings().record;
    CommandState s;
    s.ch2Mode = r.ch2Mode;
    s.ch1Running = core_.channels().running(1);
    s.ch2Running = core_.channels().running(2);
    s.fastDisplay = core_.fastDisplay();
    s.displayMode = r.displayMode;
    s.dioFitted = r.dioFitted;
    return s;
}

void TDrawWindow::setUp()
{
    updateStatusText();
    startTimer1();
}

void TDrawWindow::startTimer1()
{
    stopTimer1();
    // A period the timer service cannot run (0, negative) becomes its shortest one.
    timer1IntervalMs_ = timerPeriodMs(core_.settings().record.baseClockMs);
    timer1_ = startTimer(timer1IntervalMs_, Qt::PreciseTimer);
}

void TDrawWindow::stopTimer1()
{
    if (timer1_ != 0) {
        killTimer(timer1_);
        timer1_ = 0;
    }
}

bool TDrawWindow::timerRunning() const { return timer1_ != 0; }

void TDrawWindow::startTransferTimer(int channel, int ms)
{
    if (channel == 1 || channel == 2)
        transferTimers_[static_cast<std::size_t>(channel - 1)].start(ms, Qt::PreciseTimer, this);
}

void TDrawWindow::stopTransferTimer(int channel)
{
    if (channel == 1 || channel == 2)
        transferTimers_[static_cast<std::size_t>(channel - 1)].stop();
}

bool TDrawWindow::transferTimerActive(int channel) const
{
    return (channel == 1 || channel == 2) && transferTimers_[static_cast<std::size_t>(channel - 1)].isActive();
}

void TDrawWindow::updateStatusText()
{
    emit statusTextChanged(statusText(core_.settings().record, core_.fastDisplay()));
}

bool TDrawWindow::canClose()
{
    if (core_.traffic().unsavedData() && core_.settings().record.noExitSaveQuery == 0) {
        const auto answer = askSaveAtExit();
        if (answer == QMessageBox::Cancel)
            return false;
        // The overwrite-save command; only a save that did not happen keeps the window open
        // (traffic arriving during the save dialog marks the buffer unsaved again).
        if (answer == QMessageBox::Yes && !viewCommands_->saveLog())
            return false;
    }
    const QString notSaved = settingsNotSavedText(core_.shutdown());
    stopTimer1();
    if (!notSaved.isEmpty())
        message(notSaved, QMessageBox::Ok, QMessageBox::Warning);
    return true;
}

QString settingsNotSavedText(const SettingsSaveResults& results)
{
    QStringList failed;
    for (const SettingsFileResult& r : results)
        if (!r.result)
            failed << withSystemReason(QString::fromStdString(r.file.string()), r.result.systemError);
    if (failed.isEmpty())
        return {};
    return QCoreApplication::translate("MainWindow", "設定ファイルを保存できませんでした。変更した設定は次回の起動に引き継がれません。\n\n")
           + failed.join(QStringLiteral("\n\n"));
}

void TDrawWindow::timerEvent(QTimerEvent* event)
{
    for (int channel : {1, 2}) {
        if (event->timerId() == transferTimers_[static_cast<std::size_t>(channel - 1)].timerId()) {
            sendingCommands_->transferTick(channel);  // timers 2 and 3
            return;
        }
    }
    if (event->timerId() != timer1_) {
        QAbstractScrollArea::timerEvent(event);
        return;
    }
    // Display work: new bytes, idle redisplay, the start-up clear on the first tick.
    display_->timerTick(core_.fastDisplay() == 1);
    // Automatic logging's page captures, when the user turned them on.
    core_.writePageCaptures();
    // A search hit waiting for its frame: scroll to it and frame it in red.
    if (const auto hit = viewCommands_->takePendingHighlight()) {
        display_->scrollToLine(hit->topLine);
        const PixelRect frame{hit->x, hit->y, hit->width, hit->height};
        if (searchHighlight_)
            viewport()->update(searchFrameArea());
        searchHighlight_ = frame;
        viewport()->update(searchFrameArea());
    }
    if (auto* frame = qobject_cast<MainFrame*>(window()))
        frame->refreshMenuBarCommands();
}

void TDrawWindow::paintEvent(QPaintEvent* event)
{
    display_->paint(event->rect(), core_.fastDisplay() == 1);
    if (searchHighlight_ && event->rect().intersects(searchFrameArea())) {
        // In display units, magnified like the display itself.
        QPainter p(viewport());
        p.scale(display_->scale(), display_->scale());
        p.setPen(QPen(QColor(255, 0, 0), 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRect(searchHighlight_->x, searchHighlight_->y, searchHighlight_->width, searchHighlight_->height));
    }
}

QRect TDrawWindow::searchFrameArea() const
{
    if (!searchHighlight_)
        return {};
    const PixelRect& r = *searchHighlight_;
    return display_->toClient(PixelRect{r.x - 1, r.y - 1, r.width + 3, r.height + 3});
}

void TDrawWindow::setZoom(int percent)
{
    core_.setZoomPercent(percent);
    display_->setZoom(core_.zoomPercent());
    searchHighlight_.reset();
    display_->scrollToLine(display_->scrollLine());
    viewport()->update();
}

void TDrawWindow::showRecordBytes(std::int32_t index, std::int32_t length)
{
    const std::int32_t cpl = std::max(display_->lowSpeed().charsPerLine(), 1);
    const std::int32_t width = std::clamp(length, 0, cpl - index % cpl);
    const SearchHighlight h = searchHighlight(index, width, cpl,
                                              display_->lowSpeed().lineCount(core_.settings().record.bufferSize),
                                              verticalScrollBar()->maximum());
    display_->scrollToLine(h.topLine);  // a scroll drops the frame shown before
    if (searchHighlight_)
        viewport()->update(searchFrameArea());
    searchHighlight_.reset();
    if (width > 0) {
        searchHighlight_ = PixelRect{h.x, h.y, h.width, h.height};
        viewport()->update(searchFrameArea());
    }
}

void TDrawWindow::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    display_->resized();
}

void TDrawWindow::scrollContentsBy(int /*dx*/, int dy)
{
    searchHighlight_.reset();  // the frame marks a place on the screen, not in the traffic
    display_->scrolledBy(dy, core_.fastDisplay() == 1);
}

void TDrawWindow::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        display_->mousePressed(event->position().toPoint());
    else if (event->button() == Qt::RightButton)
        viewCommands_->rightButtonDown(event->position().toPoint().x(), event->position().toPoint().y());
    QAbstractScrollArea::mousePressEvent(event);
}

void TDrawWindow::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        display_->mouseReleased(event->position().toPoint());
    else if (event->button() == Qt::RightButton)
        viewCommands_->rightButtonUp(event->position().toPoint().x(), event->position().toPoint().y());
    QAbstractScrollArea::mouseReleaseEvent(event);
}

void TDrawWindow::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_F5:
        toggleSpeed();  // in any display mode
        return;
    case Qt::Key_F3:
        viewCommands_->continueSearch(true);
        return;
    case Qt::Key_F4:
        viewCommands_->continueSearch(false);
        return;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
    case Qt::Key_Minus:
    case Qt::Key_0:
        // Ctrl with +, - or 0: the magnification one step up, down, or back to 100 %.
        if (event->modifiers() & Qt::ControlModifier) {
            setZoom(event->key() == Qt::Key_0 ? 100 : zoomStep(core_.zoomPercent(), event->key() == Qt::Key_Minus ? -1 : 1));
            return;
        }
        QAbstractScrollArea::keyPressEvent(event);
        return;
    default:
        QAbstractScrollArea::keyPressEvent(event);
    }
}

void TDrawWindow::toggleSpeed()
{
    const bool fast = core_.fastDisplay() != 1;
    core_.setFastDisplay(fast ? 1 : 0);
    display_->speedChanged(fast);
    updateStatusText();
}

// ---- MainFrame -----------------------------------------------------------------------------

MainFrame::MainFrame(TDrawWindow* client, QWidget* parent) : QMainWindow(parent), client_(client)
{
    setObjectName(QStringLiteral("MainFrame"));
    setWindowTitle(QStringLiteral("Kestrane Ver1.91"));
    setCentralWidget(client_);
    buildMenu();

    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("statusText"));
    statusBar()->addWidget(status_, 1);
    deviceField_ = new DeviceField(client_->core(), this);
    statusBar()->addPermanentWidget(deviceField_);
    statusBar()->setSizeGripEnabled(true);
    connect(client_, &TDrawWindow::statusTextChanged, status_, &QLabel::setText);
}

QString MainFrame::statusText() const { return status_->text(); }

namespace {
// A label of the menu tree in the language of this run.
QString menuText(const char* label) { return QCoreApplication::translate("Menu", label); }
} // namespace

void MainFrame::buildMenu()
{
    QMenuBar* bar = menuBar();
    const std::function<void(QMenu*, const std::vector<MenuEntry>&)> fill = [&](QMenu* menu,
                                                                             const std::vector<MenuEntry>& items) {
        for (const MenuEntry& e : items) {
            if (e.kind == MenuEntry::Separator) {
                menu->addSeparator();
            } else if (e.kind == MenuEntry::Submenu) {
                QMenu* sub = menu->addMenu(menuText(e.label));
                connect(sub, &QMenu::aboutToShow, this, [this, sub] { refreshMenu(sub); });
                fill(sub, e.items);
            } else {
                QAction* a = menu->addAction(menuText(e.label));
                a->setData(e.id);
                a->setObjectName(QString::number(e.id));
                a->setCheckable(client_->commands().checked(e.id).has_value());
                const int id = e.id;
                connect(a, &QAction::triggered, this, [this, id] {
                    client_->commands().dispatch(id);
                    refreshMenuBarCommands();
                });
            }
        }
    };
    for (const MenuEntry& top : mainMenuTree()) {
        if (top.kind == MenuEntry::Submenu) {
            QMenu* menu = bar->addMenu(menuText(top.label));
            connect(menu, &QMenu::aboutToShow, this, [this, menu] { refreshMenu(menu); });
            fill(menu, top.items);
        } else {
            QAction* a = bar->addAction(menuText(top.label));
            a->setData(top.id);
            a->setObjectName(QStringLiteral("bar") + QString::number(top.id));
            const int id = top.id;
            connect(a, &QAction::triggered, this, [this, id] {
                client_->commands().dispatch(id);
                refreshMenuBarCommands();
            });
            barCommands_.append(a);
        }
    }
    refreshAllCommands();
}

void MainFrame::refreshMenu(QMenu* menu)
{
    for (QAction* a : menu->actions()) {
        if (a->menu() || a->isSeparator())
            continue;
        a->setEnabled(client_->commands().isEnabled(a->data().toInt()));
        if (const auto on = client_->commands().checked(a->data().toInt()))
            a->setChecked(*on);
    }
}

void MainFrame::refreshMenuBarCommands()
{
    if (deviceField_)
        deviceField_->refresh();  // after every command and timer tick: opens and closes show at once
    for (QAction* a : barCommands_)
        a->setEnabled(client_->commands().isEnabled(a->data().toInt()));
}

void MainFrame::refreshAllCommands()
{
    for (QMenu* m : findChildren<QMenu*>())
        refreshMenu(m);
    refreshMenuBarCommands();
}

QAction* MainFrame::action(int id) const
{
    for (QAction* a : findChildren<QAction*>()) {
        if (!a->menu() && !a->isSeparator() && a->data().isValid() && a->data().toInt() == id)
            return a;
    }
    return nullptr;
}

void MainFrame::closeEvent(QCloseEvent* event)
{
    if (client_->canClose())
        event->accept();
    else
        event->ignore();
}

} // namespace kestrane
