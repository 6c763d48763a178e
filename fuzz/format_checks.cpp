#include "fuzz/format_checks.h"


namespace kestrane::fuzz {

std::span<const FormatCheck> formatChecks()
{
    // Sized by its list, so a new format is one line here.
    static constexpr FormatCheck checks[] = {
        {"quellorn", checkQuellorn},
        {"quellorn1", checkQuellorn1},
        {"quellorn2", checkQuellorn2},
        {"draw_size", checkDrawSize},
        {"log_file", checkLogFile},
        {"log_print", checkLogPrint},
        {"ports_conf", checkPortsConf},
        {"hex_notation", checkHexNotation},
        {"search_hex", checkSearchHex},
        {"mdata_txt", checkMdataTxt},
        {"sample_fields", checkSampleFields},
        {"dialog_fields", checkDialogFields},
        {"ports_catalog", checkPortsCatalog},
        {"macro_text", checkMacroText},
        {"macro_dat", checkMacroDat},
        {"demo_requests", checkDemoRequests},
        {"number_text", checkNumberText},
        {"number_reader", checkNumberReader},
        {"telnet_stream", checkTelnetStream},
        {"com_port_requests", checkComPortRequests},
        {"display_conf", checkDisplayConf},
        {"pcapng", checkPcapng},
    };
    return checks;
}

CheckFn findCheck(const std::string& name)
{
    for (const FormatCheck& c : formatChecks())
        if (name == c.name)
            return c.check;
    return nullptr;
}

} // namespace kestrane::fuzz
