#include "drivesim/DriveSimOptions.h"

#include <charconv>

namespace tarvo::sim {

namespace {

bool Number(const std::string& text, uint64_t maximum, uint64_t& value) {
    const char* end = text.data() + text.size();
    auto result = std::from_chars(text.data(), end, value);
    return !text.empty() && result.ec == std::errc() && result.ptr == end && value <= maximum;
}

// Parses "N" or "N:MS" for --delay-every and --stray-every.
bool Pair(const std::string& text, uint64_t maximumSecond, uint64_t& first, uint64_t& second,
          bool& hasSecond) {
    size_t colon = text.find(':');
    hasSecond = colon != std::string::npos;
    if (!hasSecond) {
        return Number(text, 0xFFFFFFFFu, first);
    }
    return Number(text.substr(0, colon), 0xFFFFFFFFu, first) &&
           Number(text.substr(colon + 1), maximumSecond, second);
}

}  // namespace

const char* DriveSimOptions::Usage() {
    return "usage: tarvo-drivesim [options]\n"
           "A simulated drive of the TarvoStep family, for demonstrations, training and tests.\n"
           "\n"
           "Transports (RS232 on a pseudo-terminal when none is given):\n"
           "  --pty                 RS232 frames on a pseudo-terminal; its name is printed\n"
           "  --link NAME           also make <folder>/dev/NAME point at it (e.g. ttySIM0)\n"
           "  --can-sim [PATH]      serve the simulated CAN bus of libCAN.so at PATH\n"
           "                        (default dev/cansim0, relative to the folder)\n"
           "  --can-bitrate BITS    bit rate of the simulated bus (default 500000; 500k)\n"
           "  --can-paced           every frame holds the simulated bus for its bit time at\n"
           "                        that rate, stuffing estimated at its worst (default: at once)\n"
           "  --socketcan IFACE     answer on a SocketCAN interface (can0, vcan0)\n"
           "\n"
           "Drive:\n"
           "  --folder DIR          program folder (default: the current directory)\n"
           "  --source FILE         dictionary source (default: sim/dictionary.json beside\n"
           "                        the program)\n"
           "  --eds FILE            serve the objects of a CiA 306 EDS instead (defaults,\n"
           "                        access rights, LowLimit/HighLimit; $NODEID from --node)\n"
           "  --node N              node ID 1-127 (default 1)\n"
           "  --store FILE          keep the non-volatile memory in FILE across runs\n"
           "  --store-ms MS         a store command keeps 2FF0h busy this long (default 300)\n"
           "  --reboot-ms MS        silence after the reboot command (default 1000)\n"
           "  --seed N              seed of the measurement noise (default 1)\n"
           "  --static-inputs       DIN7 and DIN8 keep still instead of changing over time\n"
           "  --no-console          ignore standard input\n"
           "  --quiet               print only the port and bus lines\n"
           "\n"
           "Faults on demand (exchange counts start at 1):\n"
           "  --line-baud B         emulate an RS232 line of B baud, 10 bits a byte\n"
           "  --turnaround MS       wait before every reply\n"
           "  --delay-every N:MS    hold every Nth reply back by MS more\n"
           "  --drop-every N        leave every Nth request unanswered\n"
           "  --bad-checksum-every N  every Nth RS232 reply with a wrong checksum\n"
           "  --echo                send each RS232 request back before its reply\n"
           "  --split N             write RS232 replies in pieces of N bytes, 2 ms apart\n"
           "  --stray-every N[:B]   B stray bytes (default 3) before every Nth RS232 reply;\n"
           "                        on CAN a heartbeat, a PDO and another node's reply\n"
           "  --stop-after N        stop answering after N exchanges\n"
           "  --close-after N       close the port or bus after the Nth exchange\n"
           "\n"
           "Standard input takes commands: error BIT [persist], clear, pin N 0|1|auto,\n"
           "status, record (the capture's record in hexadecimal), quit.\n"
           "Standard output gets one line per transport (\"port /dev/pts/N\", \"link PATH\",\n"
           "\"bus PATH\", \"socketcan IFACE\"), then \"ready\".\n";
}

bool DriveSimOptions::Parse(const std::vector<std::string>& args, DriveSimOptions& options,
                            bool& help, std::string& error) {
    help = false;
    bool transportGiven = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                error = arg + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        auto number = [&](uint64_t maximum, uint64_t& out) {
            std::string text;
            if (!value(text)) {
                return false;
            }
            if (!Number(text, maximum, out)) {
                error =
                    arg + " " + text + ": expected a whole number up to " + std::to_string(maximum);
                return false;
            }
            return true;
        };
        uint64_t n = 0;
        std::string text;
        if (arg == "--help" || arg == "-h") {
            help = true;
            return true;
        } else if (arg == "--pty") {
            options.pty = transportGiven = true;
        } else if (arg == "--link") {
            if (!value(options.link)) {
                return false;
            }
            options.pty = transportGiven = true;
        } else if (arg == "--can-sim") {
            options.canSim = transportGiven = true;
            if (i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0) {
                options.canSimPath = args[++i];
            }
        } else if (arg == "--can-bitrate") {
            std::string typed;
            if (!value(typed)) {
                return false;
            }
            // "500k" for 500000, as bit rates are usually written.
            uint64_t scale = 1;
            if (typed.size() > 1 && (typed.back() == 'k' || typed.back() == 'K')) {
                typed.pop_back();
                scale = 1000;
            }
            if (!Number(typed, 1000000, n) || n * scale > 1000000 || n * scale < 5000) {
                error = "--can-bitrate: expected 5000 to 1000000 (or 5k to 1000k)";
                return false;
            }
            options.canBitRate = static_cast<uint32_t>(n * scale);
        } else if (arg == "--can-paced") {
            options.canPaced = true;
        } else if (arg == "--socketcan") {
            if (!value(options.socketCan)) {
                return false;
            }
            transportGiven = true;
        } else if (arg == "--folder") {
            if (!value(options.folder)) {
                return false;
            }
        } else if (arg == "--source") {
            if (!value(options.source)) {
                return false;
            }
        } else if (arg == "--eds") {
            if (!value(options.eds)) {
                return false;
            }
        } else if (arg == "--node") {
            if (!number(127, n) || n < 1) {
                error = error.empty() ? "--node: expected a node ID from 1 to 127" : error;
                return false;
            }
            options.node = static_cast<int>(n);
        } else if (arg == "--store") {
            if (!value(options.storeFile)) {
                return false;
            }
        } else if (arg == "--store-ms") {
            if (!number(600000, n)) {
                return false;
            }
            options.storeBusyMs = static_cast<uint32_t>(n);
        } else if (arg == "--reboot-ms") {
            if (!number(600000, n)) {
                return false;
            }
            options.rebootSilenceMs = static_cast<uint32_t>(n);
        } else if (arg == "--seed") {
            if (!number(0xFFFFFFFFu, n)) {
                return false;
            }
            options.seed = static_cast<uint32_t>(n);
        } else if (arg == "--static-inputs") {
            options.changingInputs = false;
        } else if (arg == "--no-console") {
            options.console = false;
        } else if (arg == "--quiet") {
            options.quiet = true;
        } else if (arg == "--line-baud") {
            if (!number(4000000, n) || n < 50) {
                error = error.empty() ? "--line-baud: expected 50 to 4000000" : error;
                return false;
            }
            options.faults.lineBaud = static_cast<uint32_t>(n);
        } else if (arg == "--turnaround") {
            if (!number(60000, n)) {
                return false;
            }
            options.faults.turnaroundUs = static_cast<uint32_t>(n * 1000);
        } else if (arg == "--delay-every" || arg == "--stray-every") {
            uint64_t second = 0;
            bool hasSecond = false;
            if (!value(text) ||
                !Pair(text, arg == "--delay-every" ? 60000 : 64, n, second, hasSecond) || n == 0) {
                error = error.empty()
                            ? arg + " " + text +
                                  ": expected N or N:" + (arg == "--delay-every" ? "MS" : "BYTES") +
                                  " with N from 1"
                            : error;
                return false;
            }
            if (arg == "--delay-every") {
                options.faults.delayEvery = static_cast<uint32_t>(n);
                options.faults.delayUs = static_cast<uint32_t>((hasSecond ? second : 100) * 1000);
            } else {
                options.faults.strayEvery = static_cast<uint32_t>(n);
                options.faults.strayBytes = static_cast<uint32_t>(hasSecond ? second : 3);
            }
        } else if (arg == "--drop-every") {
            if (!number(0xFFFFFFFFu, n)) {
                return false;
            }
            options.faults.dropEvery = static_cast<uint32_t>(n);
        } else if (arg == "--bad-checksum-every") {
            if (!number(0xFFFFFFFFu, n)) {
                return false;
            }
            options.faults.badChecksumEvery = static_cast<uint32_t>(n);
        } else if (arg == "--echo") {
            options.faults.echo = true;
        } else if (arg == "--split") {
            if (!number(9, n) || n < 1) {
                error = error.empty() ? "--split: expected 1 to 9 bytes a piece" : error;
                return false;
            }
            options.faults.splitBytes = static_cast<uint32_t>(n);
        } else if (arg == "--stop-after") {
            if (!number(~0ull >> 1, n)) {
                return false;
            }
            options.faults.stopAfter = n;
        } else if (arg == "--close-after") {
            if (!number(~0ull >> 1, n)) {
                return false;
            }
            options.faults.closeAfter = n;
        } else {
            error = "unknown option " + arg + " (see --help)";
            return false;
        }
    }
    if (!transportGiven) {
        options.pty = true;
    }
    return true;
}

}  // namespace tarvo::sim
