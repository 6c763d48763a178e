// The status-bar text: fixed byte columns of one 100-byte code page 932 text, each piece written
// with its terminator so that a later piece overwrites what an earlier one wrote past its column.
#pragma once

#include "text/cp932.h"
#include "records/settings_records.h"

#include <QByteArray>
#include <QString>

namespace kestrane {

// The text as code page 932 bytes (up to the first NUL).
QByteArray statusTextBytes(const SettingsRecord& r, int fastDisplay);
// The same, decoded for showing.
QString statusText(const SettingsRecord& r, int fastDisplay);

} // namespace kestrane
