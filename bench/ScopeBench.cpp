// Oscilloscope speed: (a) the upload of a full record from the simulated drive emulating a
// 115200 baud line, beside the reference client uploading the same record and the line's
// own limit; (b) drawing four curves of 2,048 points into the plot's image, and a cursor
// move, which redraws no curve. Prints figures; fails when the record is empty.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "comm/CommLibrary.h"
#include "comm/ConnectionSession.h"
#include "comm/ControlLink.h"
#include "dictionary/FormulaEvaluator.h"
#include "dictionary/ObjectDictionary.h"
#include "dictionary/UnitTable.h"
#include "oscilloscope/CurvePlot.h"
#include "oscilloscope/DriverOscilloModel.h"
#include "oscilloscope/ScopeLink.h"
#include "oscilloscope/ScopeUnits.h"
#include "oscilloscope/views/CurvePlotPainter.h"
#include "oscilloscope/views/CurvePlotView.h"
#include "platform/MessageBox.h"
#include "platform/QueuedMessageSender.h"
#include "platform/Timer.h"
#include "protocol/DriveObjects.h"

extern char** environ;

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

namespace {

constexpr double kLineRate = 115200.0;
constexpr double kLineSecondsPerExchange = 200 / kLineRate;  // 20 bytes of 10 bits

class Simulator {
public:
    explicit Simulator(const std::string& folder) {
        std::string out = folder + "/sim.out";
        std::vector<std::string> args = {TARVO_STAGE_FOLDER "/tarvo-drivesim",
                                         "--folder",
                                         folder,
                                         "--link",
                                         "ttyBSC0",
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

// The best of three runs of the reference client (write a frame, read ten bytes, next)
// uploading the same record over the same port, in seconds; negative when it failed.
double ReferenceUpload(const std::string& folder) {
    std::string out = folder + "/reference.out";
    double best = -1;
    for (int round = 0; round < 3; ++round) {
        std::vector<std::string> args = {TARVO_REFERENCE_CLIENT, folder + "/dev/ttyBSC0", "1",
                                         "upload", "2300:10"};
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        pid_t pid = -1;
        int status = -1;
        if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
            ::waitpid(pid, &status, 0);
        }
        posix_spawn_file_actions_destroy(&actions);
        std::ifstream in(out);
        int exchanges = 0;
        size_t bytes = 0;
        double ms = 0;
        std::string text((std::istreambuf_iterator<char>(in)), {});
        if (status != 0 || std::sscanf(text.c_str(), "%d exchanges, %zu bytes, %lf ms", &exchanges,
                                       &bytes, &ms) != 3) {
            return -1;
        }
        best = best < 0 ? ms / 1000 : std::min(best, ms / 1000);
    }
    return best;
}

// Delivers the link's messages and fires the poll timer until the model's run is idle and
// the link has nothing left.
bool Settle(tarvo::ControlLink& link, tarvo::QueuedMessageSender& sender,
            tarvo::DriverOscilloModel& model, tarvo::ManualTimer& poll) {
    auto deadline = Clock::now() + std::chrono::seconds(20);
    while (Clock::now() < deadline) {
        sender.Drain(std::chrono::milliseconds(5));
        if (link.IsBusy()) {
            continue;
        }
        sender.Drain();
        if (poll.IsActive()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            poll.Fire();
            continue;
        }
        if (!model.run().Busy()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::fprintf(stderr, "scope_bench: stuck: busy %d link %d poll %d state %d status %s\n",
                 model.run().Busy(), link.IsBusy(), poll.IsActive(), int(model.run().state()),
                 model.run().Status().c_str());
    return false;
}

int UploadBench(const std::string& folder) {
    Simulator simulator(folder);
    tarvo::RecordingMessageBox box;
    tarvo::LinkSwitches switches;
    tarvo::QueuedMessageSender sender;
    tarvo::ControlLink link({switches, sender, box, folder, nullptr});
    switches.cyclicReadEnabled = 0;
    tarvo::ObjectDictionary dictionary;
    std::atomic<tarvo::MessageTarget*> mainWindow{nullptr};
    tarvo::FormulaEvaluator evaluator(link, mainWindow, &box);
    tarvo::UnitTable unitTable(&box);
    tarvo::ScopeUnits units(dictionary, unitTable, evaluator);
    tarvo::ControlScopeLink scopeLink(link);
    tarvo::ManualTimer poll;
    tarvo::ManualTimer restart;
    tarvo::ManualTimer watch;
    tarvo::DriverOscilloModel model(
        {dictionary, units, scopeLink, switches, box, poll, restart, watch});
    int exitCode = 0;
    CommSettings settings = tarvo::ConnectionSession::MakeSettings("ttyBSC0", 1, 115200);
    if (!simulator.Ready() || !dictionary.LoadFile(folder + "/data/tarvo.dat", 2, &box) ||
        link.Load(tarvo::CommLibrary::kSerial) != 1 || (link.SetNodeId(1), false) ||
        link.Open(&settings) != 0) {
        std::fprintf(stderr, "scope_bench: the simulated drive is not there\n");
        exitCode = 1;
    } else {
        switches.connectionState = tarvo::ConnectionState::Open;
        model.Create(TARVO_STAGE_FOLDER "/sys/Oscilloscope.ini");
        Settle(link, sender, model, poll);
        // Four 16-bit channels: 8 bytes a sample, the drive's whole sample memory.
        const uint32_t keys[4] = {tarvo::DriveObject::kStatusWord, 0x607700, 0x607800,
                                  tarvo::ObjectAddressOf(tarvo::DriveObject::kIoIndex, 0x0B)};
        for (int channel = 1; channel <= 4; ++channel) {
            // The pick of an unticked channel clears its slot; the tick that follows writes
            // the object. The link sends the newest request first, so the clearing must be
            // through before the tick, as it is between a user's two clicks.
            model.BeginPick(channel);
            model.onMessage(tarvo::WM_OBJECT_PICKED, 0, keys[channel - 1]);
            Settle(link, sender, model, poll);
            model.ClickChannel(channel, true);
            Settle(link, sender, model, poll);
        }
        // The drive reports the slots it holds: every channel's object must have reached it.
        for (int channel = 1; channel <= 4; ++channel) {
            if (model.Slots()[static_cast<size_t>(channel - 1)] == 0) {
                std::fprintf(stderr, "scope_bench: channel %d's object never reached the drive\n",
                             channel);
                exitCode = 1;
            }
        }
        model.SelectTrigger(0);
        model.EnterPeriod("1");
        model.EnterTotal("4000");
        Settle(link, sender, model, poll);
        model.StartOrCancel();
        Settle(link, sender, model, poll);
        size_t bytes = model.run().UploadedBytes();
        if (bytes == 0) {
            std::fprintf(stderr, "scope_bench: the drive recorded nothing: no upload to measure\n");
            link.Shutdown([&] { sender.Drain(); });
            return 1;
        }
        double exchanges = static_cast<double>(bytes / 7 + 2);  // initiate, segments, the last
        double best = 1e9;
        for (int round = 0; round < 3; ++round) {
            auto start = Clock::now();
            model.Reread();
            Settle(link, sender, model, poll);
            best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
        }
        double limit = exchanges * kLineSecondsPerExchange;
        // The port is the reference client's while it runs.
        link.Close();
        double reference = ReferenceUpload(folder);
        if (reference <= 0) {
            std::fprintf(stderr, "scope_bench: the reference client could not upload the record\n");
            exitCode = 1;
        }
        double load[1] = {0};
        ::getloadavg(load, 1);
        std::printf("machine load average: %.1f\n", load[0]);
        std::printf(
            "upload of a %zu-byte record (%.0f exchanges) at 115200 baud: %.3f s, reference "
            "client %.3f s, line limit %.3f s; ours/reference %.3f (goal within 1.05), "
            "ours/line %.3f\n",
            bytes, exchanges, best, reference, limit, best / reference, best / limit);
    }
    link.Shutdown([&] { sender.Drain(); });
    return exitCode;
}

void DrawBench() {
    tarvo::CurvePlot plot;
    plot.SetArea({0, 0, 1002, 350});
    for (int channel = 1; channel <= 4; ++channel) {
        plot.At(channel).coefficient = 1.0;
        for (int i = 0; i < 2048; ++i) {
            plot.AddPoint(channel, 1000.0 * std::sin(i * 0.01 * channel) + channel * 37.0);
        }
    }
    plot.Zoom(-1);
    plot.Recompute();
    QImage image(1002, 350, QImage::Format_RGB32);
    QImage background(1002, 350, QImage::Format_RGB32);
    tarvo::CurvePlotPainter::RenderBackground(plot, background);
    const int frames = 200;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < frames; ++i) {
        tarvo::CurvePlotPainter::Render(plot, image, &background);
    }
    double perFrame = timer.nsecsElapsed() / 1e6 / frames;
    std::printf(
        "drawing four curves of 2048 points into the plot's image: %.2f ms a frame "
        "(goal under 5 ms)\n",
        perFrame);

    timer.restart();
    size_t segments = 0;
    for (int i = 0; i < frames; ++i) {
        for (int channel = 1; channel <= 4; ++channel) {
            segments += plot.Polylines(channel).size();
        }
    }
    std::printf("  of which laying out the polylines: %.2f ms (%zu pieces)\n",
                timer.nsecsElapsed() / 1e6 / frames, segments / frames);

    tarvo::CurvePlotView view(plot, nullptr);
    view.resize(1002, 350);
    view.show();
    view.Flush();
    int renders = view.RenderCount();
    plot.SetCursors(0, 2);
    timer.restart();
    for (int i = 0; i < frames; ++i) {
        plot.SetCursors(1, 100 + i);
        view.OverlayChanged();
        view.grab();
    }
    std::printf("moving a cursor: %.3f ms a repaint, %d curve renders in %d moves\n",
                timer.nsecsElapsed() / 1e6 / frames, view.RenderCount() - renders, frames);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    DrawBench();
    std::string folder =
        fs::temp_directory_path() / ("tarvo-scope-bench-" + std::to_string(getpid()));
    fs::create_directories(folder + "/sys");
    fs::create_directories(folder + "/dev");
    fs::create_symlink(TARVO_STAGE_FOLDER "/data", folder + "/data");
    fs::current_path(folder);
    int exitCode = UploadBench(folder);
    fs::current_path(fs::temp_directory_path());
    fs::remove_all(folder);
    return exitCode;
}
