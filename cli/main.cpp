#include <unistd.h>

#include <algorithm>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/DeviceControlCommand.h"
#include "cli/DictCommand.h"
#include "cli/DiffCommand.h"
#include "cli/DriveConnection.h"
#include "cli/ExitCode.h"
#include "cli/ExportCommand.h"
#include "cli/ImportCommand.h"
#include "cli/JogCommand.h"
#include "cli/MoveCommand.h"
#include "cli/PortsCommand.h"
#include "cli/ReadCommand.h"
#include "cli/ScanCommand.h"
#include "cli/ScopeCommand.h"
#include "cli/UploadCommand.h"
#include "cli/WatchCommand.h"
#include "cli/WriteCommand.h"
#include "platform/PerUserFolderSetup.h"

namespace {

// A command: its operands (the command word removed), the connection options and the
// program folder. Returns the process exit code. File operands are the user's paths,
// relative to the current directory, which need not be the program folder.
using Command = int (*)(const std::vector<std::string>&, const tarvo::ConnectionOptions&,
                        const std::string&);

struct CommandEntry {
    const char* word;
    Command run;
    const char* usage;  // its lines of the usage text
};

int RunDict(const std::vector<std::string>& args, const tarvo::ConnectionOptions& options,
            const std::string& folder) {
    return tarvo::DictCommand::Run(args, folder, static_cast<int>(options.node));
}

constexpr CommandEntry kCommands[] = {
    {"read", tarvo::ReadCommand::Run,
     "  read ENTRY... [--raw | --unit NAME] [--json] [--lang 1|2]\n"
     "                        print the entries' values in their first unit (one line\n"
     "                        each; --raw the drive's number; --json one object each);\n"
     "                        a named code shows its name (--lang 1 in Chinese)\n"},
    {"write", tarvo::WriteCommand::Run,
     "  write ENTRY VALUE [--width 8|16|32] [--unit NAME]\n"
     "                        write the value (raw, or in a unit) and print what the\n"
     "                        drive then holds; the width comes from the dictionary,\n"
     "                        a value outside the entry's range is refused unsent, and\n"
     "                        a code may be given by its English name\n"},
    {"upload", tarvo::UploadCommand::Run,
     "  upload ENTRY          print a text entry (segmented upload); a number entry is\n"
     "                        printed as read prints it\n"},
    {"export", tarvo::ExportCommand::Run,
     "  export LIST.cdo OUT.cdi   read every entry of the object list into a parameter file\n"
     "  export --dcf OUT.dcf  a CiA 306 DCF: the dictionary's EDS with the drive's values\n"},
    {"import", tarvo::ImportCommand::Run,
     "  import FILE.cdi [--changed-only] [--store] [--reboot [--discard]]\n"
     "                        (a FILE.dcf restores its writable ParameterValue rows)\n"
     "                        write a parameter file into the drive and verify every row;\n"
     "                        --store keeps the values over a reboot, --reboot needs it\n"
     "                        (or --discard, which lets the reboot drop them)\n"},
    {"diff", tarvo::DiffCommand::Run,
     "  diff FILE.cdi         list the rows whose drive value differs from the file\n"},
    {"scan", tarvo::ScanCommand::Run,
     "  scan [--nodes LIST]   with --can: list the drives on the bus (nodes 1-127, or\n"
     "                        LIST such as 1-10,20): device type, identity and name\n"},
    {"scope", tarvo::ScopeCommand::Run,
     "  scope --channel N=ENTRY ... [--trigger ENTRY] [--level V] [--edge 0|1] [--period N]\n"
     "        [--pretrigger N] [--total N] [--record FILE.txt] [--csv FILE.csv]\n"
     "                        one oscilloscope capture, written as the program writes it\n"},
    {"watch", tarvo::WatchCommand::Run,
     "  watch ENTRY... [--interval MS] [--count N | --for DURATION] [--csv [FILE]] [--json]\n"
     "                        poll the entries (every 100 ms; 0: at the link's pace) and\n"
     "                        print a timestamped row per poll: a table at a terminal, CSV\n"
     "                        otherwise, --json one object a row; --csv FILE logs CSV to\n"
     "                        FILE; Ctrl-C ends it\n"},
    {"ports", tarvo::PortsCommand::Run,
     "  ports                 list the serial ports, with their USB adapters\n"},
    {"dict", RunDict,
     "  dict build SOURCE OUT.dat   build a dictionary data file from its JSON source,\n"
     "                        and beside it OUT.facts.json (names of codes, ranges)\n"
     "  dict dump [--json] [--lang 1|2] [FILE]   list the dictionary's entries\n"
     "  dict find TEXT [--json] [--lang 1|2]   list the entries whose name holds TEXT\n"
     "                        (--lang 1 the Chinese names, 2 the English ones)\n"
     "  dict eds OUT.eds [FILE]   write a CiA 306 EDS of the dictionary (FILE a data file\n"
     "                        or a JSON source, whose defaults and limits it then carries)\n"
     "  dict build --eds DRIVE.eds -o OUT.dat [--source OUT.json]\n"
     "                        build a dictionary (data file and JSON source) from an EDS;\n"
     "                        --node N gives $NODEID (default 1)\n"},
    {"state", tarvo::DeviceControlCommand::RunState,
     "  state [--json]        the drive profile's state (6041h) and the bits watched\n"},
    {"enable", tarvo::DeviceControlCommand::RunEnable,
     "  enable, disable, quickstop, fault-reset [--within SECONDS]\n"
     "                        walk to Operation enabled, to Switch on disabled, quick stop,\n"
     "                        reset a fault; exit 0 once the statusword shows the state\n"
     "                        (within 5 s by default)\n"},
    {"disable", tarvo::DeviceControlCommand::RunDisable, ""},
    {"quickstop", tarvo::DeviceControlCommand::RunQuickStop, ""},
    {"fault-reset", tarvo::DeviceControlCommand::RunFaultReset, ""},
    {"move", tarvo::MoveCommand::Run,
     "  move --position N [--relative] [--velocity V] [--wait [--within SECONDS]]\n"
     "                        profile position move to (by) N counts at V (the unit of\n"
     "                        6081:00, rpm); --wait: exit 0 once the target is reached\n"},
    {"jog", tarvo::JogCommand::Run,
     "  jog --velocity V --for DURATION   run at V (rpm, signed) for 2s, 500ms...,\n"
     "                        then stop; Ctrl-C and SIGTERM stop it too\n"},
};

constexpr const char* kUsageHead =
    "usage: tarvoctl [--folder DIR] [CONNECTION] COMMAND [OPERANDS] [OPTIONS]\n"
    "Commands:\n";
constexpr const char* kUsageTail =
    "  help, --help, -h      this text; --version prints the version\n"
    "ENTRY is INDEX:SUB in hexadecimal (6081:00) or a name of the dictionary\n"
    "(\"Profile velocity\", any case).\n"
    "CONNECTION (options may stand anywhere on the line):\n"
    "  --port NAME           serial port: ttyUSB0, pts/3, /dev/ttyUSB0, /dev/serial/by-id/...\n"
    "  --baud RATE           bit/s of the serial port (default 115200)\n"
    "  --can                 the CAN bus that sys/can.ini chooses, instead of a port\n"
    "  --bitrate RATE        CAN bit rate: 1000k 500k 250k 125k 100k 50k 20k, or a PCAN\n"
    "                        bit-rate code such as 0x001C (default 500k)\n"
    "  --node N              the drive's node ID, 1-127 (default 1)\n"
    "  --timeout MS          reply timeout (default 500)\n"
    "  --trace FILE          write every exchange to FILE (-: standard output)\n"
    "  --folder DIR          the program folder (default: the current directory when it\n"
    "                        holds data/tarvo.dat, else the folder of tarvoctl; an\n"
    "                        installed tarvoctl: the per-user folder, by default\n"
    "                        ~/.local/share/tarvostep)\n";

// The exit codes' sentence, wrapped to the width of the usage text.
std::string ExitCodeText() {
    constexpr size_t kWidth = 79;
    std::istringstream words("Exit codes: " + tarvo::ExitCode::List() +
                             " (its abort code and meaning on standard error).");
    std::string text, line, word;
    while (words >> word) {
        if (!line.empty() && line.size() + 1 + word.size() > kWidth) {
            text += line + '\n';
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
    }
    return text + line + '\n';
}

void PrintUsage(std::ostream& out) {
    out << kUsageHead;
    for (const CommandEntry& command : kCommands) {
        out << command.usage;
    }
    out << kUsageTail << ExitCodeText();
}

// Takes "--folder DIR" from anywhere on the line; false when it has no value.
bool TakeFolder(std::vector<std::string>& args, std::string& folder) {
    auto it = std::find(args.begin(), args.end(), "--folder");
    if (it == args.end()) {
        return true;
    }
    if (it + 1 == args.end()) {
        std::cerr << "tarvoctl: --folder needs a value\n";
        return false;
    }
    folder = *(it + 1);
    args.erase(it, it + 2);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            PrintUsage(std::cout);
            return tarvo::ExitCode::Done;
        }
        if (arg == "--version") {
            std::cout << "tarvoctl " TARVO_VERSION "\n";
            return tarvo::ExitCode::Done;
        }
    }
    std::string chosen;
    if (!TakeFolder(args, chosen)) {
        return tarvo::ExitCode::BadInput;
    }
    if (!chosen.empty() && ::chdir(chosen.c_str()) != 0) {
        std::cerr << "tarvoctl: cannot change into " << chosen << '\n';
        return tarvo::ExitCode::BadInput;
    }
    // The current directory or tarvoctl's own folder when either is a program folder, else
    // the per-user folder of an installed tarvoctl.
    tarvo::FolderChoice::Choice choice;
    std::string error;
    if (!tarvo::PerUserFolderSetup::ChooseHere(chosen, true, choice, error)) {
        std::cerr << "tarvoctl: " << error << '\n';
        return tarvo::ExitCode::BadInput;
    }
    const std::string& folder = choice.folder;
    tarvo::ConnectionOptions options;
    if (!tarvo::ConnectionOptions::Take(args, options)) {
        return tarvo::ExitCode::BadInput;
    }
    for (auto word = args.begin(); word != args.end(); ++word) {
        if (*word == "help") {
            PrintUsage(std::cout);
            return tarvo::ExitCode::Done;
        }
        for (const CommandEntry& command : kCommands) {
            if (*word == command.word) {
                args.erase(word);
                return command.run(args, options, folder);
            }
        }
    }
    auto word = std::find_if(args.begin(), args.end(),
                             [](const std::string& arg) { return arg.rfind("-", 0) != 0; });
    if (word != args.end()) {
        std::cerr << "tarvoctl: unknown command \"" << *word << "\"; see tarvoctl --help\n";
    } else {
        std::cerr << "tarvoctl: no command given; see tarvoctl --help\n";
    }
    return tarvo::ExitCode::BadInput;
}
