#include "records/channel_settings.h"

namespace kestrane {

void setLineSummary(ChannelFields fields, const Dcb& dcb)
{
    fields.baudRate = dcb.BaudRate;
    fields.byteSize = dcb.ByteSize;
    fields.parity = dcb.Parity;
    fields.stopBits = dcb.StopBits;
    fields.flowControl = flowControlCode(dcb);
}

} // namespace kestrane
