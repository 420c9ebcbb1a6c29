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
        std::string sysTtyFolder = "/sys/class/tty";  // for Describe
    };

    // Names longer than the library's field (ttyUSB10) are listed too; opening one goes
    // through its short link (PortAlias), whose own links are not listed.
    static std::vector<std::string> ListPorts(const Options& options);

    // What the system tells of a listed port: the USB adapter's manufacturer, product and
    // serial number, or the device a program folder link points at; empty when nothing.
    static std::string Describe(const Options& options, const std::string& name);

    // A port name fits the 8-unit name field and names a device without path tricks.
    static bool IsPlainPortName(const std::string& name);
    // As IsPlainPortName, of any length up to 64 characters.
    static bool IsPortName(const std::string& name);
};

}  // namespace tarvo
