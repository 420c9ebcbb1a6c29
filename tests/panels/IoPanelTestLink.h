#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "comm/LinkRequester.h"
#include "panels/ioerror/IoPanelLink.h"
#include "platform/MessageTarget.h"

namespace tarvo::test {

struct IoRequest {
    SdoCommand command = SdoCommand::Read;
    uint32_t key = 0;
    uint32_t data = 0;
    bool operator==(const IoRequest&) const = default;
};

struct IoMonitor {
    uint32_t key = 0;
    MonitorClass monitorClass = MonitorClass::ReadOnly;
    bool operator==(const IoMonitor&) const = default;
};

// Records the requests and monitor calls of the I/O and error panels.
class IoPanelTestLink : public LinkRequester {
public:
    int Request(MessageTarget*, SdoCommand command, uint32_t address, uint32_t data) override {
        requests.push_back({command, address, data});
        return 0;
    }

    IoPanelLink Link() {
        return IoPanelLink{
            *this,
            [this](MessageTarget*, uint32_t key, MonitorClass monitorClass) {
                monitors.push_back({key, monitorClass});
                return 1;
            },
            [this](MessageTarget*) { return ++enables, 1; },
            [this](MessageTarget*) { return ++disables, 1; },
            connectionState,
        };
    }

    // The requests since the last call.
    std::vector<IoRequest> Take() {
        std::vector<IoRequest> taken;
        taken.swap(requests);
        return taken;
    }

    std::vector<IoRequest> requests;
    std::vector<IoMonitor> monitors;
    int enables = 0;
    int disables = 0;
    std::atomic<ConnectionState> connectionState{ConnectionState::Open};
};

}  // namespace tarvo::test
