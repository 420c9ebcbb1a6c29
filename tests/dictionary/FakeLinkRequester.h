#pragma once

#include <cstdint>
#include <ostream>
#include <vector>

#include "comm/LinkRequester.h"
#include "platform/MessageTarget.h"

namespace tarvo::test {

struct SentRequest {
    MessageTarget* window = nullptr;
    SdoCommand command = SdoCommand::Read;
    uint32_t address = 0;
    uint32_t data = 0;
    bool operator==(const SentRequest&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const SentRequest& r) {
    return out << "{window " << r.window << ", command 0x" << std::hex << int(ToByte(r.command))
               << ", address 0x" << r.address << ", data 0x" << r.data << std::dec << "}";
}

// Records every request instead of queueing it for a drive.
class FakeLinkRequester : public LinkRequester {
public:
    int Request(MessageTarget* window, SdoCommand command, uint32_t address,
                uint32_t data) override {
        requests.push_back({window, command, address, data});
        return 0;
    }
    std::vector<SentRequest> requests;
};

// A window that is only ever compared by address.
class DummyWindow : public MessageTarget {
public:
    intptr_t onMessage(uint32_t, uintptr_t, intptr_t) override { return 0; }
};

}  // namespace tarvo::test
