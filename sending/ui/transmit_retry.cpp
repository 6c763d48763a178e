#include "sending/ui/transmit_retry.h"

#include "sending/send_buffer.h"
#include "widgets/language.h"

#include <QString>

namespace kestrane {

namespace {

QString text(std::string_view utf8) { return tableText(utf8); }

} // namespace

TransmitResult transmitWithRetry(const TransmitFn& transmit, int channel, std::span<const std::uint8_t> frame,
                                 const MessageBoxFn& message)
{
    SendBuffer copy;
    copy.assign(frame);
    for (;;) {
        const TransmitResult result = transmit(channel, copy.frame());
        switch (result) {
        case TransmitResult::Transmitted:
            return result;
        case TransmitResult::WriteFailed:
            message(text(kCouldNotSendText), QMessageBox::Ok, QMessageBox::NoIcon);
            return result;
        case TransmitResult::WriteTimedOut:
            if (message(text(kTimedOutRetryText), QMessageBox::Yes | QMessageBox::No, QMessageBox::Question)
                == QMessageBox::Yes)
                continue;
            return result;
        case TransmitResult::BadChannel:
            break;
        }
        message(text(kOtherErrorText), QMessageBox::Ok, QMessageBox::NoIcon);  // and any other failure
        return result;
    }
}

} // namespace kestrane
