#pragma once

// The vocabulary of the drive message protocol and of the control link, shared by the
// program, libCOM.so, libCAN.so, tarvo-drivesim and tarvoctl. It depends on nothing but the
// standard library, so that the run-time libraries may include it without linking anything
// of the program. The values are those on the wire and in memory; a name only stands for
// its byte.

#include <cstdint>

namespace tarvo {

// The command byte of a request.
enum class SdoCommand : uint8_t {
    Write8 = 0x2F,   // write 1 byte
    Write16 = 0x2B,  // write 2 bytes
    Write24 = 0x27,  // write 3 bytes; the program sends none, the drive takes it
    Write32 = 0x23,  // write 4 bytes
    Read = 0x40,
    SegmentToggleClear = 0x60,  // segment request, toggle bit clear
    SegmentToggleSet = 0x70,    // segment request, toggle bit set
};

// The command byte of a reply. Segment replies carry their toggle, the count of bytes that
// hold no data and the last-segment bit instead (see the segment helpers below).
enum class SdoReplyCommand : uint8_t {
    Value8 = 0x4F,          // one data byte
    Value16 = 0x4B,         // two
    Value24 = 0x47,         // three
    Value32 = 0x43,         // four
    ValueUnsized = 0x42,    // a value whose size is not given; one byte is taken
    UploadInitiate = 0x41,  // a segmented upload starts; the data bytes hold its size
    DownloadAck = 0x60,     // a write acknowledged without its value
    Abort = 0x80,           // the data bytes hold the abort code
};

constexpr uint8_t ToByte(SdoCommand command) {
    return static_cast<uint8_t>(command);
}

constexpr uint8_t ToByte(SdoReplyCommand reply) {
    return static_cast<uint8_t>(reply);
}

// Writes have 001 in the top three bits of their command byte.
constexpr bool IsWriteCommand(uint8_t command) {
    return (command & 0xE0) == 0x20;
}

constexpr bool IsWriteCommand(SdoCommand command) {
    return IsWriteCommand(ToByte(command));
}

// 0x60 or 0x70.
constexpr bool IsSegmentCommand(uint8_t command) {
    return (command & 0xEF) == ToByte(SdoCommand::SegmentToggleClear);
}

constexpr bool IsSegmentCommand(SdoCommand command) {
    return IsSegmentCommand(ToByte(command));
}

// The write command of a value `bytes` wide (1 to 4).
constexpr SdoCommand WriteCommandOfWidth(int bytes) {
    switch (bytes) {
        case 1:
            return SdoCommand::Write8;
        case 2:
            return SdoCommand::Write16;
        case 3:
            return SdoCommand::Write24;
        default:
            return SdoCommand::Write32;
    }
}

// How many bytes a write command writes: 1, 2, 3 or 4.
constexpr int WidthOfWrite(SdoCommand command) {
    switch (command) {
        case SdoCommand::Write8:
            return 1;
        case SdoCommand::Write16:
            return 2;
        case SdoCommand::Write24:
            return 3;
        default:
            return 4;
    }
}

// How many of an expedited reply's four data bytes hold the value: a value reply with its
// size given (bit 0) counts those that do not in bits 2-3; without it (0x42) all four may.
constexpr uint8_t ExpeditedByteCount(uint8_t reply) {
    return (reply & 0x01) != 0 ? static_cast<uint8_t>(4 - ((reply >> 2) & 0x03)) : 4;
}

// Segment command bytes, requests and replies alike.
constexpr uint8_t kSegmentToggleBit = 0x10;
constexpr uint8_t kSegmentLastBit = 0x01;

// How many of a segment reply's seven bytes hold data: bits 1-3 count those that do not.
constexpr uint8_t SegmentByteCount(uint8_t reply) {
    return static_cast<uint8_t>(7 - ((reply >> 1) & 0x07));
}

// A segment reply's command byte.
constexpr uint8_t SegmentReplyByte(bool toggle, int count, bool last) {
    return static_cast<uint8_t>((toggle ? kSegmentToggleBit : 0) | (7 - count) << 1 |
                                (last ? kSegmentLastBit : 0));
}

// CAN identifiers of the drive's SDO channel: requests go to 0x600 + node, replies come from
// 0x580 + node.
constexpr uint32_t kCanRequestBase = 0x600;
constexpr uint32_t kCanReplyBase = 0x580;

// The abort codes this family's drives answer with.
namespace AbortCode {
constexpr uint32_t kNone = 0;
constexpr uint32_t kToggleNotAlternated = 0x05030000;
constexpr uint32_t kUnknownCommand = 0x05040001;
constexpr uint32_t kWriteReadOnly = 0x06010002;
constexpr uint32_t kNoSuchObject = 0x06020000;
constexpr uint32_t kWrongLength = 0x06070010;
constexpr uint32_t kValueOutOfRange = 0x06090030;
constexpr uint32_t kGeneralError = 0x08000000;
constexpr uint32_t kDeviceState = 0x08000022;
}  // namespace AbortCode

// What a decoded reply is.
enum class ReplyKind : uint8_t {
    kValue = 0,      // a read or write was answered; the value is valid
    kSegment = 1,    // a segment reply; its bytes are fetched with GetSegment
    kAbort = 2,      // the drive refused; the value is its abort code
    kUndecoded = 3,  // nothing results
};

// The outcome of one exchange with its repetitions.
enum class ExchangeResult : int32_t {
    Answered = 0,        // a reply that answers the request (or the retry switch was off)
    BadReplies = 1,      // four replies failed the checksum or did not answer the request
    TransmitFailed = 2,  // the transmission failed repeatedly
    NoInterface = -1,    // no library object for the interface
};

// The process-wide connection state: requests are taken and traffic runs only while open.
enum class ConnectionState : int32_t {
    Open = 1,
    Closed = 2,
};

// How often the link's idle walk reads a monitor entry: class-1 entries (the panels'
// read-only ones, the status word) every other step, one class-2 entry (the panels'
// writable ones) after each class-1 read.
enum class MonitorClass : uint8_t {
    ReadOnly = 1,
    Writable = 2,
};

}  // namespace tarvo
