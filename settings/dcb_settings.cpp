#include "settings/dcb_settings.h"

#include "platform/system_reason.h"
#include "records/settings_records.h"
#include "settings/dialog_values.h"

#include <cctype>
#include <cerrno>
#include <utility>

namespace kestrane {

namespace {

// 32-bit fields are shown as signed decimal: MAXDWORD reads -1 and fits its field.
std::string signedText(std::uint32_t value) { return std::to_string(static_cast<std::int32_t>(value)); }

} // namespace

const std::vector<DcbControl> kDcbControls = {
    {311, "fBinary", true, 0},
    {312, "fOutxCtsFlow", true, 0},
    {313, "fOutxDsrFlow", true, 0},
    {314, "fDsrSensitivity", true, 0},
    {315, "fTXContinueOnXoff", true, 0},
    {316, "fOutX", true, 0},
    {317, "fInX", true, 0},
    {318, "fErrorChar", true, 0},
    {319, "fNull", true, 0},
    {320, "fAbortOnError", true, 0},
    {411, "fDtrControl", false, 1},
    {412, "fRtsControl", false, 1},
    {413, "fDummy2", false, 1},
    {414, "XonLim", false, 9},
    {415, "XoffLim", false, 9},
    {416, "XonChar", false, 2},
    {417, "XoffChar", false, 2},
    {418, "ErrorChar", false, 2},
    {419, "EofChar", false, 2},
    {420, "EvtChar", false, 2},
    {401, "BaudRate", false, 7},
    {403, "ByteSize", false, 1},
    {323, "fParity", true, 0},
    {405, "Parity", false, 1},
    {406, "StopBit", false, 1},
    {404, "ReadInterval\nTime", false, 9},
    {422, "ReadTotalTime\nMultiplier", false, 9},
    {423, "ReadTotalTime\nConstant", false, 9},
    {424, "WriteTotalTime\nMultiplier", false, 9},
    {425, "WriteTotalTime\nConstant", false, 9},
};

DcbControlValues dcbControlValues(const Dcb& d, const CommTimeouts& t)
{
    DcbControlValues v;
    v.checks[311] = d.fBinary();
    v.checks[312] = d.fOutxCtsFlow();
    v.checks[313] = d.fOutxDsrFlow();
    v.checks[314] = d.fDsrSensitivity();
    v.checks[315] = d.fTXContinueOnXoff();
    v.checks[316] = d.fOutX();
    v.checks[317] = d.fInX();
    v.checks[318] = d.fErrorChar();
    v.checks[319] = d.fNull();
    v.checks[320] = d.fAbortOnError();
    v.checks[323] = d.fParity();
    v.edits[411] = std::to_string(d.fDtrControl());
    v.edits[412] = std::to_string(d.fRtsControl());
    v.edits[413] = std::to_string(d.fDummy2());
    v.edits[414] = std::to_string(d.XonLim);
    v.edits[415] = std::to_string(d.XoffLim);
    v.edits[416] = hexText(d.XonChar);
    v.edits[417] = hexText(d.XoffChar);
    v.edits[418] = hexText(d.ErrorChar);
    v.edits[419] = hexText(d.EofChar);
    v.edits[420] = hexText(d.EvtChar);
    v.edits[401] = signedText(d.BaudRate);
    v.edits[403] = std::to_string(d.ByteSize);
    v.edits[405] = std::to_string(d.Parity);
    v.edits[406] = std::to_string(d.StopBits);
    v.edits[404] = signedText(t.ReadIntervalTimeout);
    v.edits[422] = signedText(t.ReadTotalTimeoutMultiplier);
    v.edits[423] = signedText(t.ReadTotalTimeoutConstant);
    v.edits[424] = signedText(t.WriteTotalTimeoutMultiplier);
    v.edits[425] = signedText(t.WriteTotalTimeoutConstant);
    return v;
}

void readDcbControlValues(const DcbControlValues& v, Dcb& d, CommTimeouts& t)
{
    const auto check = [&](int id) {
        const auto it = v.checks.find(id);
        return it != v.checks.end() && it->second;
    };
    const auto edit = [&](int id) -> std::string_view {
        const auto it = v.edits.find(id);
        return it == v.edits.end() ? std::string_view{} : std::string_view(it->second);
    };
    d.setFBinary(check(311));
    d.setFOutxCtsFlow(check(312));
    d.setFOutxDsrFlow(check(313));
    d.setFDsrSensitivity(check(314));
    d.setFTXContinueOnXoff(check(315));
    d.setFOutX(check(316));
    d.setFInX(check(317));
    d.setFErrorChar(check(318));
    d.setFNull(check(319));
    d.setFAbortOnError(check(320));
    d.setFParity(check(323));
    d.setFDtrControl(twoBitControl(decimalValue(edit(411))));
    d.setFRtsControl(twoBitControl(decimalValue(edit(412))));
    d.setFDummy2(decimalUint32(edit(413)));
    d.XonLim = static_cast<std::uint16_t>(decimalUint32(edit(414)));
    d.XoffLim = static_cast<std::uint16_t>(decimalUint32(edit(415)));
    d.XonChar = static_cast<std::uint8_t>(hexValue(edit(416)));
    d.XoffChar = static_cast<std::uint8_t>(hexValue(edit(417)));
    d.ErrorChar = static_cast<std::uint8_t>(hexValue(edit(418)));
    d.EofChar = static_cast<std::uint8_t>(hexValue(edit(419)));
    d.EvtChar = static_cast<std::uint8_t>(hexValue(edit(420)));
    d.BaudRate = decimalUint32(edit(401));
    d.ByteSize = static_cast<std::uint8_t>(decimalUint32(edit(403)));
    d.Parity = static_cast<std::uint8_t>(decimalUint32(edit(405)));
    d.StopBits = static_cast<std::uint8_t>(decimalUint32(edit(406)));
    t.ReadIntervalTimeout = decimalUint32(edit(404));
    t.ReadTotalTimeoutMultiplier = decimalUint32(edit(422));
    t.ReadTotalTimeoutConstant = decimalUint32(edit(423));
    t.WriteTotalTimeoutMultiplier = decimalUint32(edit(424));
    t.WriteTotalTimeoutConstant = decimalUint32(edit(425));
}

PortConfig portConfigOf(const Dcb& d)
{
    return PortConfig{d.BaudRate, d.ByteSize, d.Parity, d.StopBits, flowControlCode(d)};
}

void applyPortConfig(const PortConfig& c, Dcb& d)
{
    d.BaudRate = c.baudRate;
    d.ByteSize = c.byteSize;
    d.Parity = c.parity;
    d.StopBits = c.stopBits;
    // A parity other than none is checked on receive.
    d.setFParity(c.parity != NOPARITY);
    if (c.flowControl == flowControlCode(d))
        return;
    switch (c.flowControl) {
    case 1:  // Xon/Xoff
        d.setFOutxCtsFlow(false);
        d.setFOutxDsrFlow(false);
        d.setFOutX(true);
        d.setFInX(true);
        d.setFRtsControl(RTS_CONTROL_DISABLE);
        break;
    case 2:  // hardware: RTS/CTS handshake
        d.setFOutxCtsFlow(true);
        d.setFOutxDsrFlow(false);
        d.setFOutX(false);
        d.setFInX(false);
        d.setFRtsControl(RTS_CONTROL_HANDSHAKE);
        break;
    default:  // none
        d.setFOutxCtsFlow(false);
        d.setFOutxDsrFlow(false);
        d.setFOutX(false);
        d.setFInX(false);
        if (d.fRtsControl() == RTS_CONTROL_HANDSHAKE || d.fRtsControl() == RTS_CONTROL_TOGGLE)
            d.setFRtsControl(RTS_CONTROL_DISABLE);
        break;
    }
}

bool parseBaudRate(const std::string& text, std::uint32_t& rate)
{
    std::size_t b = 0, e = text.size();
    while (b < e && std::isspace(static_cast<unsigned char>(text[b])))
        ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(text[e - 1])))
        --e;
    if (b == e || e - b > 10)
        return false;
    std::uint64_t v = 0;
    for (std::size_t i = b; i < e; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i])))
            return false;
        v = v * 10 + static_cast<std::uint64_t>(text[i] - '0');
    }
    if (v == 0 || v > 0xFFFFFFFFu)
        return false;
    rate = static_cast<std::uint32_t>(v);
    return true;
}

