// A stand-in for PEAK's PCAN-Basic library, built for the tests: it answers every request
// of node n with a reply of 0x580 + n, preceded by a bus status message, a heartbeat and
// another node's reply, and lets the tests look at what it was asked.
#include <cstring>
#include <deque>

#include "can/PcanBasicApi.h"

namespace {

constexpr TPCANStatus kIllegalHardware = 0x01400;
constexpr TPCANStatus kNotInitialized = 0x40000;

struct Double {
    bool open = false;
    TPCANHandle channel = 0;
    uint16_t bitRate = 0;
    int writes = 0;
    std::deque<TPCANMsg> queue;
} state;

TPCANMsg Message(uint32_t id, uint8_t type, std::initializer_list<uint8_t> bytes) {
    TPCANMsg message{};
    message.ID = id;
    message.MSGTYPE = type;
    message.LEN = static_cast<uint8_t>(bytes.size());
    std::memcpy(message.DATA, bytes.begin(), bytes.size());
    return message;
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) TPCANStatus CAN_Initialize(TPCANHandle channel,
                                                                  uint16_t btr0btr1, uint8_t,
                                                                  uint32_t, uint16_t) {
    if (channel != TARVO_PCAN_USBBUS1) {
        return kIllegalHardware;
    }
    state.open = true;
    state.channel = channel;
    state.bitRate = btr0btr1;
    state.queue.clear();
    return TARVO_PCAN_ERROR_OK;
}

__attribute__((visibility("default"))) TPCANStatus CAN_Uninitialize(TPCANHandle) {
    state.open = false;
    return TARVO_PCAN_ERROR_OK;
}

__attribute__((visibility("default"))) TPCANStatus CAN_Write(TPCANHandle, TPCANMsg* message) {
    if (!state.open) {
        return kNotInitialized;
    }
    ++state.writes;
    uint32_t node = message->ID - 0x600;
    if (message->MSGTYPE == TARVO_PCAN_MESSAGE_STANDARD && node >= 1 && node <= 127) {
        const uint8_t* d = message->DATA;
        state.queue.push_back(Message(0, TARVO_PCAN_MESSAGE_STATUS, {0, 0, 0, 0}));
        state.queue.push_back(Message(0x700 + node, TARVO_PCAN_MESSAGE_STANDARD, {0x7F}));
        state.queue.push_back(Message(0x580 + node % 127 + 1, TARVO_PCAN_MESSAGE_STANDARD,
                                      {0x43, d[1], d[2], d[3], 0xEF, 0xBE, 0xAD, 0xDE}));
        state.queue.push_back(Message(0x580 + node, TARVO_PCAN_MESSAGE_STANDARD,
                                      {0x43, d[1], d[2], d[3], 0x78, 0x56, 0x34, 0x12}));
    }
    return TARVO_PCAN_ERROR_OK;
}

__attribute__((visibility("default"))) TPCANStatus CAN_Read(TPCANHandle, TPCANMsg* message,
                                                            TPCANTimestamp* timestamp) {
    if (!state.open) {
        return kNotInitialized;
    }
    if (state.queue.empty()) {
        return TARVO_PCAN_ERROR_QRCVEMPTY;
    }
    *message = state.queue.front();
    state.queue.pop_front();
    if (timestamp != nullptr) {
        *timestamp = TPCANTimestamp{};
    }
    return TARVO_PCAN_ERROR_OK;
}

__attribute__((visibility("default"))) TPCANStatus CAN_GetValue(TPCANHandle channel,
                                                                uint8_t parameter, void* buffer,
                                                                uint32_t length) {
    if (channel == TARVO_PCAN_NONEBUS && parameter == TARVO_PCAN_API_VERSION && length >= 9) {
        std::memcpy(buffer, "4.9.9.42", 9);
        return TARVO_PCAN_ERROR_OK;
    }
    return 0x08000;  // no receive event: the library polls
}

__attribute__((visibility("default"))) TPCANStatus CAN_GetErrorText(TPCANStatus error, uint16_t,
                                                                    char* buffer) {
    std::strcpy(buffer, error == kIllegalHardware ? "The hardware is not there (double)"
                                                  : "Unknown error (double)");
    return TARVO_PCAN_ERROR_OK;
}

__attribute__((visibility("default"))) uint32_t PcanDouble_BitRate() {
    return state.bitRate;
}
__attribute__((visibility("default"))) int PcanDouble_Writes() {
    return state.writes;
}
__attribute__((visibility("default"))) int PcanDouble_Open() {
    return state.open ? 1 : 0;
}
}
