// Puts the chosen language into effect for a program with windows: Japanese keeps every text as
// written and gives Qt's own texts in Japanese; English loads our translation (compiled into the
// program) and leaves Qt's own texts English. Called once, before any window or text is made.
#pragma once

#include "i18n/language.h"

#include <QString>

#include <string_view>

class QCoreApplication;

namespace kestrane {

// False when a translation could not be loaded (the texts then stay as written).
bool installLanguage(QCoreApplication& app, i18n::Language language);

// A text kept in a table of the logic (marked I18N_NOOP("Kestrane", ...)) in the language of
// this run; any other text comes back as it is.
[[nodiscard]] QString tableText(std::string_view utf8);

} // namespace kestrane
