#include "settings/com_port_settings.h"

#include "i18n/language.h"

#include "records/channel_settings.h"
#include "settings/dialog_values.h"

namespace kestrane {

std::string portText(int comNumber) { return "COM" + std::to_string(comNumber); }

std::optional<int> portNumberOfText(std::string_view text)
{
    if (text.size() < 4)
        return std::nullopt;
    const std::int64_t n = decimalValue(text.substr(3));
    if (n < 1 || n > 255)
        return std::nullopt;
    return static_cast<int>(n);
}

std::vector<PortChoice> fixedPortChoices()
{
    std::vector<PortChoice> out;
    out.reserve(255);
    for (int n = 1; n <= 255; ++n)
        out.push_back({portText(n), {}, {}});
    return out;
}

PortEnumeration enumeratePortChoices(const PortSources& sources, const std::function<std::int64_t()>& nowMs,
                                     const std::function<bool()>& askGoOn)
{
    std::int64_t start = nowMs();
    const auto keepGoing = [&] {
        if (nowMs() - start > kEnumerationQuestionMs) {
            if (!askGoOn())
                return false;
            start = nowMs();
        }
        return true;
    };
    const std::vector<SerialDevice> devices = listSerialDevices(sources.tree, keepGoing);
    const PortCatalog catalog = catalogPorts(sources.confFile, devices, sources.tree.consoleList);

    PortEnumeration out;
    out.confNotWritten = catalog.saveFailed;
    for (const CatalogPort& p : catalog.ports)
        out.choices.push_back({portText(p.comNumber), p.path, p.description});
    return out;
}

ComPortControls comPortControlsFor(const SettingsRecord& r)
{
    ComPortControls c;
    c.ch1Text = portText(r.ch1ComNumber);
    c.ch2Used = (r.ch2Mode & 1) != 0;
    if (c.ch2Used)
        c.ch2Text = portText(r.ch2ComNumber);
    c.monitorOn = isLineMonitor(r.ch2Mode);
    c.relay = r.ch2Mode == Ch2Mode::MonitorRelay;
    return c;
}

ComPortCheck applyComPortControls(SettingsRecord& r, const ComPortControls& c)
{
    const auto ch1 = portNumberOfText(c.ch1Text.substr(0, kPortTextMax));
    if (!ch1)
        return ComPortCheck::Ch1Wrong;
    r.ch1ComNumber = *ch1;  // kept even when CH2 is refused below
    if (!c.ch2Used) {
        r.ch2ComNumber = 0;
        r.ch2Mode = Ch2Mode::NotUsed;
        return ComPortCheck::Stored;
    }
    const auto ch2 = portNumberOfText(c.ch2Text.substr(0, kPortTextMax));
    if (!ch2)
        return ComPortCheck::Ch2Wrong;
    if (*ch2 == r.ch1ComNumber)
        return ComPortCheck::Overlap;
    r.ch2ComNumber = *ch2;
    r.ch2Mode = Ch2Mode::Independent;
    if (c.monitorOn)
        r.ch2Mode = c.relay ? Ch2Mode::MonitorRelay : Ch2Mode::MonitorT;
    return ComPortCheck::Stored;
}

const char* reopenFailureText(int channel, OpenResult result)
{
    // By result code: 1 PortWillNotOpen .. 4 PortNumberOutOfRange.
    static const char* const ch1[] = {I18N_NOOP("Kestrane", "ＣＨ１のポートがオープンしません。"), I18N_NOOP("Kestrane", "ＣＨ１のポート設定が出来ません。"),
                                      I18N_NOOP("Kestrane", "ＣＨ１のスレッドが作れません。"), I18N_NOOP("Kestrane", "ＣＨ１のポート割付が違います。")};
    static const char* const ch2[] = {I18N_NOOP("Kestrane", "ＣＨ２のポートがオープンしません。"), I18N_NOOP("Kestrane", "ＣＨ２のポート設定が出来ません。"),
                                      I18N_NOOP("Kestrane", "ＣＨ２のスレッドが作れません。"), I18N_NOOP("Kestrane", "ＣＨ２のポート割付が違います。")};
    const int code = static_cast<int>(result);
    if (code < 1 || code > 4)
        return nullptr;
    return (channel == 1 ? ch1 : ch2)[code - 1];
}

DetailControls detailControlsFor(const SettingsRecord& r, int channel)
{
    const auto fields = channelFields(r, channel);
    DetailControls c;
    c.forceSize52 = fields.forceConfigSize52 != 0;
    c.gapText = std::to_string(fields.rxGapMs);
    c.rxChar = fields.maskRxChar != 0;
    c.rxFlag = fields.maskRxFlag != 0;
    return c;
}

DetailCheck applyDetailControls(SettingsRecord& r, int channel, const DetailControls& c)
{
    if (!c.rxChar && !c.rxFlag)
        return DetailCheck::NoReceiveEvent;
    const ChannelFields fields = channelFields(r, channel);
    fields.forceConfigSize52 = c.forceSize52 ? 1 : 0;
    fields.rxGapMs = decimalInt32(c.gapText);
    fields.maskRxChar = c.rxChar ? 1 : 0;
    fields.maskRxFlag = c.rxFlag ? 1 : 0;
    return DetailCheck::Stored;
}

} // namespace kestrane
