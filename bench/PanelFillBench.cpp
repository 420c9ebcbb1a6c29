// Time for a 60-row parameter panel to fill from the simulated drive emulating a 115200
// baud RS232 line, beside its floor: 60 exchanges of 200 bit times (request and reply, 10
// bytes of 10 bits each) plus the control link's own pause before it takes the first
// request (at most 30 ms after an idle monitor walk). Prints figures; asserts nothing.
//
//   panel_fill_bench [RUNS]   (default 10)

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "comm/ControlLink.h"
#include "dictionary/FormulaEvaluator.h"
#include "dictionary/ObjectDictionary.h"
#include "dictionary/ProjectSections.h"
#include "dictionary/UnitTable.h"
#include "dictionary/ValueText.h"
#include "panels/ControlPanelLink.h"
#include "panels/PanelFamily.h"
#include "panels/ParameterPanel.h"
#include "platform/MessageBox.h"
#include "platform/ProfileFile.h"
#include "platform/QueuedMessageSender.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRows = 60;
constexpr double kBaud = 115200.0;
constexpr double kLinkPauseSeconds = 0.030;

// Sixty entries the panels list, in the order of the shipped definitions; no text entries.
std::vector<std::string> SixtyEntries(const tarvo::ObjectDictionary& dictionary) {
    std::vector<std::string> keys;
    std::set<uint32_t> seen;
    for (const tarvo::PanelDescription& member : tarvo::PanelFamily::Members()) {
        tarvo::ProfileFile file(std::string(TARVO_STAGE_FOLDER "/sys/") + member.panelName +
                                ".ini");
        int count = std::atoi(file.GetString(member.panelName, "num", "0", 32).c_str());
        for (int i = 1; i <= count && static_cast<int>(keys.size()) < kRows; ++i) {
            std::string text = file.GetString(member.panelName, std::to_string(i), "", 32);
            uint32_t key = static_cast<uint32_t>(std::strtoul(text.c_str(), nullptr, 16));
            auto entry = dictionary.FindEntry(key);
            if (entry && entry->dataType.find("STRING") == std::string::npos &&
                seen.insert(key).second) {
                keys.push_back(text);
            }
        }
    }
    return keys;
}

