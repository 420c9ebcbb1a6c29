#pragma once

// The boundary of libCAN.so as the main program uses it: the factory, the CAN object's
// operation table, the settings record and the 16-byte CAN message. The main program loads
// the library at run time from data/ and reaches the object only through this table.

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Connection settings (28 bytes), filled by the settings forms and passed unchanged to the
// CAN object's open. The same record carries the RS232 settings to the serial binding.
typedef struct CommSettings {
    uint16_t portName[8];  // RS232: device name in UTF-16 units, NUL-terminated; CAN: all 0
    uint32_t nodeId;       // the drive's node ID ("driverid")
    uint32_t rate;         // RS232: bit/s; CAN: PCAN-USB bit-rate code (0x0014 1 MBit/s ... 0x472F)
    uint32_t replyTimeoutMs;  // 500 from both forms
} CommSettings;

// One CAN frame as the drive message layer builds and reads it (16 bytes).
typedef struct CanMessage {
    uint32_t id;      // 0x600 + node on requests; as received on replies
    uint8_t type;     // 0 (standard data frame)
    uint8_t length;   // 8
    uint8_t data[8];  // command, index low, index high, subindex, data bytes 0-3 (LE)
    uint8_t unused[2];
} CanMessage;

typedef struct CanObject CanObject;

// The operation table, in slot order. Every operation takes the object first.
typedef struct CanObjectOps {
    // Slot 0: opens the bus with the node ID, bit-rate code and reply timeout; 0 = success.
    uint32_t (*Open)(CanObject* self, const CommSettings* settings);
    // Slot 1: transmits one request and waits, at most the reply timeout, for the drive's
    // reply to it; 0 = sent and answered, nonzero = not sent or no reply.
    uint32_t (*Transmit)(CanObject* self, const CanMessage* message);
    // Slot 2: fills `message` with the drive's reply to the last transmitted request, waiting
    // at most the reply timeout; 0 when a reply was stored, nonzero when none came.
    uint32_t (*Receive)(CanObject* self, CanMessage* message);
    // Slot 3: fills a 256-byte buffer with a NUL-terminated 8-bit text that holds a ':'
    // before the version (for example "CAN library: 1.0.0"); nonzero on success.
    uint32_t (*ReadVersion)(CanObject* self, char* text256);
    // Slot 4: not used by the main program.
    void (*Reserved)(CanObject* self);
    // Slot 5: closes the bus; the object may be opened again.
    void (*Close)(CanObject* self);
    // Slot 6: destroys the object.
    void (*Release)(CanObject* self);
} CanObjectOps;

// Every CAN object begins with its table.
struct CanObject {
    const CanObjectOps* ops;
};

// The library's factory, looked up by the name "CreateCanObject": stores a new object, or
// null when none could be made.
typedef void (*CanCreateObjectFn)(CanObject** out);
void CreateCanObject(CanObject** out);

#ifdef __cplusplus
}
static_assert(sizeof(CommSettings) == 28, "CommSettings crosses the library boundary");
static_assert(offsetof(CommSettings, nodeId) == 16);
static_assert(offsetof(CommSettings, rate) == 20);
static_assert(offsetof(CommSettings, replyTimeoutMs) == 24);
static_assert(sizeof(CanMessage) == 16, "CanMessage crosses the library boundary");
static_assert(offsetof(CanMessage, data) == 6);
static_assert(sizeof(CanObjectOps) == 7 * sizeof(void*), "seven slots");
#else
_Static_assert(sizeof(CommSettings) == 28, "CommSettings crosses the library boundary");
_Static_assert(sizeof(CanMessage) == 16, "CanMessage crosses the library boundary");
#endif
