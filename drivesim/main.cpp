#include <signal.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "drivesim/DriveSimOptions.h"
#include "drivesim/DriveSimulator.h"
#include "platform/PerUserFolderSetup.h"

namespace {

tarvo::sim::DriveSimulator* running = nullptr;

void OnSignal(int) {
    if (running != nullptr) {
        running->Stop();
    }
}

// The staged copy of the dictionary source beside the program, else the source tree's.
std::string DefaultSource() {
    char self[PATH_MAX];
    ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length > 0) {
        self[length] = '\0';
        std::filesystem::path staged =
            std::filesystem::path(self).parent_path() / "sim" / "dictionary.json";
        std::error_code code;
        if (std::filesystem::exists(staged, code)) {
            return staged.string();
        }
        // An installed simulator: <prefix>/bin beside <prefix>/share/tarvostep.
        std::filesystem::path installed = std::filesystem::path(self).parent_path().parent_path() /
                                          "share" / "tarvostep" / "sim" / "dictionary.json";
        if (std::filesystem::exists(installed, code)) {
            return installed.string();
        }
    }
    return TARVO_SOURCE_DICTIONARY;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && args[0] == "--version") {
        std::cout << "tarvo-drivesim " TARVO_VERSION "\n";
        return 0;
    }
    tarvo::sim::DriveSimOptions options;
    bool help = false;
    std::string error;
    if (!tarvo::sim::DriveSimOptions::Parse(args, options, help, error)) {
        std::cerr << "tarvo-drivesim: " << error << '\n';
        return 2;
    }
    if (help) {
        std::cout << tarvo::sim::DriveSimOptions::Usage();
        return 0;
    }
    if (options.folder.empty()) {
        // An installed simulator makes its links in the per-user program folder.
        tarvo::FolderChoice::Choice choice;
        if (!tarvo::PerUserFolderSetup::ChooseHere("", false, choice, error)) {
            std::cerr << "tarvo-drivesim: " << error << '\n';
            return 1;
        }
        if (choice.kind == tarvo::FolderChoice::Kind::PerUser) {
            options.folder = choice.folder;
        }
    }
    tarvo::sim::DriveSimulator simulator(options, std::cout, std::cerr);
    if (!simulator.Start(DefaultSource(), error)) {
        std::cerr << "tarvo-drivesim: " << error << '\n';
        return 1;
    }
    running = &simulator;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGHUP, &action, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
    // Run in the background of a shell, reading the console fails instead of stopping us.
    ::signal(SIGTTIN, SIG_IGN);
    int code = simulator.Run();
    running = nullptr;
    return code;
}
