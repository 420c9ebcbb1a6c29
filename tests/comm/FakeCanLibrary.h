#pragma once

#include "CanObjectAbi.h"

// What the stand-in CAN library of the tests does and saw. Reached by the test through
// "FakeCanStateOf" on the same library handle that the binding loaded.
struct FakeCanState {
    uint32_t openResult = 0;
    uint32_t transmitResult = 0;
    uint32_t receiveResult = 0;
    CanMessage reply{};  // sent back by receive; bytes 1-3 copied from the request
    const char* version = "PCAN-USB library version:4.6.2";
    int opens = 0;
    int transmits = 0;
    int receives = 0;
    int closes = 0;
    int releases = 0;
    int objectsCreated = 0;
    CommSettings lastSettings{};
    CanMessage lastRequest{};
};

extern "C" {
typedef FakeCanState* (*FakeCanStateFn)();
}
