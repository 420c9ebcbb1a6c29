#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "DictCommand.h"
#include "DiffCommand.h"
#include "DriveConnection.h"
#include "ExportCommand.h"
#include "ImportCommand.h"
#include "ReadCommand.h"
#include "SharedState.h"
#include "UploadCommand.h"
#include "WriteCommand.h"

namespace {

constexpr const char* kUsage =
    "usage: tarvoctl [--folder DIR] dict build SOURCE OUT.dat\n"
    "       tarvoctl [--folder DIR] dict dump [--json] [--lang 1|2] [FILE]\n"
    "       tarvoctl [--folder DIR] --port NAME [--baud RATE] [--node N] [--timeout MS]\n"
    "                [--trace FILE] read INDEX:SUB\n"
    "       tarvoctl [--folder DIR] --port NAME ... write INDEX:SUB VALUE --width 8|16|32\n"
    "       tarvoctl [--folder DIR] --port NAME ... upload INDEX:SUB\n"
    "       tarvoctl [--folder DIR] --port NAME ... export LIST.cdo OUT.cdi\n"
    "       tarvoctl [--folder DIR] --port NAME ... import FILE.cdi [--changed-only] [--store]\n"
    "                [--reboot]\n"
    "       tarvoctl [--folder DIR] --port NAME ... diff FILE.cdi\n";

// A command that talks to a drive: its operands, the connection and the program folder.
using DriveCommand = int (*)(const std::vector<std::string>&, const tarvo::ConnectionOptions&,
                             const std::string&);

struct DriveCommandEntry {
    const char* word;
    DriveCommand run;
};

constexpr DriveCommandEntry kDriveCommands[] = {
    {"read", tarvo::ReadCommand::Run},     {"write", tarvo::WriteCommand::Run},
    {"upload", tarvo::UploadCommand::Run}, {"export", tarvo::ExportCommand::Run},
    {"import", tarvo::ImportCommand::Run}, {"diff", tarvo::DiffCommand::Run},
};

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() >= 2 && args[0] == "--folder") {
        if (::chdir(args[1].c_str()) != 0) {
            std::cerr << "tarvoctl: cannot change into " << args[1] << '\n';
            return 1;
        }
        args.erase(args.begin(), args.begin() + 2);
    }
    std::string folder = tarvo::SharedState::CurrentFolder();
    if (!args.empty() && args[0] == "dict") {
        return tarvo::DictCommand::Run({args.begin() + 1, args.end()}, folder);
    }
    tarvo::ConnectionOptions options;
    if (!tarvo::ConnectionOptions::Take(args, options)) {
        return 1;
    }
    // The command is the first word that is not an option.
    auto word = args.begin();
    while (word != args.end() && word->rfind("--", 0) == 0) {
        ++word;
    }
    for (const DriveCommandEntry& command : kDriveCommands) {
        if (word != args.end() && *word == command.word) {
            args.erase(word);
            return command.run(args, options, folder);
        }
    }
    std::cerr << kUsage;
    return 1;
}
