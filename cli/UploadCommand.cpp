#include "cli/UploadCommand.h"

#include <cstdio>
#include <iostream>

#include "cli/ArgumentText.h"
#include "cli/ExitCode.h"

namespace tarvo {

int UploadCommand::Run(const std::vector<std::string>& args, const ConnectionOptions& options,
                       const std::string& programFolder) {
    if (args.size() != 1 || args[0].rfind("--", 0) == 0) {
        std::cerr << "usage: tarvoctl CONNECTION upload INDEX:SUB\n" << kConnectionUsage;
        return ExitCode::BadInput;
    }
    uint32_t address = 0;
    if (!ArgumentText::ParseAddress(args[0], address)) {
        std::cerr << "tarvoctl: \"" << args[0]
                  << "\" is not an entry; write INDEX:SUB in hexadecimal, e.g. 1008:0\n";
        return ExitCode::BadInput;
    }
    DriveConnection drive(options, programFolder);
    int code = drive.Open();
    std::string text;
    uint32_t abortCode = 0;
    if (code == ExitCode::Done &&
        (code = drive.Upload(address, text, abortCode)) == ExitCode::Done) {
        std::printf("%s\n", text.c_str());
    } else if (code == ExitCode::Refused) {
        std::cerr << "tarvoctl: " << DriveConnection::AbortMessage(address, abortCode) << '\n';
    }
    return drive.Close(code);
}

}  // namespace tarvo
