// The progress of a text-file transfer on one channel: the file, the bytes sent of its size, and
// a button that cancels the transfer. Modeless; it stays beside the main window while the
// transfer runs and closes when the transfer is over, except when a channel close ended it: then
// it says so and waits to be closed.
#pragma once

#include <QDialog>

#include <cstdint>
#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;

namespace kestrane {

class TextTransferProgress final : public QDialog {
    Q_OBJECT
public:
    // `cancel` is called when the user cancels a running transfer (the button, Esc, the close box).
    TextTransferProgress(int channel, const QString& fileName, std::function<void()> cancel, QWidget* parent = nullptr);

    void setProgress(std::uint64_t sent, std::uint64_t size);
    // The transfer ended without the user: shows `text`, the button closes the window.
    void showEnded(const QString& text);
    // The transfer is over and its result reported elsewhere: the window closes.
    void finish();

    [[nodiscard]] bool running() const { return running_; }
    [[nodiscard]] QString progressText() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void userCancel();

    std::function<void()> cancel_;
    bool running_ = true;
    QLabel* text_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QPushButton* button_ = nullptr;
};

// "1,234 / 102,400 バイト"
[[nodiscard]] QString transferProgressText(std::uint64_t sent, std::uint64_t size);

} // namespace kestrane
