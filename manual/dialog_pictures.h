// Pictures of the program's real windows for the manuals, rendered offscreen. Each window has
// an id (the dialog's number, or a name for windows without one); the manual tables name the
// ids to show on a page.
#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

namespace kestrane::manual {

// The picture of window `id` as the program shows it, framed with its title; a null image when
// no builder is known for `id` yet.
[[nodiscard]] QImage windowPicture(const QString& id);

// Builds window `id` as its picture shows it (shown offscreen, laid out) and hands it to `look`;
// false when no builder is known for `id`. The English check of the windows reads them this way.
bool withWindow(const QString& id, const std::function<void(QWidget&)>& look);

// The ids a builder is known for.
[[nodiscard]] QStringList picturedWindows();

} // namespace kestrane::manual
