// The character send dialogs "文字送信Diagram": TRsinputsend1 (708, a typed line) and
// TRsinputsend (701, a long string, with the fixed strings of mdata.txt to pick from). Both are
// modeless: a line is typed or picked from the history of the last 20 different lines, framed
// with the start, stop, checksum and end characters chosen here, and sent on CH1 or CH2 in the
// hex send notation ("送信") or as it stands ("ASC送信"). Closing stores the choices.
#pragma once

#include "sending/character_send.h"
#include "i18n/language.h"
#include "sending/ui/send_dialog_services.h"

#include <QByteArray>
#include <QDialog>
#include <QString>

class QCheckBox;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QRadioButton;

namespace kestrane {

class SendPreviewView;

class CharacterSendDialog : public QDialog {
    Q_OBJECT
public:
    // The differences between the two dialogs.
    struct Kind {
        const char* id;           // the dialog's id: dialog_id::TypedSend or LongStringSend
        const char* checkLabels[4];  // check boxes 301..304
        int closeId;              // "閉じる"
        int detailsId;            // "詳細設定"
        int helpPage;             // the help button's manual page; 0: no help button
        bool fixedStrings;        // a second list with the strings of mdata.txt
        int inputWidth;           // minimum width of the input line in pixels
    };

    // Named controls: "input" (the line), "history", "fixed" (701 only), "preview" (the bytes the
    // two send buttons would put on the line, kept up to date as the line and choices change).
    [[nodiscard]] QLineEdit* inputLine() const { return input_; }
    [[nodiscard]] SendPreviewView* preview() const { return preview_; }
    [[nodiscard]] QListWidget* historyList() const { return history_; }
    [[nodiscard]] QListWidget* fixedList() const { return fixed_; }

protected:
    CharacterSendDialog(const Kind& kind, CharacterSendMemory& memory, SendDialogServices services, QWidget* parent);

    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void reject() override;

private:
    void send(TextForm form);
    void readControls();
    [[nodiscard]] CharacterSendRecord controlsRecord() const;
    void updatePreview();
    void showRecord();
    void refillHistory();
    void pick(QListWidgetItem* item);
    [[nodiscard]] QByteArray lineBytes() const;

    CharacterSendMemory& memory_;
    SendDialogServices services_;
    QLineEdit* input_ = nullptr;
    SendPreviewView* preview_ = nullptr;
    QListWidget* history_ = nullptr;
    QListWidget* fixed_ = nullptr;
    QCheckBox* checks_[4] = {};
    QLineEdit* chars_[3] = {};
    QRadioButton* ch1_ = nullptr;
    QRadioButton* ch2_ = nullptr;
    // The bytes of the entry picked last and the text it showed as: sent byte for byte while the
    // line still shows that text, so bytes that code page 932 text cannot carry survive a pick.
    QByteArray pickedBytes_;
    QString pickedText_;
};

// Dialog 708, command 55515 "入力文字送信(&A)".
class TRsinputsend1 final : public CharacterSendDialog {
public:
    TRsinputsend1(CharacterSendMemory& memory, SendDialogServices services, QWidget* parent = nullptr);
};

// Dialog 701, command 55517 "ロング文字送信(C)".
class TRsinputsend final : public CharacterSendDialog {
public:
    TRsinputsend(CharacterSendMemory& memory, SendDialogServices services, QWidget* parent = nullptr);
};

// The texts shared by the send dialogs.
inline constexpr const char* kCharacterTableMissingText = I18N_NOOP("Kestrane", "glimra.exeが見つかりませんでした。");
inline constexpr const char* kEditorMissingText = I18N_NOOP("Kestrane", "notepad.exeが見つかりませんでした。");

} // namespace kestrane
