#include "cli/PortsCommand.h"

#include <iostream>

#include "cli/ExitCode.h"
#include "comm/SerialPortProbe.h"

namespace tarvo {

int PortsCommand::Run(const std::vector<std::string>& args, const ConnectionOptions&,
                      const std::string& programFolder) {
    if (!args.empty()) {
        std::cerr << "usage: tarvoctl ports\n";
        return ExitCode::BadInput;
    }
    SerialPortProbe::Options probe;
    probe.programFolder = programFolder;
    for (const std::string& port : SerialPortProbe::ListPorts(probe)) {
        std::string description = SerialPortProbe::Describe(probe, port);
        std::cout << port << (description.empty() ? "" : "\t" + description) << '\n';
    }
    return ExitCode::Done;
}

}  // namespace tarvo
