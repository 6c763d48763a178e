// Qt's own texts (the buttons of message boxes, the file, print and page dialogs, the context
// menus of edits) in Japanese, like every text of the program, whatever the system's locale.
#pragma once

class QCoreApplication;

namespace kestrane {

// Loads Qt's Japanese translations (qtbase_ja, from the qt6-translations-l10n package) into
// `app`; false when they are not installed (Qt's texts then stay English).
bool installQtJapanese(QCoreApplication& app);

} // namespace kestrane
