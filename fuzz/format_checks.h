// Checks of every input format a user or a file can hand the program. Each check loads the bytes
// the way the program does and verifies the result (the load-time rules hold, a saved image
// round-trips, every index stays inside its buffer), returning an empty text when all holds and
// a description of the first broken rule otherwise. The libFuzzer targets and the regression
// test run the same checks.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace kestrane::fuzz {

using Bytes = std::span<const std::uint8_t>;
using CheckFn = std::string (*)(Bytes);

struct FormatCheck {
    const char* name;  // also the folder of its corpus and regression inputs
    CheckFn check;
};

std::string checkQuellorn(Bytes data);
std::string checkQuellorn1(Bytes data);
std::string checkQuellorn2(Bytes data);
std::string checkDrawSize(Bytes data);
std::string checkLogFile(Bytes data);
std::string checkLogPrint(Bytes data);
std::string checkPortsConf(Bytes data);
std::string checkHexNotation(Bytes data);
std::string checkSearchHex(Bytes data);
std::string checkMdataTxt(Bytes data);
std::string checkSampleFields(Bytes data);
std::string checkDialogFields(Bytes data);
std::string checkPortsCatalog(Bytes data);
std::string checkMacroText(Bytes data);
std::string checkMacroDat(Bytes data);
std::string checkDemoRequests(Bytes data);
std::string checkNumberText(Bytes data);
std::string checkNumberReader(Bytes data);
std::string checkTelnetStream(Bytes data);
std::string checkComPortRequests(Bytes data);
std::string checkDisplayConf(Bytes data);
std::string checkPcapng(Bytes data);

// Every format, in a fixed order.
std::span<const FormatCheck> formatChecks();
// The check of `name`, or null.
CheckFn findCheck(const std::string& name);

} // namespace kestrane::fuzz
