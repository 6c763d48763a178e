#include "companions/ui/companion_app.h"

#include "widgets/qt_japanese.h"

#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QTimer>

namespace kestrane {

int runCompanion(int argc, char** argv, const char* programName, const std::function<std::unique_ptr<QWidget>()>& makeWindow)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(programName));
    installQtJapanese(app);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/551.png")));
    std::unique_ptr<QWidget> window = makeWindow();
    window->show();

    const QString report = qEnvironmentVariable("KESTRANE_SHOWN_REPORT");
    if (!report.isEmpty()) {
        QTimer::singleShot(0, &app, [&] {
            QFile f(report);
            if (f.open(QIODevice::Append))
                f.write(QStringLiteral("%1 %2\n").arg(QString::fromLatin1(programName), window->windowTitle()).toUtf8());
            QApplication::quit();
        });
    }
    return QApplication::exec();
}

} // namespace kestrane
