#pragma once

#include <cstdint>

namespace tarvo {

class MessageTarget;

// One request of a window, kept in the link's queues by value.
struct LinkRequest {
    MessageTarget* window = nullptr;  // receives the outcome
    uint32_t address = 0;             // index * 256 + subindex
    uint32_t data = 0;                // value to write; 0 for reads and segment requests
    uint8_t command = 0;              // 0x2F, 0x2B, 0x23, 0x40, 0x60 or 0x70
};

}  // namespace tarvo
