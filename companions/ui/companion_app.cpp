#include "companions/ui/companion_app.h"

#include "i18n/language.h"
#include "widgets/language.h"

#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace kestrane {

int runCompanion(int argc, char** argv, const char* programName, const char* summary,
                 const std::function<std::unique_ptr<QWidget>()>& makeWindow)
{
    const std::string usage = std::string("usage: ") + programName + " [--help] [--version] [--lang en|ja]";
    std::optional<std::string> language;
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a == "-h" || a == "--help") {
            std::printf("Usage: %s [--help] [--version] [--lang en|ja]\n\n%s\n\n"
                        "  -h, --help      This text.\n"
                        "  --version       The version.\n"
                        "  --lang en|ja    The language of the window: Japanese (ja, the default) or English\n"
                        "                  (en). Without it KESTRANE_LANG decides; kestrane sets it for the\n"
                        "                  programs it starts.\n",
                        programName, summary);
            return 0;
        }
        if (a == "--version") {
            std::printf("%s %s\n", programName, KESTRANE_VERSION);
            return 0;
        }
        std::string_view value;
        if (a == "--lang" && i + 1 < argc)
            value = argv[++i];
        else if (a.substr(0, 7) == "--lang=")
            value = a.substr(7);
        if (value == "en" || value == "ja") {
            language = std::string(value);
            continue;
        }
        const std::string mistake = a.substr(0, 6) == "--lang" ? std::string("--lang takes en or ja")
                                                               : "unknown option " + std::string(a.substr(0, a.find('=')));
        std::fprintf(stderr, "%s: %s\n%s\n", programName, mistake.c_str(), usage.c_str());
        return 2;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(programName));
    installLanguage(app, i18n::chooseLanguage(language, std::getenv("KESTRANE_LANG"), std::nullopt));
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
