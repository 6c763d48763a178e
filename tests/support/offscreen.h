// Window tests run on Qt's offscreen platform with a 1280 x 1024 screen. Call before the
// QApplication is built; remove the returned file once it is. The screen description is written
// per process, so test programs that run side by side never read each other's half-written file.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QCoreApplication>

#include <unistd.h>

namespace kestrane::test {

// `dpr` is the screen's device pixel ratio (2 for a screen of twice the density).
inline QString useOffscreenScreen(double dpr = 1)
{
    const QString config =
        QDir::temp().filePath(QStringLiteral("kestrane-offscreen-%1.json").arg(static_cast<qint64>(::getpid())));
    QFile f(config);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(QByteArray(R"({"screens":[{"name":"s","x":0,"y":0,"width":1280,"height":1024,"logicalDpi":96,)"
                           R"("logicalBaseDpi":96,"dpr":)") +
                QByteArray::number(dpr) + "}]}");
    f.close();
    qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + config.toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QString runtime = QDir::temp().filePath(QStringLiteral("kestrane-test-runtime"));
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
    }
    return config;
}

} // namespace kestrane::test
