// The exported factory and the operation table that hands each slot to the port object.

#include <new>

#include "serialport/SerialPortObject.h"

using tarvo::serial::SerialPortObject;

namespace {

SerialPortObject* Self(SerialPort* port) {
    return static_cast<SerialPortObject*>(port);
}

uint32_t OpenSlot(SerialPort* self, const SerialConfig* config) {
    return Self(self)->Open(config);
}

uint32_t TransactSlot(SerialPort* self, const uint8_t* frame, uint32_t length) {
    return Self(self)->Transact(frame, length);
}

uint32_t FetchReplySlot(SerialPort* self, uint8_t* buffer, uint32_t* length) {
    return Self(self)->FetchReply(buffer, length);
}

uint32_t ReadNowSlot(SerialPort* self, uint8_t* buffer, uint32_t* length) {
    return Self(self)->ReadNow(buffer, length);
}

void CloseSlot(SerialPort* self) {
    Self(self)->Close();
}

void DestroySlot(SerialPort* self, uint32_t flags) {
    Self(self)->Close();
    if ((flags & 1u) != 0) {
        delete Self(self);
    }
}

void ReleaseSlot(SerialPort* self) {
    DestroySlot(self, 1);
}

const SerialPortOps kOperations = {OpenSlot,  TransactSlot, FetchReplySlot, ReadNowSlot,
                                   CloseSlot, ReleaseSlot,  DestroySlot};

}  // namespace

namespace tarvo::serial {

SerialPortObject::SerialPortObject() {
    ops = &kOperations;
}

}  // namespace tarvo::serial

extern "C" __attribute__((visibility("default"))) int CreateObject(SerialPort** out) {
    if (out == nullptr) {
        return 0;
    }
    *out = new (std::nothrow) SerialPortObject();
    return *out != nullptr ? 1 : 0;
}
