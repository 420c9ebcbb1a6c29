#pragma once

// The part of PEAK-System's PCAN-Basic C interface that the CAN library uses, declared from
// the library's published interface: the library is loaded at run time when it is installed,
// so nothing here links against it.

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint16_t TPCANHandle;
typedef uint32_t TPCANStatus;

typedef struct TPCANMsg {
    uint32_t ID;
    uint8_t MSGTYPE;
    uint8_t LEN;
    uint8_t DATA[8];
} TPCANMsg;

typedef struct TPCANTimestamp {
    uint32_t millis;
    uint16_t millis_overflow;
    uint16_t micros;
} TPCANTimestamp;

typedef TPCANStatus (*PcanInitializeFn)(TPCANHandle channel, uint16_t btr0btr1, uint8_t hwType,
                                        uint32_t ioPort, uint16_t interrupt);
typedef TPCANStatus (*PcanUninitializeFn)(TPCANHandle channel);
typedef TPCANStatus (*PcanReadFn)(TPCANHandle channel, TPCANMsg* message,
                                  TPCANTimestamp* timestamp);
typedef TPCANStatus (*PcanWriteFn)(TPCANHandle channel, TPCANMsg* message);
typedef TPCANStatus (*PcanGetValueFn)(TPCANHandle channel, uint8_t parameter, void* buffer,
                                      uint32_t length);
typedef TPCANStatus (*PcanGetErrorTextFn)(TPCANStatus error, uint16_t language, char* buffer);

#define TARVO_PCAN_NONEBUS 0x00u
#define TARVO_PCAN_USBBUS1 0x51u
#define TARVO_PCAN_ERROR_OK 0x00000u
#define TARVO_PCAN_ERROR_QRCVEMPTY 0x00020u
#define TARVO_PCAN_RECEIVE_EVENT 0x03u
#define TARVO_PCAN_API_VERSION 0x05u
#define TARVO_PCAN_MESSAGE_STANDARD 0x00u
#define TARVO_PCAN_MESSAGE_RTR 0x01u
#define TARVO_PCAN_MESSAGE_EXTENDED 0x02u
#define TARVO_PCAN_MESSAGE_STATUS 0x80u
#define TARVO_PCAN_MESSAGE_ERRFRAME 0x40u

#ifdef __cplusplus
}
static_assert(sizeof(TPCANMsg) == 16, "PCAN-Basic message layout");
#endif
