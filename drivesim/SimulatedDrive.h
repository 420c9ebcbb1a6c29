#pragma once

#include <cstdint>

#include "drivesim/DriveModel.h"
#include "drivesim/SdoServer.h"

namespace tarvo::sim {

// The drive as its transports see it: one request in, one reply out, at a given time.
class SimulatedDrive {
public:
    explicit SimulatedDrive(DriveModel& model) : model_(model), server_(model) {}

    // Answers a request received at nowUs; false while the drive is rebooting and silent.
    bool Exchange(const SdoRequest& request, uint64_t nowUs, SdoReply& reply) {
        model_.AdvanceTo(nowUs);
        if (model_.Silent()) {
            return false;
        }
        reply = server_.Handle(request);
        return true;
    }

    DriveModel& Model() { return model_; }

private:
    DriveModel& model_;
    SdoServer server_;
};

}  // namespace tarvo::sim
