#include "records/settings_records.h"

namespace kestrane {

LineParams::LineParams()
{
    applyLineDefaults(ch1Dcb);
    applyLineDefaults(ch2Dcb);
    ch1Timeouts = defaultTimeouts();
    ch2Timeouts = defaultTimeouts();
}

Settings::Settings()
{
    setFixedText(pdfReaderPath, kDefaultPdfReader);
    setFixedText(pdfPageCommand, kDefaultPdfPageCommand);
}

std::int32_t flowControlCode(const Dcb& dcb)
{
    if (!dcb.fOutxCtsFlow() && dcb.fOutX() && dcb.fInX() && dcb.fRtsControl() == 0)
        return 1;
    if (dcb.fOutxCtsFlow() && !dcb.fOutX() && !dcb.fInX() && dcb.fRtsControl() == RTS_CONTROL_HANDSHAKE)
        return 2;
    return 0;
}

void applyChannelLineDefaults(Settings& s, int channel)
{
    LineParams& lp = s.lineParams;
    SettingsRecord& r = s.record;
    if (channel == 1) {
        applyLineDefaults(lp.ch1Dcb);
        lp.ch1Timeouts = defaultTimeouts();
        r.ch1BaudRate = 9600;
        r.ch1ByteSize = 8;
        r.ch1StopBits = 0;
        r.ch1Parity = 0;
        r.ch1FlowControl = 0;
    } else {
        applyLineDefaults(lp.ch2Dcb);
        lp.ch2Timeouts = defaultTimeouts();
        r.ch2BaudRate = 9600;
        r.ch2ByteSize = 8;
        r.ch2StopBits = 0;
        r.ch2Parity = 0;
        r.ch2FlowControl = 0;
    }
}

} // namespace kestrane
