// Under a send dialog's input: the bytes its send buttons would put on the line, in hex with
// their count. Frame characters (start, stop, checksum, end) are blue; data bytes from a pair
// that is not two hexadecimal digits are red, and a line under them shows how the text was read:
// characters read as 00 in red, characters that are not sent struck through in grey.
#pragma once

#include "sending/send_preview.h"

#include <QByteArray>
#include <QString>
#include <QTextBrowser>

namespace kestrane {

class SendPreviewView final : public QTextBrowser {
    Q_OBJECT
public:
    explicit SendPreviewView(QWidget* parent = nullptr);

    // One button's frame: its label ("送信", "ASC送信", ...) and what it would send.
    struct Row {
        QString label;
        TextForm form = TextForm::HexNotation;
    };
    // Shows each row for `text` (code page 932 bytes as the send takes them) and `options`.
    void showFrames(const QByteArray& text, const FrameOptions& options, const std::vector<Row>& rows);
    // Nothing selected: no frame.
    void showNothing(const QString& why);

    [[nodiscard]] QSize sizeHint() const override;
};

// The hex bytes of a preview as the view shows them ("02 41 0D").
[[nodiscard]] QString previewHex(const FramePreview& preview);

} // namespace kestrane
