// The common start of the companion programs: a QApplication, the program's window, and the
// start-up report used by tests and install checks (KESTRANE_SHOWN_REPORT names a file; once the
// window is shown its title is appended to that file and the program ends).
#pragma once

#include <QWidget>

#include <functional>
#include <memory>

namespace kestrane {

// Reads the command line first: --help (`summary` under the usage), --version and mistakes
// (exit 2) answer before any window; --lang en|ja, else KESTRANE_LANG (which kestrane sets for
// the companions it starts), chooses the language, Japanese by default.
int runCompanion(int argc, char** argv, const char* programName, const char* summary,
                 const std::function<std::unique_ptr<QWidget>()>& makeWindow);

} // namespace kestrane
