#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>

#include "drivesim/CanDriveNode.h"
#include "drivesim/DriveModel.h"
#include "drivesim/DriveSimOptions.h"
#include "drivesim/PtyTransport.h"
#include "drivesim/SimBusServer.h"
#include "drivesim/SimulatedDrive.h"
#include "drivesim/SocketCanTransport.h"

namespace tarvo::sim {

// tarvo-drivesim as an object: the drive model behind the chosen transports and one event
// loop that serves them on the calling thread. Tests and benchmarks run it on a thread of
// their own and end it with Stop.
class DriveSimulator {
public:
    DriveSimulator(DriveSimOptions options, std::ostream& out, std::ostream& err);
    ~DriveSimulator();
    DriveSimulator(const DriveSimulator&) = delete;
    DriveSimulator& operator=(const DriveSimulator&) = delete;

    // Loads the dictionary source, powers the drive on and opens the transports; prints one
    // line per transport, then "ready".
    bool Start(const std::string& defaultSource, std::string& error);
    // Serves until Stop, "quit" or until every transport has closed. Returns the exit code.
    int Run();
    // From any thread or a signal handler.
    void Stop();

    const std::string& PortPath() const;
    std::string BusPath() const;
    DriveModel& Model() { return *model_; }

private:
    // The entries of --eds; what cannot be served goes to the error stream.
    bool LoadEds(std::vector<SourceEntry>& entries, std::string& error);
    uint64_t NowUs() const;
    void Command(const std::string& line);
    void ReadConsole();
    bool AnyOpen() const;

    DriveSimOptions options_;
    std::ostream& out_;
    std::ostream& err_;
    std::chrono::steady_clock::time_point start_;
    std::unique_ptr<DriveModel> model_;
    std::unique_ptr<SimulatedDrive> drive_;
    std::unique_ptr<PtyTransport> pty_;
    std::unique_ptr<CanDriveNode> busNode_;
    std::unique_ptr<SimBusServer> bus_;
    std::unique_ptr<CanDriveNode> socketCanNode_;
    std::unique_ptr<SocketCanTransport> socketCan_;
    int wake_ = -1;  // eventfd that Stop writes
    bool stopping_ = false;
    bool consoleOpen_ = false;
    std::string consoleLine_;
};

}  // namespace tarvo::sim
