#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarvo::fuzz {

// The line between the drive message layer and the fuzzed drive: the fuzzer's bytes, taken
// in turn by the caller's script and by the stand-in serial or CAN library that makes the
// drive's replies from them, and the log of what the library handed over as replies.
// Shared by the fuzz targets and the stand-in libraries in data/.
struct DriveWire {
    // One reply handed to the drive message layer, as the eight protocol bytes that RS232
    // and CAN share (command, index low, index high, subindex, four data bytes).
    struct Handed {
        std::array<uint8_t, 8> request{};
        std::array<uint8_t, 8> reply{};
        uint8_t requestNode = 0;
        uint8_t replyNode = 0;    // RS232: byte 0; CAN: identifier - 0x580
        bool wellFormed = false;  // RS232: the checksum adds up; CAN: a standard data frame
        uint8_t length = 8;       // CAN: the data length code; RS232: 8
    };

    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t at = 0;
    std::vector<Handed> handed;

    void Reset(const uint8_t* bytes, size_t count) {
        data = bytes;
        size = count;
        at = 0;
        handed.clear();
    }
    bool Empty() const { return at >= size; }
    uint8_t Byte() { return at < size ? data[at++] : 0; }
};

}  // namespace tarvo::fuzz

extern "C" {
// Exported by both stand-in libraries.
typedef tarvo::fuzz::DriveWire* (*TarvoFuzzWireFn)();
}
