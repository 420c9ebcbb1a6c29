// A stand-in libCAN.so for the fuzz targets: the real CAN channel (its reply filter and
// message conversion) over a bus whose frames are the fuzzer's bytes. Each frame the bus
// gives is a reply built from the request (right, or with another identifier, object,
// length or frame kind), a stray frame, or silence.
#include <cstring>
#include <memory>
#include <string>

#include "can/CanChannel.h"
#include "fuzz/DriveWire.h"
#include "protocol/CanObjectAbi.h"

namespace {

using tarvo::canbus::CanBackend;
using tarvo::canbus::CanChannel;
using tarvo::canbus::CanSettings;
using tarvo::canbus::Frame;
using tarvo::fuzz::DriveWire;

DriveWire wire;
Frame lastRequest;

class FuzzBus : public CanBackend {
public:
    std::string Open(uint32_t, uint32_t) override { return ""; }
    void Close() override {}
    std::string Send(const Frame& frame) override {
        lastRequest = frame;
        return wire.Byte() == 0xFF ? "the adapter refused the frame" : "";
    }
    int Receive(Frame& frame, int, std::string& error) override {
        if (wire.Empty()) {
            return 0;
        }
        uint8_t kind = wire.Byte();
        if (kind % 8 == 0) {
            return 0;  // silence until the timeout
        }
        if (kind == 0xFF) {
            error = "the bus is gone";
            return -1;
        }
        frame = Frame();
        uint32_t node = lastRequest.Identifier() - 0x600;
        frame.id = 0x580 + node;
        std::memset(frame.data, 0xEE, sizeof frame.data);  // bytes past the length are no data
        frame.length = 8;
        frame.data[0] = wire.Byte();
        std::memcpy(frame.data + 1, lastRequest.data + 1, 3);
        for (int i = 4; i < 8; ++i) {
            frame.data[i] = wire.Byte();
        }
        switch (kind % 8) {
            case 1:
            case 2:
            case 3:
                break;  // a reply to the request
            case 4:     // another identifier, or an extended or remote frame
                frame.id = (wire.Byte() & 0x7FF) | (kind & 0x10 ? Frame::kExtended : 0) |
                           (kind & 0x20 ? Frame::kRemote : 0);
                break;
            case 5:  // another object
                frame.data[1 + (kind >> 3) % 3] ^= static_cast<uint8_t>(1u + (kind >> 5));
                break;
            case 6:  // fewer data bytes
                frame.length = wire.Byte() % 9;
                for (int i = frame.length; i < 8; ++i) {
                    frame.data[i] = 0xEE;
                }
                break;
            default:  // the request heard back
                frame = lastRequest;
                break;
        }
        return 1;
    }
    std::string TraceName() const override { return "fuzz0"; }
    bool Probe(std::string& detail) override {
        detail = "fuzzed bus";
        return true;
    }
};

class FuzzChannel : public CanChannel {
public:
    FuzzChannel() : CanChannel("/nonexistent") {}

protected:
    std::unique_ptr<CanBackend> MakeBackend(const CanSettings&) const override {
        return std::make_unique<FuzzBus>();
    }
};

struct FuzzCanObject {
    CanObject base;
    FuzzChannel channel;
    CanMessage request{};
};

FuzzCanObject* ObjectOf(CanObject* self) {
    return reinterpret_cast<FuzzCanObject*>(self);
}

uint32_t OpenSlot(CanObject* self, const CommSettings* settings) {
    return ObjectOf(self)->channel.Open(settings);
}
uint32_t TransmitSlot(CanObject* self, const CanMessage* message) {
    if (message != nullptr) {
        ObjectOf(self)->request = *message;
    }
    return ObjectOf(self)->channel.Transmit(message);
}
uint32_t ReceiveSlot(CanObject* self, CanMessage* message) {
    FuzzCanObject* object = ObjectOf(self);
    uint32_t result = object->channel.Receive(message);
    if (result == 0 && message != nullptr) {
        DriveWire::Handed handed;
        std::memcpy(handed.request.data(), object->request.data, 8);
        std::memcpy(handed.reply.data(), message->data, 8);
        handed.requestNode = static_cast<uint8_t>(object->request.id - 0x600);
        handed.replyNode = static_cast<uint8_t>(message->id - 0x580);
        handed.wellFormed = message->type == 0 && message->id >= 0x580 && message->id < 0x600;
        handed.length = message->length;
        wire.handed.push_back(handed);
    }
    return result;
}
uint32_t ReadVersionSlot(CanObject* self, char* text256) {
    return ObjectOf(self)->channel.ReadVersion(text256);
}
void ReservedSlot(CanObject*) {}
void CloseSlot(CanObject* self) {
    ObjectOf(self)->channel.Close();
}
void ReleaseSlot(CanObject* self) {
    delete ObjectOf(self);
}

const CanObjectOps kOperations = {OpenSlot,     TransmitSlot, ReceiveSlot, ReadVersionSlot,
                                  ReservedSlot, CloseSlot,    ReleaseSlot};

}  // namespace

extern "C" {

__attribute__((visibility("default"))) void CreateCanObject(CanObject** out) {
    auto* object = new FuzzCanObject;
    object->base.ops = &kOperations;
    *out = &object->base;
}

__attribute__((visibility("default"))) DriveWire* TarvoFuzzWire() {
    return &wire;
}
}
