// The About dialog: the picture, "Win32 management", release and credit lines, OK.
#pragma once

#include <QDialog>

namespace kestrane {

class TAboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit TAboutDialog(QWidget* parent = nullptr);
};

} // namespace kestrane
