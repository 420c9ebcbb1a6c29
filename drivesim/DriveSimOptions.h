#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "drivesim/FaultSettings.h"

namespace tarvo::sim {

// The command line of tarvo-drivesim.
struct DriveSimOptions {
    std::string folder;  // program folder: dev/ links and the bus socket; default the cwd
    std::string source;  // dictionary source; default beside the executable
    std::string eds;     // an electronic data sheet served instead of the source
    int node = 1;
    bool pty = false;
    std::string link;
    bool canSim = false;
    std::string canSimPath = "dev/cansim0";
    uint32_t canBitRate = 500000;
    bool canPaced = false;  // every frame holds the simulated bus for its bit time
    std::string socketCan;
    std::string storeFile;
    uint32_t storeBusyMs = 300;
    uint32_t rebootSilenceMs = 1000;
    uint32_t seed = 1;
    bool changingInputs = true;
    bool console = true;  // commands on standard input
    bool quiet = false;
    FaultSettings faults;

    // Fills `options` from the arguments; false with a message naming the bad argument.
    // `help` is set for --help.
    static bool Parse(const std::vector<std::string>& args, DriveSimOptions& options, bool& help,
                      std::string& error);
    static const char* Usage();
};

}  // namespace tarvo::sim
