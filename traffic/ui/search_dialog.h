// Search dialog 721 "検索": the search text (edit 401) and the two search buttons, 201 "ASC検索"
// and 217 "HEX検索". Modeless and made anew for each search command; each button hands the
// text (as code page 932 bytes) to the search and closes the dialog.
#pragma once

#include "traffic/view_commands.h"

#include <QByteArray>
#include <QDialog>

#include <functional>

class QLineEdit;

namespace kestrane {

class TSearchDialog : public QDialog {
    Q_OBJECT
public:
    using SearchFn = std::function<void(const QByteArray& text, SearchKind kind)>;

    // `text` is the kept search text; `search` runs the search and reports a miss.
    TSearchDialog(const QString& text, SearchFn search, QWidget* parent = nullptr);

private:
    void run(SearchKind kind);

    SearchFn search_;
    QLineEdit* edit_ = nullptr;
};

} // namespace kestrane
