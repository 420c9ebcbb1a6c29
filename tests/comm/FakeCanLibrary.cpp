// A stand-in for libCAN.so that answers from a script, so that the binding and the CAN
// exchange can be tested without a bus.

#include "tests/comm/FakeCanLibrary.h"

#include <cstring>

namespace {

FakeCanState state;

uint32_t Open(CanObject*, const CommSettings* settings) {
    ++state.opens;
    state.lastSettings = *settings;
    return state.openResult;
}

uint32_t Transmit(CanObject*, const CanMessage* message) {
    ++state.transmits;
    state.lastRequest = *message;
    if (state.transmitHook != nullptr) {
        state.transmitHook(state.transmitContext);
    }
    return state.transmitResult;
}

uint32_t Receive(CanObject*, CanMessage* message) {
    ++state.receives;
    if (state.receiveResult != 0) {
        return state.receiveResult;
    }
    *message = state.reply;
    std::memcpy(message->data + 1, state.lastRequest.data + 1, 3);
    return 0;
}

uint32_t ReadVersion(CanObject*, char* text) {
    if (state.version == nullptr) {
        return 0;
    }
    std::strncpy(text, state.version, 255);
    return 1;
}

void Reserved(CanObject*) {}
void Close(CanObject*) {
    ++state.closes;
}
void Release(CanObject* self) {
    ++state.releases;
    delete self;
}

const CanObjectOps kOperations = {Open, Transmit, Receive, ReadVersion, Reserved, Close, Release};

}  // namespace

extern "C" __attribute__((visibility("default"))) void CreateCanObject(CanObject** out) {
    ++state.objectsCreated;
    *out = new CanObject{&kOperations};
}

extern "C" __attribute__((visibility("default"))) FakeCanState* FakeCanStateOf() {
    return &state;
}
