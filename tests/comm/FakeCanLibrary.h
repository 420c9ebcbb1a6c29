#pragma once

#include <atomic>

#include "protocol/CanObjectAbi.h"

// What the stand-in CAN library of the tests does and saw. Reached by the test through
// "FakeCanStateOf" on the same library handle that the binding loaded.
struct FakeCanState {
    uint32_t openResult = 0;
    uint32_t transmitResult = 0;
    uint32_t receiveResult = 0;
    CanMessage reply{};  // sent back by receive; bytes 1-3 copied from the request
    const char* version = "PCAN-USB library version:4.6.2";
    // Counted on whichever thread calls.
    std::atomic<int> opens{0};
    std::atomic<int> transmits{0};
    std::atomic<int> receives{0};
    std::atomic<int> closes{0};
    std::atomic<int> releases{0};
    std::atomic<int> objectsCreated{0};
    CommSettings lastSettings{};
    CanMessage lastRequest{};
    // Runs inside every transmit before it answers, so that a test can hold an exchange.
    void (*transmitHook)(void* context) = nullptr;
    void* transmitContext = nullptr;
};

extern "C" {
typedef FakeCanState* (*FakeCanStateFn)();
}
