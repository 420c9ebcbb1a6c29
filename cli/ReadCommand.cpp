#include "ReadCommand.h"

#include <cstdio>
#include <iostream>

#include "ArgumentText.h"

namespace tarvo {

int ReadCommand::Run(const std::vector<std::string>& args, const ConnectionOptions& options,
                     const std::string& programFolder) {
    if (args.size() != 1 || args[0].rfind("--", 0) == 0) {
        std::cerr << "usage: tarvoctl CONNECTION read INDEX:SUB\n" << kConnectionUsage;
        return 1;
    }
    uint32_t address = 0;
    if (!ArgumentText::ParseAddress(args[0], address)) {
        std::cerr << "tarvoctl: \"" << args[0]
                  << "\" is not an entry; write INDEX:SUB in hexadecimal, e.g. 6041:0\n";
        return 1;
    }
    DriveConnection drive(options, programFolder);
    int code = drive.Open();
    DriveConnection::Reply reply;
    if (code == 0 && (code = drive.Exchange(0x40, address, 0, reply)) == 0) {
        std::printf("%u\n", reply.value);
    } else if (code == 3) {
        std::cerr << "tarvoctl: " << DriveConnection::AbortMessage(address, reply.abortCode)
                  << '\n';
    }
    return drive.Close(code);
}

}  // namespace tarvo