// tarvo-drivesim on a pseudo-terminal linked as dev/ttyFILL of `folder`.
pid_t StartDrive(const std::string& folder) {
    int out[2];
    if (::pipe(out) != 0) {
        return -1;
    }
    pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::close(out[0]);
        ::execl(TARVO_STAGE_FOLDER "/tarvo-drivesim", "tarvo-drivesim", "--folder", folder.c_str(),
                "--link", "ttyFILL", "--node", "1", "--quiet", "--no-console", "--line-baud",
                "115200", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    std::string text;
    char buffer[256];
    ssize_t n;
    while (text.find("ready\n") == std::string::npos && (n = ::read(out[0], buffer, 256)) > 0) {
        text.append(buffer, static_cast<size_t>(n));
    }
    ::close(out[0]);
    return text.find("ready\n") == std::string::npos ? -1 : pid;
}

// Receives the link's failure reports; the run then stops short and says so.
class Failures : public tarvo::MessageTarget {
public:
    intptr_t onMessage(uint32_t, uintptr_t, intptr_t) override { return ++count, 0; }
    long count = 0;
};

bool Filled(const tarvo::ParameterList& list) {
    for (int row = 0; row < list.RowCount(); ++row) {
        if (list.Text(row, tarvo::ParameterRows::kValueColumn).empty()) {
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    std::string folder =
        std::filesystem::temp_directory_path() / ("tarvo-fill-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder + "/sys");
    std::filesystem::create_directories(folder + "/dev");

    tarvo::RecordingMessageBox box;
    tarvo::ObjectDictionary dictionary;
    if (!dictionary.LoadFile(TARVO_STAGE_FOLDER "/data/tarvo.dat", 2, &box)) {
        std::fprintf(stderr, "panel_fill_bench: no data file in %s\n", TARVO_STAGE_FOLDER);
        return 1;
    }
    std::vector<std::string> keys = SixtyEntries(dictionary);
    {
        std::ofstream definition(folder + "/sys/BasicOperate.ini");
        definition << "[BasicOperate]\r\nnum=" << keys.size() << "\r\n";
        for (size_t i = 0; i < keys.size(); ++i) {
            definition << i + 1 << "=" << keys[i] << "\r\n";
        }
    }
    pid_t drive = StartDrive(folder);
    if (drive < 0) {
        std::fprintf(stderr, "panel_fill_bench: the simulated drive did not start\n");
        return 1;
    }
    std::filesystem::current_path(folder);  // the serial library finds dev/ttyFILL there

    tarvo::LinkSwitches switches;
    tarvo::QueuedMessageSender sender;
    tarvo::ControlLink link({switches, sender, box, TARVO_STAGE_FOLDER, nullptr});
    Failures failures;
    switches.mainFrameWindow = &failures;
    tarvo::FormulaEvaluator evaluator(link, switches.mainFrameWindow, &box);
    tarvo::UnitTable units(&box);
    tarvo::ValueText values({dictionary, evaluator, units, link, &box});
    tarvo::ProjectSections project(dictionary, units, nullptr);
    tarvo::ControlPanelLink panelLink(link);
    CommSettings settings{};
    const char port[] = "ttyFILL";
    std::copy(std::begin(port), std::end(port), settings.portName);
    settings.nodeId = 1;
    settings.rate = 115200;
    settings.replyTimeoutMs = 500;
    if (link.Load(2) != 1 || link.Open(&settings) != 0) {
        std::fprintf(stderr, "panel_fill_bench: cannot open dev/ttyFILL\n");
        return 1;
    }
    link.SetNodeId(1);
    switches.connectionState = tarvo::ConnectionState::Open;

    const double floorSeconds = kRows * 200.0 / kBaud + kLinkPauseSeconds;
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        tarvo::ParameterPanel panel(
            *tarvo::PanelFamily::ByCommand(1227),
            {dictionary, units, values, project, panelLink, switches.connectionState,
             switches.mainFrameWindow, folder, nullptr, nullptr});
        // Let the link settle into its idle walk, as it is when the user opens a panel.
        for (auto until = Clock::now() + std::chrono::milliseconds(100); Clock::now() < until;) {
            sender.Drain(std::chrono::milliseconds(5));
        }
        auto start = Clock::now();
        panel.Create();
        auto limit = start + std::chrono::seconds(10);
        while (!Filled(panel.List()) && Clock::now() < limit) {
            sender.Drain(std::chrono::milliseconds(1));
        }
        double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (!Filled(panel.List()) || panel.List().RowCount() != kRows) {
            std::fprintf(stderr,
                         "panel_fill_bench: run %d filled only part of %d rows (%ld failures)\n",
                         run, panel.List().RowCount(), failures.count);
            break;
        }
        times.push_back(seconds);
        // The rows' own reads queued at creation are still answered: let them go.
        while (link.IsBusy()) {
            sender.Drain(std::chrono::milliseconds(5));
        }
    }

    link.Shutdown([&sender] { sender.Drain(std::chrono::milliseconds(1)); });
    ::kill(drive, SIGTERM);
    ::waitpid(drive, nullptr, 0);
    std::filesystem::current_path("/");
    std::filesystem::remove_all(folder);
    if (times.empty()) {
        return 1;
    }
    std::sort(times.begin(), times.end());
    double load = 0.0;
    std::ifstream("/proc/loadavg") >> load;
    double median = times[times.size() / 2];
    std::printf("panel fill: %d rows at %.0f baud, %zu runs\n", kRows, kBaud, times.size());
    std::printf("  median %.1f ms, best %.1f ms, worst %.1f ms\n", median * 1e3,
                times.front() * 1e3, times.back() * 1e3);
    std::printf(
        "  floor  %.1f ms (%d x 200 bit times %.1f ms + link pause %.0f ms): median %.2fx\n",
        floorSeconds * 1e3, kRows, kRows * 200.0 / kBaud * 1e3, kLinkPauseSeconds * 1e3,
        median / floorSeconds);
    return 0;
}
