// Where each field of the settings records lies in its file: one table per record, used by both
// the writer and the reader (settings_files.cpp), little-endian and packed.
#pragma once

#include "platform/le_layout.h"
#include "records/settings_files.h"
#include "records/settings_records.h"

#include <array>
#include <cstddef>
#include <type_traits>

namespace kestrane {

// General settings, the first 178 bytes of Quellorn.dat.
constexpr auto tableOf(std::type_identity<SettingsRecord>)
{
    using le::at;
    using R = SettingsRecord;
    return le::table<R>(R::kSize,
        at(0, &R::ch1ComNumber), at(4, &R::ch1BaudRate), at(8, &R::ch1ByteSize), at(9, &R::ch1StopBits),
        at(10, &R::ch1Parity), at(11, &R::ch1FlowControl), at(15, &R::sendStartCharOn), at(19, &R::sendStopCharOn),
        at(23, &R::sendChecksumOn), at(27, &R::checksumOutputForm), at(31, &R::sendEndCharOn),
        at(35, &R::sendStartCharHex), at(39, &R::sendStopCharHex), at(43, &R::sendEndCharHex),
        at(47, &R::dioFitted), at(51, &R::dioControlWord), at(53, &R::dioDriverNo), at(55, &R::dioGroupNo),
        at(57, &R::fullRedisplay), at(61, &R::idleClockFactor), at(65, &R::baseClockMs),
        at(69, &R::idleRedisplayCount), at(73, &R::trafficDisplayCount), at(77, &R::displayMode),
        at(81, &R::ch2Mode), at(85, &R::ch2ComNumber), at(89, &R::ch2BaudRate), at(93, &R::ch2ByteSize),
        at(94, &R::ch2StopBits), at(95, &R::ch2Parity), at(96, &R::ch2FlowControl),
        at(100, &R::ch1ForceConfigSize52), at(104, &R::ch2ForceConfigSize52), at(108, &R::ch1RxGapMs),
        at(112, &R::ch2RxGapMs), at(116, &R::bufferSize), at(120, &R::autoScroll), at(124, &R::macroClockMs),
        at(128, &R::ch1MaskRxChar), at(132, &R::ch1MaskRxFlag), at(136, &R::ch2MaskRxChar),
        at(140, &R::ch2MaskRxFlag), at(144, &R::checksumMethod), at(148, &R::noExitSaveQuery),
        at(152, &R::fastDisplayAtStart), at(156, &R::comNumbersFromRegistry), at(160, &R::showSentText),
        at(164, &R::checksumLowerCase), at(168, &R::reserved));
}

// The line parameters as the program keeps them (108 bytes); Quellorn1.dat stores pieces of this.
constexpr auto tableOf(std::type_identity<LineParams>)
{
    using le::at;
    using P = LineParams;
    return le::table<P>(P::kSize, at(0, &P::ch1Dcb), at(28, &P::ch2Dcb), at(56, &P::ch1Timeouts),
                        at(76, &P::ch2Timeouts), at(96, &P::spare));
}

constexpr auto tableOf(std::type_identity<SamplingField>)
{
    using le::at;
    return le::table<SamplingField>(8, at(0, &SamplingField::position), at(4, &SamplingField::length));
}

// Quellorn2.dat.
constexpr auto tableOf(std::type_identity<SamplingSettings>)
{
    using le::at;
    using S = SamplingSettings;
    return le::table<S>(S::kSize, at(0, &S::samplingCount), at(4, &S::samplingFields), at(44, &S::autoLogging),
                        at(48, &S::autoLogPrefix));
}

// Quellorn1.dat: four overlapping pieces of the line-parameter image above, in file order;
// reading lets later pieces overwrite earlier ones.
struct Quellorn1Piece {
    std::size_t fileAt, imageAt, length;
};
inline constexpr std::array<Quellorn1Piece, 4> kQuellorn1Pieces{
    {{0, 0, 80}, {80, 56, 28}, {108, 28, 80}, {188, 76, 28}}};

// Quellorn.dat: the general settings, then the PDF reader's path and its page command.
constexpr auto quellornTable()
{
    using le::at;
    return le::table<Settings>(kQuellornSize, at(0, &Settings::record), at(178, &Settings::pdfReaderPath),
                               at(438, &Settings::pdfPageCommand));
}

// draw_size.dat: the frame size at start-up.
constexpr auto drawSizeTable()
{
    return le::table<Settings>(kDrawSizeSize, le::at(0, &Settings::startupSizeCode));
}

} // namespace kestrane
