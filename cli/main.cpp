#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "DictCommand.h"
#include "LinkCommand.h"
#include "SharedState.h"
#include "TransferCommands.h"

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
    if (int exitCode = 0; tarvo::TransferCommands::Run(args, folder, exitCode)) {
        return exitCode;
    }
    if (tarvo::LinkCommand::Handles(args)) {
        return tarvo::LinkCommand::Run(args, folder);
    }
    std::cerr << kUsage;
    return 1;
}
