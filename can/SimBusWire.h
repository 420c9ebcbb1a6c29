#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "can/CanFrame.h"

namespace tarvo::canbus {

// The simulated CAN bus that tarvo-drivesim serves on a local socket (AF_UNIX,
// SOCK_SEQPACKET): every message is one 16-byte record. A client first says hello with its
// bit rate; the bus answers with welcome (its own bit rate and whether the client may stay)
// and from then on relays every frame a participant sends to all the others.
struct SimBusRecord {
    uint32_t id;      // Frame::id, flags included
    uint8_t kind;     // kFrame, kHello or kWelcome
    uint8_t length;   // data bytes of a frame, 0-8
    uint8_t data[8];  // hello: bit rate, protocol version; welcome: bit rate, status
    uint8_t reserved[2];
};
static_assert(sizeof(SimBusRecord) == 16, "one record per socket message");

namespace SimBus {
constexpr uint8_t kFrame = 0;
constexpr uint8_t kHello = 1;
constexpr uint8_t kWelcome = 2;
constexpr uint32_t kProtocolVersion = 1;
constexpr uint32_t kWelcomeOk = 0;
constexpr uint32_t kWelcomeBitRateMismatch = 1;
constexpr uint32_t kWelcomeVersionMismatch = 2;

inline uint32_t Word(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}
inline void PutWord(uint8_t* bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[i] = static_cast<uint8_t>(value >> (8 * i));
    }
}
inline SimBusRecord Control(uint8_t kind, uint32_t first, uint32_t second) {
    SimBusRecord record{};
    record.kind = kind;
    PutWord(record.data, first);
    PutWord(record.data + 4, second);
    return record;
}
inline SimBusRecord FromFrame(const Frame& frame) {
    SimBusRecord record{};
    record.id = frame.id;
    record.kind = kFrame;
    record.length = frame.length > 8 ? 8 : frame.length;
    std::memcpy(record.data, frame.data, 8);
    return record;
}
inline Frame ToFrame(const SimBusRecord& record) {
    Frame frame;
    frame.id = record.id;
    frame.length = record.length > 8 ? 8 : record.length;
    std::memcpy(frame.data, record.data, 8);
    return frame;
}
}  // namespace SimBus

}  // namespace tarvo::canbus
