#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace tarvo {

// The drive's RS232 frame, ten bytes:
//
//     0     node
//     1     command byte
//     2, 3  index, low byte first
//     4     subindex
//     5-8   four data bytes, least significant first
//     9     checksum: all ten bytes add up to 0 modulo 256
//
// Bytes 1-8 are the protocol bytes a CAN message carries as its eight data bytes; Put and
// Fields read and write them for both.
class Rs232Frame {
public:
    static constexpr size_t kLength = 10;
    static constexpr size_t kNodeOffset = 0;
    static constexpr size_t kProtocolOffset = 1;
    static constexpr size_t kProtocolLength = 8;
    static constexpr size_t kChecksumOffset = 9;

    using Bytes = std::array<uint8_t, kLength>;

    // What the eight protocol bytes say. `address` is index << 8 | subindex.
    struct Fields {
        uint8_t command = 0;
        uint32_t address = 0;
        uint32_t data = 0;
    };

    // The checksum byte of a frame whose first nine bytes are `frame`.
    static uint8_t Checksum(const uint8_t* frame);
    // All ten bytes of `frame` add up to 0 modulo 256.
    static bool ChecksumFits(const uint8_t* frame);

    // A frame for `node` with the protocol bytes `protocol` (eight) and its checksum.
    static Bytes Encode(uint8_t node, const uint8_t* protocol);
    // A frame for `node` of a request or reply; bits 24-31 of the address are not sent.
    static Bytes Encode(uint8_t node, uint8_t command, uint32_t address, uint32_t data);
    // The protocol bytes of a frame whose checksum fits.
    static std::optional<Fields> Decode(const uint8_t* frame);

    // The eight protocol bytes, written to and read from `protocol`.
    static void Put(uint8_t* protocol, uint8_t command, uint32_t address, uint32_t data);
    static Fields Read(const uint8_t* protocol);
};

}  // namespace tarvo
