#pragma once

#include <string>
#include <vector>

namespace tarvo {

// Finds the serial port names the RS232 form offers: first the links under
// <program folder>/dev/ (made by the user or the simulated drive), then the serial devices
// under /dev. A port that exists but is held by another program is listed as well.
class SerialPortProbe {
public:
    struct Options {
        std::string programFolder;
        std::string systemDevFolder = "/dev";
    };

    static std::vector<std::string> ListPorts(const Options& options);

    // A port name fits the 8-unit name field and names a device without path tricks.
    static bool IsPlainPortName(const std::string& name);
};

}  // namespace tarvo
