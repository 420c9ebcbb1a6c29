#pragma once

#include <cstdint>

#include "protocol/DriveProtocol.h"

namespace tarvo::sim {

// One request of the drive message protocol: command byte, index, subindex, four data
// bytes; the same eight bytes on RS232 (frame bytes 1-8) and CAN (data bytes 0-7).
struct SdoRequest {
    uint8_t command = 0;
    uint16_t index = 0;
    uint8_t subIndex = 0;
    uint32_t data = 0;

    uint32_t Key() const { return static_cast<uint32_t>(index) << 8 | subIndex; }

    static SdoRequest FromBytes(const uint8_t* bytes) {
        SdoRequest request;
        request.command = bytes[0];
        request.index = static_cast<uint16_t>(bytes[1] | bytes[2] << 8);
        request.subIndex = bytes[3];
        request.data = static_cast<uint32_t>(bytes[4]) | static_cast<uint32_t>(bytes[5]) << 8 |
                       static_cast<uint32_t>(bytes[6]) << 16 |
                       static_cast<uint32_t>(bytes[7]) << 24;
        return request;
    }
};

// One reply: the command byte and the seven bytes behind it (index, subindex and data for
// values and aborts, the segment's bytes for segments).
struct SdoReply {
    uint8_t command = 0;
    uint8_t bytes[7] = {};

    static SdoReply Expedited(uint8_t command, uint32_t key, uint32_t data) {
        SdoReply reply;
        reply.command = command;
        reply.bytes[0] = static_cast<uint8_t>(key >> 8);
        reply.bytes[1] = static_cast<uint8_t>(key >> 16);
        reply.bytes[2] = static_cast<uint8_t>(key);
        for (int i = 0; i < 4; ++i) {
            reply.bytes[3 + i] = static_cast<uint8_t>(data >> (8 * i));
        }
        return reply;
    }
    static SdoReply Abort(uint32_t key, uint32_t code) {
        return Expedited(ToByte(SdoReplyCommand::Abort), key, code);
    }

    uint32_t Data() const {
        return static_cast<uint32_t>(bytes[3]) | static_cast<uint32_t>(bytes[4]) << 8 |
               static_cast<uint32_t>(bytes[5]) << 16 | static_cast<uint32_t>(bytes[6]) << 24;
    }
    void ToBytes(uint8_t* eight) const {
        eight[0] = command;
        for (int i = 0; i < 7; ++i) {
            eight[1 + i] = bytes[i];
        }
    }
};

}  // namespace tarvo::sim
