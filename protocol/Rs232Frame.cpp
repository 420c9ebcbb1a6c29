#include "protocol/Rs232Frame.h"

#include <algorithm>

namespace tarvo {

uint8_t Rs232Frame::Checksum(const uint8_t* frame) {
    uint8_t sum = 0;
    for (size_t i = 0; i < kChecksumOffset; ++i) {
        sum = static_cast<uint8_t>(sum + frame[i]);
    }
    return static_cast<uint8_t>(-sum);
}

bool Rs232Frame::ChecksumFits(const uint8_t* frame) {
    return Checksum(frame) == frame[kChecksumOffset];
}

Rs232Frame::Bytes Rs232Frame::Encode(uint8_t node, const uint8_t* protocol) {
    Bytes frame{};
    frame[kNodeOffset] = node;
    std::copy_n(protocol, kProtocolLength, frame.begin() + kProtocolOffset);
    frame[kChecksumOffset] = Checksum(frame.data());
    return frame;
}

Rs232Frame::Bytes Rs232Frame::Encode(uint8_t node, uint8_t command, uint32_t address,
                                     uint32_t data) {
    uint8_t protocol[kProtocolLength];
    Put(protocol, command, address, data);
    return Encode(node, protocol);
}

std::optional<Rs232Frame::Fields> Rs232Frame::Decode(const uint8_t* frame) {
    if (!ChecksumFits(frame)) {
        return std::nullopt;
    }
    return Read(frame + kProtocolOffset);
}

void Rs232Frame::Put(uint8_t* protocol, uint8_t command, uint32_t address, uint32_t data) {
    protocol[0] = command;
    protocol[1] = static_cast<uint8_t>(address >> 8);
    protocol[2] = static_cast<uint8_t>(address >> 16);
    protocol[3] = static_cast<uint8_t>(address);
    for (int i = 0; i < 4; ++i) {
        protocol[4 + i] = static_cast<uint8_t>(data >> (8 * i));
    }
}

Rs232Frame::Fields Rs232Frame::Read(const uint8_t* protocol) {
    Fields fields;
    fields.command = protocol[0];
    fields.address = uint32_t{protocol[2]} << 16 | uint32_t{protocol[1]} << 8 | protocol[3];
    for (int i = 0; i < 4; ++i) {
        fields.data |= uint32_t{protocol[4 + i]} << (8 * i);
    }
    return fields;
}

}  // namespace tarvo
