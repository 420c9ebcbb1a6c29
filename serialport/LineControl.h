#pragma once

#include <cstdint>

namespace tarvo::serial {

// The line settings the port object keeps from its configuration.
struct LineSettings {
    uint32_t baudRate = 0;
    uint8_t byteSize = 8;
    uint8_t parity = 0;    // 0 none, 1 odd, 2 even, 3 mark, 4 space
    uint8_t stopBits = 0;  // 0 one, 1 one and a half (taken as two), 2 two
};

// Terminal control for one open port. Every function returns 0 or the errno of the step
// that failed. Rates are set as plain numbers, so 14400, 56000 and 256000 work as well as
// the classic speeds.
class LineControl {
public:
    // Raw 8-bit line without flow control or modem-line handshakes, at the given settings.
    static int Apply(int fd, const LineSettings& settings);
    // Discards both directions (the purge before every wait and every write).
    static int Purge(int fd);
    // Lowers DTR and RTS; ignored where the device has no modem lines.
    static void DropModemLines(int fd);
    // Asks a USB serial adapter not to hold received bytes back for its latency timer
    // (16 ms by default, which would cap the exchanges at about 60 a second). `path` is the
    // device path that was opened.
    static void RequestLowLatency(int fd, const char* path);
    // Reads back the rate in force; 0 when it cannot be read.
    static uint32_t CurrentRate(int fd);
};

}  // namespace tarvo::serial
