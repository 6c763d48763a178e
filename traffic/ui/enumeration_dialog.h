// String enumeration dialog 723: the bytes picked with the right mouse button, shown as
// HEX"ASC", HEX or ASC text; button 216 "切替" cycles the mode. The rendering is shown whole in
// a scrollable field, also when a HEX"ASC" rendering of 1024 mixed bytes passes 2048 characters.
#pragma once

#include "traffic/view_commands.h"

#include <QDialog>

#include <cstdint>
#include <vector>

class QPlainTextEdit;

namespace kestrane {

class TEnumerationDialog : public QDialog {
    Q_OBJECT
public:
    explicit TEnumerationDialog(std::vector<std::uint8_t> bytes, QWidget* parent = nullptr);

    [[nodiscard]] EnumerationMode mode() const { return mode_; }
    // The rendering as shown (code page 932 decoded).
    [[nodiscard]] QString text() const;

private:
    void render();

    std::vector<std::uint8_t> bytes_;
    EnumerationMode mode_;
    QPlainTextEdit* text_ = nullptr;
};

} // namespace kestrane
