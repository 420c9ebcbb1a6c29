#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "can/SimBusWire.h"
#include "drivesim/CanBusLine.h"
#include "drivesim/CanDriveNode.h"

namespace tarvo::sim {

// The simulated CAN bus: a local socket that CAN libraries connect to. Every frame one
// participant sends reaches all the others and the drive; the drive's frames reach all.
// A participant whose bit rate differs from the bus's is told so and sent away. A paced bus
// passes each frame only after its bit time at the bus's bit rate, one frame at a time;
// otherwise frames pass at once.
class SimBusServer {
public:
    SimBusServer(CanDriveNode& node, uint32_t bitRate, bool paced = false)
        : node_(node), bitRate_(bitRate), line_(paced ? bitRate : 0) {}
    ~SimBusServer();
    SimBusServer(const SimBusServer&) = delete;
    SimBusServer& operator=(const SimBusServer&) = delete;

    // Serves the bus at `path`; a stale socket file left by a crashed simulator is replaced,
    // a live one is refused.
    bool Open(const std::string& path, std::string& error);
    void Close();
    bool Closed() const { return listener_ < 0; }
    const std::string& Path() const { return path_; }

    // The descriptors to watch for reading: the listener and every participant.
    void Descriptors(std::vector<int>& fds) const;
    void OnReadable(int fd, uint64_t nowUs);
    // Passes the frames on the wire that are through and sends the drive's frames that are
    // due; closes the bus when the faults ask for it.
    void Flush(uint64_t nowUs);
    int64_t NextDueUs() const;
    size_t Participants() const { return clients_.size(); }

private:
    struct Client {
        int fd;
        bool welcomed;
    };
    void Accept();
    void Broadcast(const canbus::SimBusRecord& record, int exceptFd);
    void Drop(int fd);
    // A frame sent by a participant (its descriptor) or by the drive (kDrive).
    void Send(const canbus::Frame& frame, int sender, uint64_t nowUs);
    void Pass(const canbus::Frame& frame, int sender, uint64_t atUs);

    static constexpr int kDrive = -1;

    CanDriveNode& node_;
    uint32_t bitRate_;
    CanBusLine line_;
    std::vector<CanBusLine::Passed> passed_;
    int listener_ = -1;
    std::string path_;
    std::vector<Client> clients_;
};

}  // namespace tarvo::sim
