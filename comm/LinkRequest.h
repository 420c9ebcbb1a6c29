#pragma once

#include <cstdint>

#include "protocol/DriveProtocol.h"

namespace tarvo {

class MessageTarget;

// One request of a window, kept in the link's queues by value.
struct LinkRequest {
    MessageTarget* window = nullptr;  // receives the outcome
    uint32_t address = 0;             // index * 256 + subindex
    uint32_t data = 0;                // value to write; 0 for reads and segment requests
    SdoCommand command = SdoCommand::Read;
};

}  // namespace tarvo
