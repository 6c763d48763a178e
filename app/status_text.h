// The status-bar text: fixed byte columns of one 100-byte code page 932 text, each piece written
// with its terminator so that a later piece overwrites what an earlier one wrote past its column.
#pragma once

#include "app/settings_records.h"

#include <QByteArray>
#include <QString>

namespace kestrane {

// The text as code page 932 bytes (up to the first NUL).
QByteArray statusTextBytes(const SettingsRecord& r, int fastDisplay);
// The same, decoded for showing.
QString statusText(const SettingsRecord& r, int fastDisplay);

// Code page 932 conversions used wherever the program's texts meet fixed byte layouts.
QByteArray toCp932(const QString& text);
QString fromCp932(const QByteArray& bytes);

} // namespace kestrane
