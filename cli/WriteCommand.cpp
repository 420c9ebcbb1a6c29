#include "WriteCommand.h"

#include <cstdio>
#include <iostream>

#include "ArgumentText.h"

namespace tarvo {

int WriteCommand::Run(const std::vector<std::string>& args, const ConnectionOptions& options,
                      const std::string& programFolder) {
    std::vector<std::string> words;
    uint32_t width = 0;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--width") {
            if (i + 1 >= args.size() || !ArgumentText::ParseUnsigned(args[i + 1], width)) {
                std::cerr << "tarvoctl: --width takes 8, 16 or 32\n";
                return 1;
            }
            ++i;
        } else if (args[i].rfind("--", 0) == 0) {
            std::cerr << "tarvoctl: unknown option " << args[i] << '\n';
            return 1;
        } else {
            words.push_back(args[i]);
        }
    }
    if (words.size() != 2) {
        std::cerr << "usage: tarvoctl CONNECTION write INDEX:SUB VALUE --width 8|16|32\n"
                  << kConnectionUsage;
        return 1;
    }
    if (width != 8 && width != 16 && width != 32) {
        std::cerr << "tarvoctl: write needs --width 8, 16 or 32\n";
        return 1;
    }
    uint32_t address = 0;
    if (!ArgumentText::ParseAddress(words[0], address)) {
        std::cerr << "tarvoctl: \"" << words[0]
                  << "\" is not an entry; write INDEX:SUB in hexadecimal, e.g. 6041:0\n";
        return 1;
    }
    uint32_t value = 0;
    if (!ArgumentText::ParseValue(words[1], static_cast<int>(width), value)) {
        std::cerr << "tarvoctl: \"" << words[1] << "\" does not fit in " << width << " bits\n";
        return 1;
    }
    uint8_t command = width == 8 ? 0x2F : width == 16 ? 0x2B : 0x23;
    DriveConnection drive(options, programFolder);
    int code = drive.Open();
    DriveConnection::Reply reply;
    if (code == 0 && (code = drive.Exchange(command, address, value, reply)) == 0) {
        std::printf("%u\n", reply.value);
    } else if (code == 3) {
        std::cerr << "tarvoctl: " << DriveConnection::AbortMessage(address, reply.abortCode)
                  << '\n';
    }
    return drive.Close(code);
}

}  // namespace tarvo
