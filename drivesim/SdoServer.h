#pragma once

#include <cstdint>
#include <string>

#include "drivesim/DriveModel.h"
#include "drivesim/SdoMessage.h"

namespace tarvo::sim {

// The drive's side of the message protocol: expedited reads and writes (a write is
// answered with the value the drive now holds), aborts with their codes, and the segmented
// upload of text and domain entries with toggle checking and the last-segment bit.
class SdoServer {
public:
    explicit SdoServer(DriveModel& drive) : drive_(drive) {}

    SdoReply Handle(const SdoRequest& request);
    bool UploadRunning() const { return upload_.running; }

private:
    SdoReply Read(const SdoRequest& request);
    SdoReply Write(const SdoRequest& request, int widthBytes);
    SdoReply Segment(const SdoRequest& request);

    struct Upload {
        bool running = false;
        uint32_t key = 0;
        std::string bytes;
        size_t offset = 0;
        uint8_t toggle = 0;  // expected toggle bit of the next segment request
    };

    DriveModel& drive_;
    Upload upload_;
};

}  // namespace tarvo::sim
