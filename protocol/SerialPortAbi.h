#pragma once

// The boundary of libCOM.so: the factory, the serial port object's operation table and the
// configuration record. The main program loads the library at run time and reaches the
// object only through this table, so every layout here is binding.

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// The Win32 DCB image kept inside SerialConfig. The library reads BaudRate, ByteSize,
// Parity and StopBits; the other fields travel unchanged.
typedef struct SerialDcb {
    uint32_t DCBlength;  // 28
    uint32_t BaudRate;   // bit/s
    uint32_t flags;      // fBinary bit 0, fParity bit 1, fDtrControl bits 4-5, fRtsControl 12-13
    uint16_t wReserved;
    uint16_t XonLim;
    uint16_t XoffLim;
    uint8_t ByteSize;  // 5 to 8
    uint8_t Parity;    // 0 none, 1 odd, 2 even, 3 mark, 4 space
    uint8_t StopBits;  // 0 one, 1 one and a half, 2 two
    char XonChar;
    char XoffChar;
    char ErrorChar;
    char EofChar;
    char EvtChar;
    uint16_t wReserved1;
} SerialDcb;

enum {
    kSerialDcbBinary = 0x0001u,
    kSerialDcbParity = 0x0002u,
    kSerialDcbDtrControlMask = 0x0030u,
    kSerialDcbRtsControlMask = 0x3000u,
};

// What the caller passes to Open (48 bytes).
typedef struct SerialConfig {
    // Device name in UTF-16 units, NUL-terminated: "ttyUSB0", "ttyS0", "pts/3". At most 7
    // characters, plain ASCII, no "..", no leading "/".
    uint16_t portName[8];
    SerialDcb dcb;
    uint32_t replyTimeoutMs;  // bounds each wait for an event
} SerialConfig;

typedef struct SerialPort SerialPort;

// Results of Transact.
enum {
    kSerialReplyReady = 0,  // a reply of 10 bytes is ready for FetchReply
    kSerialNotOpen = 1,     // port not open, stopped, hung up, or the wait failed
    kSerialNoReply = 2,     // the frame could not be written, or no reply within the timeout
};

// The operation table, in slot order. Every operation takes the object first.
typedef struct SerialPortOps {
    // Slot 0: 0 when the port is open and configured, else the errno of the failed step.
    uint32_t (*Open)(SerialPort* self, const SerialConfig* config);
    // Slot 1: sends `length` bytes (at most 32) and waits for the 10-byte reply.
    uint32_t (*Transact)(SerialPort* self, const uint8_t* frame, uint32_t length);
    // Slot 2: 1 and the collected bytes copied (*length set) when any were collected, else 0.
    uint32_t (*FetchReply)(SerialPort* self, uint8_t* buffer, uint32_t* length);
    // Slot 3: one receive step now; 0 and the bytes copied on success, 1 otherwise.
    uint32_t (*ReadNow)(SerialPort* self, uint8_t* buffer, uint32_t* length);
    // Slot 4: closes the port. Safe from another thread while Transact waits: the wait then
    // ends with kSerialNotOpen.
    void (*Close)(SerialPort* self);
    // Slot 5: destroys the object (slot 6 with flags 1).
    void (*Release)(SerialPort* self);
    // Slot 6: closes; frees the object when bit 0 of flags is set.
    void (*Destroy)(SerialPort* self, uint32_t flags);
} SerialPortOps;

// Every serial port object begins with its table.
struct SerialPort {
    const SerialPortOps* ops;
};

// The library's one export: stores a new object (null when none could be made) and returns
// nonzero when an object was created. The caller ends it with Release.
typedef int (*SerialCreateObjectFn)(SerialPort** out);
int CreateObject(SerialPort** out);

#ifdef __cplusplus
}
static_assert(sizeof(SerialDcb) == 28, "the DCB image crosses the library boundary");
static_assert(sizeof(SerialConfig) == 48, "SerialConfig crosses the library boundary");
static_assert(offsetof(SerialConfig, dcb) + offsetof(SerialDcb, BaudRate) == 20);
static_assert(offsetof(SerialConfig, dcb) + offsetof(SerialDcb, ByteSize) == 34);
static_assert(offsetof(SerialConfig, dcb) + offsetof(SerialDcb, Parity) == 35);
static_assert(offsetof(SerialConfig, dcb) + offsetof(SerialDcb, StopBits) == 36);
static_assert(offsetof(SerialConfig, replyTimeoutMs) == 44);
static_assert(sizeof(SerialPortOps) == 7 * sizeof(void*), "seven slots");
#else
_Static_assert(sizeof(SerialDcb) == 28, "the DCB image crosses the library boundary");
_Static_assert(sizeof(SerialConfig) == 48, "SerialConfig crosses the library boundary");
#endif
