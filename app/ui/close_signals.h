// SIGINT, SIGTERM and SIGHUP for the window program. The handler only writes a byte into a
// pipe; a socket notifier turns it into `arrived` on the GUI thread, in whichever event loop
// runs then: the message loop, a dialog's, or a pause of the splash.
#pragma once

#include <QObject>

class QSocketNotifier;

namespace kestrane {

class CloseSignals : public QObject {
    Q_OBJECT
public:
    // Installs the handlers and watches their pipe (needs the application object; one per
    // process). Until then the signals keep their default action, which ends the program at
    // once. When the pipe cannot be made the handlers are not installed either.
    explicit CloseSignals(QObject* parent = nullptr);

    // While on (from construction), a signal ends the program at once with status 0, as
    // nothing is open or written yet and the splash's first paint can take long; once off,
    // signals only arrive.
    void setEndAtOnce(bool on);

signals:
    void arrived();

private:
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace kestrane
