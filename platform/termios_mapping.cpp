#include "platform/termios_mapping.h"

// The kernel's termios2; <termios.h> must stay out of this file.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cstring>

namespace kestrane {

static_assert(tio::kIgnbrk == IGNBRK && tio::kBrkint == BRKINT && tio::kIgnpar == IGNPAR && tio::kParmrk == PARMRK
              && tio::kInpck == INPCK && tio::kIstrip == ISTRIP && tio::kInlcr == INLCR && tio::kIgncr == IGNCR
              && tio::kIcrnl == ICRNL && tio::kIuclc == IUCLC && tio::kIxon == IXON && tio::kIxany == IXANY
              && tio::kIxoff == IXOFF && tio::kImaxbel == IMAXBEL && tio::kIutf8 == IUTF8);
static_assert(tio::kOpost == OPOST);
static_assert(tio::kCbaud == CBAUD && tio::kBother == BOTHER && tio::kCsize == CSIZE && tio::kCs5 == CS5
              && tio::kCs6 == CS6 && tio::kCs7 == CS7 && tio::kCs8 == CS8 && tio::kCstopb == CSTOPB
              && tio::kCread == CREAD && tio::kParenb == PARENB && tio::kParodd == PARODD && tio::kHupcl == HUPCL
              && tio::kClocal == CLOCAL && tio::kCibaud == CIBAUD && tio::kCmspar == CMSPAR
              && tio::kCrtscts == CRTSCTS);
static_assert(tio::kIsig == ISIG && tio::kIcanon == ICANON && tio::kEcho == ECHO && tio::kEchoe == ECHOE
              && tio::kEchok == ECHOK && tio::kEchonl == ECHONL && tio::kNoflsh == NOFLSH && tio::kTostop == TOSTOP
              && tio::kEchoctl == ECHOCTL && tio::kEchoprt == ECHOPRT && tio::kEchoke == ECHOKE
              && tio::kIexten == IEXTEN && tio::kExtproc == EXTPROC);
static_assert(tio::kVtime == VTIME && tio::kVmin == VMIN && tio::kVstart == VSTART && tio::kVstop == VSTOP);
static_assert(sizeof(TermiosImage::cc) == NCCS);

using namespace tio;

namespace {

// The rate of a classic Bxxx speed code (what a driver may report instead of BOTHER).
std::uint32_t rateOfCode(std::uint32_t code)
{
    static constexpr struct {
        std::uint32_t code, rate;
    } kRates[] = {
        {B0, 0},           {B50, 50},           {B75, 75},           {B110, 110},         {B134, 134},
        {B150, 150},       {B200, 200},         {B300, 300},         {B600, 600},         {B1200, 1200},
        {B1800, 1800},     {B2400, 2400},       {B4800, 4800},       {B9600, 9600},       {B19200, 19200},
        {B38400, 38400},   {B57600, 57600},     {B115200, 115200},   {B230400, 230400},   {B460800, 460800},
        {B500000, 500000}, {B576000, 576000},   {B921600, 921600},   {B1000000, 1000000}, {B1152000, 1152000},
        {B1500000, 1500000}, {B2000000, 2000000}, {B2500000, 2500000}, {B3000000, 3000000},
        {B3500000, 3500000}, {B4000000, 4000000},
    };
    for (const auto& r : kRates)
        if (r.code == code)
            return r.rate;
    return 0;
}

std::uint8_t byteSizeOf(std::uint32_t cflag)
{
    switch (cflag & kCsize) {
    case kCs5: return 5;
    case kCs6: return 6;
    case kCs7: return 7;
    default: return 8;
    }
}

} // namespace

void makeRaw(TermiosImage& t)
{
    t.iflag &= ~(kIgnbrk | kBrkint | kIgnpar | kIstrip | kInlcr | kIgncr | kIcrnl | kIuclc | kIxon | kIxany
                 | kIxoff | kImaxbel | kInpck | kIutf8);
    // Breaks, and errors once INPCK is on, arrive marked in the data instead of as NUL bytes.
    t.iflag |= kParmrk;
    t.oflag &= ~kOpost;
    t.lflag &= ~(kIsig | kIcanon | kEcho | kEchoe | kEchok | kEchonl | kEchoctl | kEchoprt | kEchoke | kIexten
                 | kExtproc | kTostop);
    // HUPCL drops DTR/RTS on the last close, as closing a port does on Windows.
    t.cflag |= kCread | kClocal | kHupcl;
    t.cc[kVmin] = 1;
    t.cc[kVtime] = 0;
}

bool applyDcb(const Dcb& dcb, TermiosImage& t)
{
    std::uint32_t csize = 0;
    switch (dcb.ByteSize) {
    case 5: csize = kCs5; break;
    case 6: csize = kCs6; break;
    case 7: csize = kCs7; break;
    case 8: csize = kCs8; break;
    default: return false;
    }

    std::uint32_t parity = 0;
    switch (dcb.Parity) {
    case NOPARITY: parity = 0; break;
    case ODDPARITY: parity = kParenb | kParodd; break;
    case EVENPARITY: parity = kParenb; break;
    case MARKPARITY: parity = kParenb | kCmspar | kParodd; break;
    case SPACEPARITY: parity = kParenb | kCmspar; break;
    default: return false;
    }

    // 1.5 stop bits exist only with 5 data bits, 2 only with 6..8: a UART sends 1.5 for CS5|CSTOPB.
    std::uint32_t stop = 0;
    switch (dcb.StopBits) {
    case ONESTOPBIT: stop = 0; break;
    case ONE5STOPBITS:
        if (dcb.ByteSize != 5)
            return false;
        stop = kCstopb;
        break;
    case TWOSTOPBITS:
        if (dcb.ByteSize == 5)
            return false;
        stop = kCstopb;
        break;
    default: return false;
    }

    if (dcb.BaudRate == 0)
        return false;

    TermiosImage r = t;
    makeRaw(r);
    r.cflag &= ~(kCsize | kParenb | kParodd | kCmspar | kCstopb | kCrtscts | kCbaud | kCibaud);
    // CIBAUD left 0: the input speed follows the output speed.
    r.cflag |= csize | parity | stop | kBother;
    r.ispeed = dcb.BaudRate;
    r.ospeed = dcb.BaudRate;
    // Linux cannot split the directions: CTS out-flow or RTS handshake both mean CRTSCTS.
    if (dcb.fOutxCtsFlow() || dcb.fRtsControl() == RTS_CONTROL_HANDSHAKE)
        r.cflag |= kCrtscts;
    if (dcb.fParity())
        r.iflag |= kInpck;
    if (dcb.fOutX())
        r.iflag |= kIxon;
    if (dcb.fInX())
        r.iflag |= kIxoff;
    r.cc[kVstart] = dcb.XonChar;
    r.cc[kVstop] = dcb.XoffChar;
    t = r;
    return true;
}

Dcb dcbFromTermios(const TermiosImage& t, const Dcb& lastSet)
{
    Dcb d = lastSet;
    d.BaudRate = (t.cflag & kCbaud) == kBother ? t.ospeed : rateOfCode(t.cflag & kCbaud);
    d.ByteSize = byteSizeOf(t.cflag);
    if (!(t.cflag & kParenb))
        d.Parity = NOPARITY;
    else if (t.cflag & kCmspar)
        d.Parity = (t.cflag & kParodd) ? MARKPARITY : SPACEPARITY;
    else
        d.Parity = (t.cflag & kParodd) ? ODDPARITY : EVENPARITY;
    if (!(t.cflag & kCstopb))
        d.StopBits = ONESTOPBIT;
    else
        d.StopBits = d.ByteSize == 5 ? ONE5STOPBITS : TWOSTOPBITS;

    // CRTSCTS stands for either CTS out-flow or RTS handshake: keep the set record's choice
    // while the device agrees with it.
    const bool lastHandshake = lastSet.fOutxCtsFlow() || lastSet.fRtsControl() == RTS_CONTROL_HANDSHAKE;
    if (t.cflag & kCrtscts) {
        if (!lastHandshake) {
            d.setFOutxCtsFlow(true);
            d.setFRtsControl(RTS_CONTROL_HANDSHAKE);
        }
    } else {
        d.setFOutxCtsFlow(false);
        if (d.fRtsControl() == RTS_CONTROL_HANDSHAKE)
            d.setFRtsControl(RTS_CONTROL_ENABLE);
    }
    d.setFParity(t.iflag & kInpck);
    d.setFOutX(t.iflag & kIxon);
    d.setFInX(t.iflag & kIxoff);
    d.XonChar = t.cc[kVstart];
    d.XoffChar = t.cc[kVstop];
    return d;
}

std::uint32_t refusedSettings(const Dcb& wanted, const TermiosImage& got)
{
    const Dcb taken = dcbFromTermios(got, wanted);
    const std::uint64_t diff =
        wanted.BaudRate > taken.BaudRate ? wanted.BaudRate - taken.BaudRate : taken.BaudRate - wanted.BaudRate;
    std::uint32_t refused = 0;
    if (diff * 100 > std::uint64_t{wanted.BaudRate} * 3)
        refused |= SetStateFailure::Rate;
    if (taken.ByteSize != wanted.ByteSize)
        refused |= SetStateFailure::ByteSize;
    if (taken.Parity != wanted.Parity)
        refused |= SetStateFailure::Parity;
    if (taken.StopBits != wanted.StopBits)
        refused |= SetStateFailure::StopBits;
    const bool handshake = wanted.fOutxCtsFlow() || wanted.fRtsControl() == RTS_CONTROL_HANDSHAKE;
    if (((got.cflag & kCrtscts) != 0) != handshake || taken.fOutX() != wanted.fOutX() || taken.fInX() != wanted.fInX())
        refused |= SetStateFailure::FlowControl;
    return refused;
}

bool readTermios(int fd, TermiosImage& t)
{
    struct termios2 k {};
    if (ioctl(fd, TCGETS2, &k) != 0)
        return false;
    t.iflag = k.c_iflag;
    t.oflag = k.c_oflag;
    t.cflag = k.c_cflag;
    t.lflag = k.c_lflag;
    t.line = k.c_line;
    std::memcpy(t.cc.data(), k.c_cc, t.cc.size());
    t.ispeed = k.c_ispeed;
    t.ospeed = k.c_ospeed;
    return true;
}

bool writeTermios(int fd, const TermiosImage& t)
{
    struct termios2 k {};
    k.c_iflag = t.iflag;
    k.c_oflag = t.oflag;
    k.c_cflag = t.cflag;
    k.c_lflag = t.lflag;
    k.c_line = t.line;
    std::memcpy(k.c_cc, t.cc.data(), t.cc.size());
    k.c_ispeed = t.ispeed;
    k.c_ospeed = t.ospeed;
    return ioctl(fd, TCSETS2, &k) == 0;
}

std::size_t MarkDecoder::decode(const std::uint8_t* in, std::size_t n, std::uint8_t* out,
                               std::vector<ReadMarks::Error>* errors, const ErrorCounterSteps* steps)
{
    using timeline::LineError;
    if (steps) {
        counted_.parity += steps->parity;
        counted_.frame += steps->frame;
        counted_.brk += steps->brk;
    }
    auto mark = [&](std::size_t at, LineError kind) {
        if (errors)
            errors->push_back({static_cast<std::uint32_t>(at), kind, 0});
    };
    std::size_t o = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (state_ == State::Plain) {
            // Between marks the bytes are plain: copied as one run up to the next FF.
            const auto* ff = static_cast<const std::uint8_t*>(std::memchr(in + i, 0xFF, n - i));
            const std::size_t run = (ff ? static_cast<std::size_t>(ff - in) : n) - i;
            std::memcpy(out + o, in + i, run);
            o += run;
            i += run;
            if (i == n)
                break;
        }
        const std::uint8_t c = in[i];
        switch (state_) {
        case State::Plain:
            if (c == 0xFF)
                state_ = State::Escape;
            else
                out[o++] = c;
            break;
        case State::Escape:
            if (c == 0x00) {
                state_ = State::Mark;
                break;
            }
            // FF FF is a literal FF; anything else was no mark at all.
            out[o++] = 0xFF;
            if (c != 0xFF)
                out[o++] = c;
            state_ = State::Plain;
            break;
        case State::Mark:
            if (c == 0x00 && steps && counted_.brk == 0 && counted_.parity + counted_.frame > 0) {
                // Counted as an error, not a break: a NUL byte received with bad parity or framing.
                errors_ |= CE_RXPARITY;
                mark(o, takeCounted());
                out[o++] = 0x00;
            } else if (c == 0x00) {
                errors_ |= CE_BREAK;
                if (counted_.brk > 0)
                    --counted_.brk;
                mark(o, LineError::Break);
            } else {
                errors_ |= CE_RXPARITY;
                mark(o, takeCounted());
                out[o++] = c;
            }
            state_ = State::Plain;
            break;
        }
    }
    if (steps) {
        if (steps->overrun > 0 && errors)
            errors->push_back({static_cast<std::uint32_t>(o), LineError::Overrun, steps->overrun});
        if (steps->bufOverrun > 0 && errors)
            errors->push_back({static_cast<std::uint32_t>(o), LineError::BufferOverrun, steps->bufOverrun});
        // Counts older than this call that found no mark are forgotten (unless a mark is cut
        // in half: its count came with its first part).
        if (state_ != State::Plain)
            return o;
        counted_.parity = std::min(counted_.parity, steps->parity);
        counted_.frame = std::min(counted_.frame, steps->frame);
        counted_.brk = std::min(counted_.brk, steps->brk);
        if (counted_.parity + counted_.frame == 0)
            counted_.mixed = false;
    }
    return o;
}

timeline::LineError MarkDecoder::takeCounted()
{
    using timeline::LineError;
    if (!counted_.mixed && counted_.parity > 0 && counted_.frame == 0) {
        --counted_.parity;
        return LineError::Parity;
    }
    if (!counted_.mixed && counted_.frame > 0 && counted_.parity == 0) {
        --counted_.frame;
        return LineError::Framing;
    }
    if (counted_.parity > 0 && counted_.frame > 0)
        counted_.mixed = true;
    if (counted_.parity > 0)
        --counted_.parity;
    else if (counted_.frame > 0)
        --counted_.frame;
    if (counted_.parity + counted_.frame == 0)
        counted_.mixed = false;
    return LineError::ParityOrFraming;
}

std::uint32_t MarkDecoder::takeErrors()
{
    const std::uint32_t e = errors_;
    errors_ = 0;
    return e;
}

} // namespace kestrane
