// Dialog 712 "文字送信Diagram" (TRsinputsend2), command 55516 "設定文字送信(B)": the stored lines of
// mdata.txt, loaded as the dialog opens; the selected line is sent as it stands, without frame
// characters, in the hex send notation ("送信") or byte for byte ("ASCで送信"). "編集" opens the
// file in the text editor; the open dialog keeps its lines until it is opened again.
#pragma once

#include "sending/ui/send_dialog_services.h"
#include "sending/send_buffer.h"

#include <QDialog>

class QListWidget;
class QRadioButton;

namespace kestrane {

class SendPreviewView;

class TRsinputsend2 final : public QDialog {
    Q_OBJECT
public:
    TRsinputsend2(SendDialogServices services, QWidget* parent = nullptr);

    // The list of the fixed strings ("list").
    [[nodiscard]] QListWidget* list() const { return list_; }
    // What "送信" and "ASCで送信" would put on the line for the selected line ("preview").
    [[nodiscard]] SendPreviewView* preview() const { return preview_; }

private:
    void send(TextForm form);
    [[nodiscard]] int channel() const;
    void updatePreview();

    SendDialogServices services_;
    QListWidget* list_ = nullptr;
    SendPreviewView* preview_ = nullptr;
    QRadioButton* ch1_ = nullptr;
    QRadioButton* ch2_ = nullptr;
};

} // namespace kestrane
