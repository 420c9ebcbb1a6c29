#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "drivesim/FaultPlan.h"
#include "drivesim/SerialFramer.h"
#include "drivesim/SerialLine.h"
#include "drivesim/SimulatedDrive.h"

namespace tarvo::sim {

// RS232 framing over a pseudo-terminal: the program opens the terminal side (its name is
// printed, and optionally linked as <program folder>/dev/NAME) as it opens a serial port.
class PtyTransport {
public:
    PtyTransport(SimulatedDrive& drive, uint8_t node, const FaultSettings& faults);
    ~PtyTransport();
    PtyTransport(const PtyTransport&) = delete;
    PtyTransport& operator=(const PtyTransport&) = delete;

    // Creates the pseudo-terminal and, when linkName is not empty, the link to it.
    bool Open(const std::string& programFolder, const std::string& linkName, std::string& error);
    void Close();

    int Fd() const { return master_; }
    bool Closed() const { return master_ < 0; }
    const std::string& PortPath() const { return portPath_; }
    const std::string& LinkPath() const { return linkPath_; }

    // Reads what the program sent and schedules the answers.
    void OnReadable(uint64_t nowUs);
    // Writes the bytes that are due; closes the port after a reply that asked for it.
    void Flush(uint64_t nowUs);
    int64_t NextDueUs() const;

    const FaultPlan& Faults() const { return faults_; }

    // A link name is a plain device name of at most 7 characters, as the serial library
    // accepts it.
    static bool ValidLinkName(const std::string& name);

private:
    SimulatedDrive& drive_;
    uint8_t node_;
    FaultPlan faults_;
    SerialFramer framer_;
    SerialLine line_;
    int master_ = -1;
    int slave_ = -1;  // kept open so that the line settings survive the program's close
    std::string portPath_;
    std::string linkPath_;
    bool closePending_ = false;
    uint64_t closeByUs_ = 0;  // the port closes once the program has read the last reply
    uint64_t nextCloseCheckUs_ = 0;
    uint64_t drainedFromUs_ = 0;
    std::vector<uint8_t> unwritten_;
};

}  // namespace tarvo::sim
