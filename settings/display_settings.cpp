#include "settings/display_settings.h"

#include "i18n/language.h"

#include "settings/dialog_values.h"

namespace kestrane {

int displayModeRadio(std::int32_t mode)
{
    switch (mode) {
    case DisplayMode::Asc: return 501;
    case DisplayMode::Hex: return 502;
    case DisplayMode::TimeStampedAsc: return 503;
    case DisplayMode::AscWithIo: return 504;
    default: return 0;
    }
}

DisplayModeChoice chooseDisplayMode(std::int32_t current, int checkedRadio)
{
    DisplayModeChoice c;
    c.warnTimeStamps =
        current == DisplayMode::TimeStampedAsc && (checkedRadio == 501 || checkedRadio == 502 || checkedRadio == 503);
    if (checkedRadio == 501)
        c.mode = DisplayMode::Asc;
    else if (checkedRadio == 503)
        c.mode = DisplayMode::TimeStampedAsc;
    else
        c.mode = DisplayMode::Hex;
    return c;
}

PlControls plControlsFor(const SettingsRecord& r)
{
    PlControls c;
    c.fastDisplayAtStart = r.fastDisplayAtStart == 1;  // only 1 starts fast
    c.fullRedisplay = r.fullRedisplay != 0;
    c.autoScroll = r.autoScroll != 0;
    c.idleClockFactor = std::to_string(r.idleClockFactor);
    c.baseClockMs = std::to_string(r.baseClockMs);
    c.idleRedisplayCount = std::to_string(r.idleRedisplayCount);
    c.trafficDisplayCount = std::to_string(r.trafficDisplayCount);
    c.bufferSize = std::to_string(r.bufferSize);
    return c;
}

const char* bufferSizeNoticeText(BufferSizeNotice notice)
{
    switch (notice) {
    case BufferSizeNotice::SetTo600: return I18N_NOOP("Kestrane", "Buffer Sizeを600に設定します。");
    case BufferSizeNotice::SetTo200: return I18N_NOOP("Kestrane", "Buffer Sizeを200に設定します。");
    case BufferSizeNotice::MadeEven: return I18N_NOOP("Kestrane", "Buffer Sizeを偶数値に設定します。");
    }
    return "";
}

std::vector<BufferSizeNotice> applyPlControls(SettingsRecord& r, const PlControls& c)
{
    r.fastDisplayAtStart = c.fastDisplayAtStart ? 1 : 0;
    r.fullRedisplay = c.fullRedisplay ? 1 : 0;
    r.autoScroll = c.autoScroll ? 1 : 0;
    r.idleClockFactor = decimalInt32(c.idleClockFactor);
    r.baseClockMs = decimalInt32(c.baseClockMs);
    r.idleRedisplayCount = decimalInt32(c.idleRedisplayCount);
    r.trafficDisplayCount = decimalInt32(c.trafficDisplayCount);

    std::vector<BufferSizeNotice> notices;
    std::int32_t size = decimalInt32(c.bufferSize);
    if (size > 600) {
        notices.push_back(BufferSizeNotice::SetTo600);
        size = 600;
    }
    if (size < 200) {
        notices.push_back(BufferSizeNotice::SetTo200);
        size = 200;
    }
    if ((size & 1) != 0) {
        notices.push_back(BufferSizeNotice::MadeEven);
        size &= ~1;
    }
    r.bufferSize = size;
    return notices;
}

int startupSizeRadio(std::int32_t code)
{
    switch (code) {
    case 0: return 501;
    case 1: return 502;
    case 2: return 503;
    case 3: return 504;
    case 4: return 509;
    case 5: return 510;
    default: return 0;
    }
}

std::int32_t startupSizeCodeFor(int checkedRadio)
{
    switch (checkedRadio) {
    case 501: return 0;
    case 503: return 2;
    case 504: return 3;
    case 509: return 4;
    case 510: return 5;
    default: return 1;
    }
}

OtherControls otherControlsFor(const Settings& s)
{
    OtherControls c;
    c.noExitSaveQuery = s.record.noExitSaveQuery != 0;
    c.comNumbersFromSystem = s.record.comNumbersFromRegistry != 0;
    c.showSentText = s.record.showSentText != 0;
    c.checksumLowerCase = s.record.checksumLowerCase != 0;
    c.pdfReaderPath = fieldUtf8(s.pdfReaderPath);
    c.pdfPageCommand = fieldUtf8(s.pdfPageCommand);
    return c;
}

void applyOtherControls(Settings& s, const OtherControls& c)
{
    s.record.noExitSaveQuery = c.noExitSaveQuery ? 1 : 0;
    s.record.comNumbersFromRegistry = c.comNumbersFromSystem ? 1 : 0;
    s.record.showSentText = c.showSentText ? 1 : 0;
    s.record.checksumLowerCase = c.checksumLowerCase ? 1 : 0;
    setEditedFieldUtf8(s.pdfReaderPath, c.pdfReaderPath);
    setEditedFieldUtf8(s.pdfPageCommand, c.pdfPageCommand);
}

AutoLogControls autoLogControlsFor(const SamplingSettings& s)
{
    return AutoLogControls{s.autoLogging != 0, fieldUtf8(s.autoLogPrefix)};
}

void applyAutoLogControls(SamplingSettings& s, const AutoLogControls& c)
{
    s.autoLogging = c.autoLogging ? 1 : 0;
    setEditedFieldUtf8(s.autoLogPrefix, c.prefix);
}

} // namespace kestrane
