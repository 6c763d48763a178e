// Opens a document with the desktop's handler and tells the user when nothing opened it: the
// handler is missing, cannot be started, or ends with a failure (no application for PDF files).
#pragma once

#include "platform/processes.h"
#include "widgets/message_box.h"

#include <filesystem>

class QObject;

namespace kestrane {

// Starts the handler of `processes` on `document` in `workingDir` without waiting for it; a
// failure, now or when the handler ends, shows manualNotOpenedText(document) through `message`.
// The watch is a child of `parent`. False when the handler could not be started.
bool openDocumentWatched(const Processes& processes, const std::filesystem::path& document,
                         const std::filesystem::path& workingDir, MessageBoxFn message, QObject* parent);

} // namespace kestrane
