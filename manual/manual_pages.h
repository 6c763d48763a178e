// The pages of the two manuals: Kestrane_Manual.pdf (the Help command) and Quellorn_Manual.pdf
// (the dialogs' help buttons, each opening the page that describes its dialog). One table per
// manual, one row per printed page, in page order. Each manual is also made in English
// (Quellorn_Manual_en.pdf, Kestrane_Manual_en.pdf): the same pages at the same numbers, so a help
// button's page is the same in both, with the English titles and the English texts kept under
// manual/text/en at the Japanese text's path.
#pragma once

#include "i18n/language.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace kestrane::manual {

struct ManualPage {
    int page = 0;
    QString title;        // printed as the page's heading (a dialog's page carries its title)
    QString source;       // a Markdown file below manual/text, or "@cover" / "@contents"
    QStringList pictures = {};  // ids of the windows pictured on the page (dialog_pictures.cpp)
    QString subtitle = {};  // printed under the heading: the dialog id and the way it is opened
};

struct ManualBook {
    QString fileName;  // the PDF's name
    QString title;     // printed on the cover and in every page's header
    std::vector<ManualPage> pages;
};

[[nodiscard]] ManualBook quellornManual(i18n::Language language = i18n::Language::Japanese);
[[nodiscard]] ManualBook kestraneManual(i18n::Language language = i18n::Language::Japanese);

} // namespace kestrane::manual
