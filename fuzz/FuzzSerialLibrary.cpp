// A stand-in libCOM.so for the fuzz targets: the serial port object whose line is the
// fuzzer's bytes. Each transaction takes from them what the drive sends (frames built from
// the request, right or damaged, its echo, stray bytes) and the sizes of the pieces the
// port reads, and finds the reply with the real receiver.
#include <algorithm>
#include <cstring>
#include <vector>

#include "fuzz/DriveWire.h"
#include "protocol/SerialPortAbi.h"
#include "serialport/ReplyReceiver.h"

namespace {

using tarvo::fuzz::DriveWire;
using tarvo::serial::ReplyReceiver;

DriveWire wire;

struct FuzzPort {
    SerialPort base;
    ReplyReceiver receiver;
    uint8_t request[32] = {};
    uint32_t requestLength = 0;
};

FuzzPort* PortOf(SerialPort* self) {
    return reinterpret_cast<FuzzPort*>(self);
}

uint8_t Checksum(const uint8_t* bytes, size_t count) {
    uint8_t sum = 0;
    for (size_t i = 0; i < count; ++i) {
        sum = static_cast<uint8_t>(sum + bytes[i]);
    }
    return static_cast<uint8_t>(-sum);
}

// What the drive puts on the line in answer to the request.
std::vector<uint8_t> LineBytes(const FuzzPort& port) {
    std::vector<uint8_t> line;
    for (int pieces = wire.Byte() % 4; pieces > 0; --pieces) {
        uint8_t kind = wire.Byte();
        if (kind % 4 == 0) {
            for (int n = wire.Byte() % 24; n > 0; --n) {
                line.push_back(wire.Byte());
            }
            continue;
        }
        if (kind % 4 == 3) {
            line.insert(line.end(), port.request, port.request + port.requestLength);
            continue;
        }
        uint8_t frame[10];
        frame[0] = port.request[0];
        frame[1] = wire.Byte();
        std::memcpy(frame + 2, port.request + 2, 3);
        for (int i = 5; i < 9; ++i) {
            frame[i] = wire.Byte();
        }
        frame[9] = Checksum(frame, 9);
        if (kind % 4 == 2) {  // damaged: the node, the object, or the checksum
            frame[(kind >> 2) % 10] ^= static_cast<uint8_t>(1u << ((kind >> 5) & 7));
        }
        line.insert(line.end(), frame, frame + 10);
    }
    return line;
}

uint32_t Open(SerialPort*, const SerialConfig*) {
    return 0;
}

uint32_t Transact(SerialPort* self, const uint8_t* frame, uint32_t length) {
    FuzzPort* port = PortOf(self);
    if (length > sizeof port->request || (frame == nullptr && length != 0)) {
        return kSerialNoReply;
    }
    std::memset(port->request, 0, sizeof port->request);
    if (length != 0) {
        std::memcpy(port->request, frame, length);
    }
    port->requestLength = length;
    port->receiver.Expect(port->request, length);
    uint8_t outcome = wire.Byte();
    if (outcome == 0xFF) {
        return kSerialNotOpen;  // the cable pulled
    }
    std::vector<uint8_t> line = LineBytes(*port);
    // The port hands the bytes over in pieces of the sizes the line gives.
    for (size_t at = 0; at < line.size();) {
        uint32_t room = 0;
        uint8_t* space = port->receiver.Space(room);
        uint32_t piece = 1 + wire.Byte() % 16;
        piece = std::min<uint32_t>({piece, room, static_cast<uint32_t>(line.size() - at)});
        std::memcpy(space, line.data() + at, piece);
        at += piece;
        if (port->receiver.Took(piece) && port->receiver.Count() >= ReplyReceiver::kReplyLength) {
            return kSerialReplyReady;
        }
    }
    if (port->receiver.Matching()) {
        port->receiver.Clear();
    }
    return kSerialNoReply;
}

uint32_t FetchReply(SerialPort* self, uint8_t* buffer, uint32_t* length) {
    FuzzPort* port = PortOf(self);
    if (port->receiver.Count() == 0 || buffer == nullptr) {
        return 0;
    }
    std::memcpy(buffer, port->receiver.Bytes(), port->receiver.Count());
    if (length != nullptr) {
        *length = port->receiver.Count();
    }
    if (port->receiver.Count() >= 10) {
        DriveWire::Handed handed;
        handed.requestNode = port->request[0];
        std::memcpy(handed.request.data(), port->request + 1, 8);
        handed.replyNode = buffer[0];
        std::memcpy(handed.reply.data(), buffer + 1, 8);
        handed.wellFormed = Checksum(buffer, 9) == buffer[9];
        wire.handed.push_back(handed);
    }
    return 1;
}

uint32_t ReadNow(SerialPort*, uint8_t*, uint32_t*) {
    return 1;
}
void Close(SerialPort*) {}
void Release(SerialPort* self) {
    delete PortOf(self);
}
void Destroy(SerialPort* self, uint32_t flags) {
    if ((flags & 1) != 0) {
        Release(self);
    }
}

const SerialPortOps kOperations = {Open, Transact, FetchReply, ReadNow, Close, Release, Destroy};

}  // namespace

extern "C" {

__attribute__((visibility("default"))) int CreateObject(SerialPort** out) {
    auto* port = new FuzzPort;
    port->base.ops = &kOperations;
    *out = &port->base;
    return 1;
}

__attribute__((visibility("default"))) DriveWire* TarvoFuzzWire() {
    return &wire;
}
}
