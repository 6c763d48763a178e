#include "sending/ui/transmit_retry.h"

#include "sending/send_buffer.h"

#include <QString>

namespace kestrane {

namespace {

QString text(std::string_view utf8)
{
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

} // namespace

int transmitWithRetry(const TransmitFn& transmit, int channel, std::span<const std::uint8_t> frame,
                      const MessageBoxFn& message)
{
    SendBuffer copy;
    copy.assign(frame);
    for (;;) {
        const int result = transmit(channel, copy.frame());
        switch (sendOutcome(result)) {
        case SendOutcome::Sent:
            return result;
        case SendOutcome::CouldNotSend:
            message(text(kCouldNotSendText), QMessageBox::Ok, QMessageBox::NoIcon);
            return result;
        case SendOutcome::TimedOut:
            if (message(text(kTimedOutRetryText), QMessageBox::Yes | QMessageBox::No, QMessageBox::Question)
                == QMessageBox::Yes)
                continue;
            return result;
        case SendOutcome::OtherError:
            message(text(kOtherErrorText), QMessageBox::Ok, QMessageBox::NoIcon);
            return result;
        }
    }
}

} // namespace kestrane
