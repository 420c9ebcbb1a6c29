// Speed of the transfer commands against the simulated drive on a pseudo-terminal that
// emulates a 115200 baud line: the export of 500 entries beside the line's own limit, and
// an import of only the changed rows (10 of 500) beside a full import. Prints figures;
// asserts nothing.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "cli/TransferLink.h"
#include "platform/MessageBox.h"
#include "transfer/ExportDrvDataModel.h"
#include "transfer/ImportDrvDataModel.h"
#include "transfer/ObjectListFile.h"
#include "transfer/TransferValue.h"

extern char** environ;

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

namespace {

constexpr double kLineRate = 115200.0;
constexpr int kRows = 500;
constexpr int kChanged = 10;
// A request and its reply: 20 bytes of 10 bits each.
constexpr double kLineSecondsPerExchange = 200 / kLineRate;

// The simulated drive as a child process; its port is linked as <folder>/dev/ttyBNC0.
class Simulator {
public:
    explicit Simulator(const std::string& folder) {
        std::string out = folder + "/sim.out";
        std::vector<std::string> args = {TARVO_STAGE_FOLDER "/tarvo-drivesim",
                                         "--folder",
                                         folder,
                                         "--link",
                                         "ttyBNC0",
                                         "--node",
                                         "1",
                                         "--line-baud",
                                         "115200",
                                         "--no-console",
                                         "--quiet"};
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        for (int i = 0; i < 200 && !ready_; ++i) {
            std::ifstream in(out);
            std::string text((std::istreambuf_iterator<char>(in)), {});
            ready_ = text.find("ready") != std::string::npos;
            usleep(50000);
        }
    }
    ~Simulator() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    bool Ready() const { return ready_; }

private:
    pid_t pid_ = -1;
    bool ready_ = false;
};

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

}  // namespace

int main() {
    std::string folder =
        fs::temp_directory_path() / ("tarvo-transfer-bench-" + std::to_string(getpid()));
    fs::create_directories(folder + "/sys");
    fs::create_symlink(TARVO_STAGE_FOLDER "/data", folder + "/data");
    int exitCode = 0;
    // The serial library finds dev/<link> from the current folder, as the program does.
    fs::current_path(folder);
    {
        Simulator simulator(folder);
        tarvo::ConnectionOptions options;
        options.port = "ttyBNC0";
        tarvo::TransferLink transfer(options, folder);
        if (!simulator.Ready() || !transfer.LoadDictionary() || transfer.Open() != 0) {
            std::fprintf(stderr, "transfer_bench: the simulated drive is not there\n");
            exitCode = 1;
        } else {
            // 500 rows: the shipped list of parameters, then from its start again.
            std::vector<tarvo::ObjectListFile::Item> shipped;
            tarvo::ObjectListFile::Read(TARVO_STAGE_FOLDER "/user/AllParameters.cdo", shipped);
            std::vector<tarvo::ObjectListFile::Item> items;
            for (int i = 0; !shipped.empty() && i < kRows; ++i) {
                items.push_back(shipped[i % shipped.size()]);
            }
            tarvo::RecordingMessageBox box;
            tarvo::ExportDrvDataModel exporter({transfer.Link(), transfer.Switches(), box,
                                                transfer.Dictionary(), transfer.IdleTimer()});
            exporter.LoadItems(items);
            auto start = Clock::now();
            exporter.Read();
            transfer.RunUntil([&] { return !exporter.Reading(); }, [&] { exporter.Stop(); },
                              nullptr, "");
            double took = Seconds(Clock::now() - start);
            double limit = kRows * kLineSecondsPerExchange;
            std::printf(
                "export of %d entries at 115200 baud: %.3f s; line limit %.3f s "
                "(%d exchanges of 200 bit times): %.3fx  [%d failed]\n",
                kRows, took, limit, kRows, took / limit, exporter.FailureCount());

            // The drive changes 10 entries that appear once in the file (the rows after the
            // repeated part of the list).
            std::string file = exporter.FileText();
            auto change = [&] {
                int changed = 0;
                const int once = kRows - static_cast<int>(shipped.size());
                for (int i = once; i < static_cast<int>(shipped.size()) && changed < kChanged;
                     ++i) {
                    const auto& row = exporter.Rows()[i];
                    uint32_t value = 0;
                    std::optional<uint32_t> raw =
                        tarvo::TransferValue::ParseLoadValue(row.value, row.word.SizeBits());
                    if (!raw || !row.word.WriteCommand() ||
                        transfer.Exchange(*row.word.WriteCommand(), row.word.Key(), *raw ^ 1,
                                          value) != 0 ||
                        value != (*raw ^ 1)) {
                        continue;
                    }
                    ++changed;
                }
                return changed;
            };
            for (auto kind : {tarvo::ImportDrvDataModel::RunKind::kWriteChanged,
                              tarvo::ImportDrvDataModel::RunKind::kWrite}) {
                int changed = change();
                tarvo::ImportDrvDataModel importer({transfer.Link(), transfer.Switches(), box,
                                                    transfer.Dictionary(), transfer.WaitTimer(),
                                                    transfer.IdleTimer()});
                importer.LoadText(file);
                start = Clock::now();
                importer.Start(kind);
                transfer.RunUntil([&] { return !importer.Running(); }, [&] { importer.Stop(); },
                                  nullptr, "");
                took = Seconds(Clock::now() - start);
                bool onlyChanged = kind == tarvo::ImportDrvDataModel::RunKind::kWriteChanged;
                std::printf(
                    "%-27s %d rows, %d differing: %.3f s, %d writes  [%d alarms, %d "
                    "errors]\n",
                    onlyChanged ? "import --changed-only of" : "full import of", kRows, changed,
                    took, importer.WritesSent(), importer.AlarmCount(), importer.ErrorCount());
            }
        }
    }
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    return exitCode;
}