std::string setCommStateErrorText(int error, int size)
{
    return i18n::translate("DcbSettings", "SetCommStateのErr番号は") + std::to_string(error) + ":cc.size=" + std::to_string(size);
}

std::string setStateFailureReason(const SetStateFailure& failure)
{
    if (failure.refused == 0 && failure.systemError == EINVAL)
        return i18n::translate("DcbSettings", "この組み合わせは設定できません");  // e.g. 1.5 stop bits with other than 5 data bits
    if (failure.refused == 0)
        return systemReason(failure.systemError);
    static constexpr std::pair<std::uint32_t, const char*> kNames[] = {
        {SetStateFailure::Rate, I18N_NOOP("DcbSettings", "ボーレート")},       {SetStateFailure::ByteSize, I18N_NOOP("DcbSettings", "データビット")},
        {SetStateFailure::Parity, I18N_NOOP("DcbSettings", "パリティ")},       {SetStateFailure::StopBits, I18N_NOOP("DcbSettings", "ストップビット")},
        {SetStateFailure::FlowControl, I18N_NOOP("DcbSettings", "フロー制御")},
    };
    static constexpr const char* kParity[] = {I18N_NOOP("DcbSettings", "なし"), I18N_NOOP("DcbSettings", "奇数"), I18N_NOOP("DcbSettings", "偶数"), I18N_NOOP("DcbSettings", "マーク"), I18N_NOOP("DcbSettings", "スペース")};
    static constexpr const char* kStop[] = {"1", "1.5", "2"};
    std::string names;
    for (const auto& [bit, name] : kNames) {
        if ((failure.refused & bit) == 0)
            continue;
        if (!names.empty())
            names += i18n::translate("DcbSettings", "、");
        names += i18n::translate("DcbSettings", name);
    }
    const Dcb& d = failure.got;
    return i18n::arg(i18n::translate("DcbSettings", "デバイスが受け付けなかった設定: %1（デバイスの設定は %2bps %3ビット パリティ%4 ストップビット%5）"),
                     {names, std::to_string(d.BaudRate), std::to_string(d.ByteSize),
                      d.Parity < 5 ? i18n::translate("DcbSettings", kParity[d.Parity]) : std::string("?"),
                      d.StopBits < 3 ? kStop[d.StopBits] : "?"});
}

} // namespace kestrane
