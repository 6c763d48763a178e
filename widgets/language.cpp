#include "widgets/language.h"

#include "widgets/qt_japanese.h"

#include <QCoreApplication>
#include <QTranslator>

namespace kestrane {

namespace {

std::string qtTranslate(const char* context, const char* source)
{
    return QCoreApplication::translate(context, source).toStdString();
}

} // namespace

QString tableText(std::string_view utf8)
{
    return QCoreApplication::translate("Kestrane", std::string(utf8).c_str());
}

bool installLanguage(QCoreApplication& app, i18n::Language language)
{
    if (language == i18n::Language::Japanese) {
        i18n::setCurrentLanguage(language);
        return installQtJapanese(app);
    }
    auto* translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral(":/i18n/kestrane_en.qm"))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    // Texts made outside the windows (messages of the logic) are translated the same way.
    i18n::setTranslator(&qtTranslate);
    i18n::setCurrentLanguage(language);
    return true;
}

} // namespace kestrane
