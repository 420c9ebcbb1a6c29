// The exported boundary of libCAN.so: the factory and the CAN object's operation table,
// laid out as protocol/CanObjectAbi.h declares them.
#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>

#include "can/CanChannel.h"
#include "protocol/CanObjectAbi.h"

namespace {

struct CanLibraryObject {
    CanObject base;  // first, so that the object pointer is the table's holder
    tarvo::canbus::CanChannel* channel;
};

tarvo::canbus::CanChannel* ChannelOf(CanObject* self) {
    return self != nullptr ? reinterpret_cast<CanLibraryObject*>(self)->channel : nullptr;
}

uint32_t OpenSlot(CanObject* self, const CommSettings* settings) {
    tarvo::canbus::CanChannel* channel = ChannelOf(self);
    return channel != nullptr ? channel->Open(settings) : 1;
}

uint32_t TransmitSlot(CanObject* self, const CanMessage* message) {
    tarvo::canbus::CanChannel* channel = ChannelOf(self);
    return channel != nullptr ? channel->Transmit(message) : 1;
}

uint32_t ReceiveSlot(CanObject* self, CanMessage* message) {
    tarvo::canbus::CanChannel* channel = ChannelOf(self);
    return channel != nullptr ? channel->Receive(message) : 1;
}

uint32_t ReadVersionSlot(CanObject* self, char* text256) {
    tarvo::canbus::CanChannel* channel = ChannelOf(self);
    return channel != nullptr ? channel->ReadVersion(text256) : 0;
}

void ReservedSlot(CanObject*) {}

void CloseSlot(CanObject* self) {
    if (tarvo::canbus::CanChannel* channel = ChannelOf(self)) {
        channel->Close();
    }
}

void ReleaseSlot(CanObject* self) {
    if (self == nullptr) {
        return;
    }
    CanLibraryObject* object = reinterpret_cast<CanLibraryObject*>(self);
    delete object->channel;
    delete object;
}

const CanObjectOps kOperations = {OpenSlot,     TransmitSlot, ReceiveSlot, ReadVersionSlot,
                                  ReservedSlot, CloseSlot,    ReleaseSlot};

// The program folder is the folder above data/, where this library lives.
std::string ProgramFolder() {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&CreateCanObject), &info) != 0 &&
        info.dli_fname != nullptr) {
        std::error_code code;
        std::filesystem::path library = std::filesystem::absolute(info.dli_fname, code);
        return library.parent_path().parent_path().string();
    }
    return ".";
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) void CreateCanObject(CanObject** out) {
    if (out == nullptr) {
        return;
    }
    *out = nullptr;
    CanLibraryObject* object = new (std::nothrow) CanLibraryObject;
    if (object == nullptr) {
        return;
    }
    object->base.ops = &kOperations;
    object->channel = new (std::nothrow) tarvo::canbus::CanChannel(ProgramFolder());
    if (object->channel == nullptr) {
        delete object;
        return;
    }
    *out = &object->base;
}

// Not used by the main program: the reason of the last failure of this object (open,
// transmit or version query), for tools and tests. Returns the text's length.
__attribute__((visibility("default"))) uint32_t TarvoCanLastError(CanObject* object, char* buffer,
                                                                  uint32_t size) {
    tarvo::canbus::CanChannel* channel = ChannelOf(object);
    if (channel == nullptr || buffer == nullptr || size == 0) {
        return 0;
    }
    std::string text = channel->LastError();
    std::snprintf(buffer, size, "%s", text.c_str());
    return static_cast<uint32_t>(text.size());
}

// Not used by the main program: a bus scan for tools (CanChannel::Probe). Sends the `count`
// requests back to back and fills replies[i] with the reply to requests[i], or leaves it
// zeroed; 0, or the channel's error code.
__attribute__((visibility("default"))) uint32_t TarvoCanProbe(CanObject* object,
                                                              const CanMessage* requests,
                                                              uint32_t count, CanMessage* replies) {
    tarvo::canbus::CanChannel* channel = ChannelOf(object);
    return channel != nullptr ? channel->Probe(requests, count, replies) : 1;
}
}
