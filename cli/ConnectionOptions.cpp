#include "cli/ConnectionOptions.h"

#include <cctype>
#include <iostream>

#include "cli/ArgumentText.h"
#include "comm/CanBitRates.h"

namespace tarvo {

const char* const kConnectionUsage =
    "connection: --port NAME [--baud RATE] | --can [--bitrate RATE]\n"
    "            [--node N] [--timeout MS] [--trace FILE]\n";

namespace {

bool ParseBitRate(const std::string& value, uint32_t& code) {
    // A rate ("500k", "1000k", "1m") or a PCAN bit-rate code, decimal or hexadecimal.
    uint32_t kbits = 0;
    char last = value.empty() ? '\0' : static_cast<char>(std::tolower(value.back()));
    if ((last == 'k' || last == 'm') &&
        ArgumentText::ParseUnsigned(value.substr(0, value.size() - 1), kbits)) {
        auto entry = CanBitRates::EntryOfKbits(last == 'm' ? kbits * 1000 : kbits);
        if (!entry) {
            std::cerr << "tarvoctl: --bitrate " << value
                      << " is not a rate of the adapter (1000k 500k 250k 125k 100k 50k 20k)\n";
            return false;
        }
        code = CanBitRates::CodeOfEntry(*entry);
        return true;
    }
    bool hex = value.rfind("0x", 0) == 0 || value.rfind("0X", 0) == 0;
    if (!(hex ? ArgumentText::ParseHexField(value, 4, code)
              : ArgumentText::ParseUnsigned(value, code))) {
        std::cerr << "tarvoctl: --bitrate takes a bit-rate code, not \"" << value << "\"\n";
        return false;
    }
    if (!CanBitRates::EntryOfCode(code)) {
        std::cerr << "tarvoctl: --bitrate " << value << " is not a known bit-rate code\n";
        return false;
    }
    return true;
}

}  // namespace

bool ConnectionOptions::Take(std::vector<std::string>& args, ConnectionOptions& options) {
    std::vector<std::string> rest;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--can") {
            options.can = true;
            continue;
        }
        bool takesValue = arg == "--port" || arg == "--baud" || arg == "--node" ||
                          arg == "--timeout" || arg == "--trace" || arg == "--bitrate";
        if (!takesValue) {
            rest.push_back(arg);
            continue;
        }
        if (i + 1 >= args.size()) {
            std::cerr << "tarvoctl: " << arg << " needs a value\n";
            return false;
        }
        const std::string& value = args[++i];
        uint32_t number = 0;
        if (arg == "--port") {
            options.port = value;
        } else if (arg == "--trace") {
            options.trace = value;
        } else if (arg == "--bitrate") {
            if (!ParseBitRate(value, options.bitRateCode)) {
                return false;
            }
        } else if (!ArgumentText::ParseUnsigned(value, number)) {
            std::cerr << "tarvoctl: " << arg << " takes a whole number, not \"" << value << "\"\n";
            return false;
        } else if (arg == "--baud") {
            options.baud = number;
        } else if (arg == "--node") {
            options.node = number;
        } else {
            options.timeoutMs = number;
            options.timeoutGiven = true;
        }
    }
    if (options.baud == 0) {
        std::cerr << "tarvoctl: --baud must not be 0\n";
        return false;
    }
    if (options.node < 1 || options.node > 127) {
        std::cerr << "tarvoctl: --node must be 1 to 127\n";
        return false;
    }
    args = std::move(rest);
    return true;
}

}  // namespace tarvo
