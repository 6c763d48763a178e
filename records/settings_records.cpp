#include "records/settings_records.h"

#include "records/channel_settings.h"

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
    const ChannelLineOf<LineParams> line = channelLine(s.lineParams, channel);
    applyLineDefaults(line.dcb);
    line.timeouts = defaultTimeouts();
    // The summary of the defaults: 9600 baud, 8 data bits, one stop bit, no parity, no flow control.
    setLineSummary(channelFields(s.record, channel), line.dcb);
}

} // namespace kestrane
