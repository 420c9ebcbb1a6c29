#include "cli/UploadCommand.h"

#include <cstdio>
#include <iostream>

#include "cli/ArgumentText.h"

namespace tarvo {

int UploadCommand::Run(const std::vector<std::string>& args, const ConnectionOptions& options,
                       const std::string& programFolder) {
    if (args.size() != 1 || args[0].rfind("--", 0) == 0) {
        std::cerr << "usage: tarvoctl CONNECTION upload INDEX:SUB\n" << kConnectionUsage;
        return 1;
    }
    uint32_t address = 0;
    if (!ArgumentText::ParseAddress(args[0], address)) {
        std::cerr << "tarvoctl: \"" << args[0]
                  << "\" is not an entry; write INDEX:SUB in hexadecimal, e.g. 1008:0\n";
        return 1;
    }
    DriveConnection drive(options, programFolder);
    int code = drive.Open();
    std::string text;
    uint32_t abortCode = 0;
    if (code == 0 && (code = drive.Upload(address, text, abortCode)) == 0) {
        std::printf("%s\n", text.c_str());
    } else if (code == 3) {
        std::cerr << "tarvoctl: " << DriveConnection::AbortMessage(address, abortCode) << '\n';
    }
    return drive.Close(code);
}

}  // namespace tarvo
