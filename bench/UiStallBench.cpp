// Responsiveness of the user-interface thread: the time from process start to the first
// painted main window, then, with the simulated drive connected and its status word polled,
// the longest lateness of a 10 ms timer on the user-interface thread. With --panels, three
// parameter panels (Basic Operation, Position Loop, Velocity Loop) are open and monitored
// while it measures; with --trend, a trend of eight signals.
//
//   ui_stall_bench [SECONDS] [--panels] [--trend] [--can] [--silent | --stop-after N]
//                  [--actions]
//
// --can talks over the simulated CAN bus instead of RS232. --silent runs a drive that
// never answers (every request dropped), --stop-after N one that stops answering after N
// exchanges. --actions (on by default with --silent and --stop-after) plays a user who,
// every 300 ms, does what the toolbar and the connection forms do on the user-interface
// thread: the connect button, the forms' node ID and the CAN form's version query; the
// longest of those calls is reported beside the timer's lateness.

#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "app/LanguageSettlement.h"
#include "app/SharedState.h"
#include "app/views/MainFrame.h"
#include "app/views/QtMessageBox.h"
#include "app/views/QtMessageSender.h"
#include "app/views/TrendViewFactory.h"
#include "comm/CanBitRates.h"
#include "comm/ControlLink.h"
#include "platform/AppSettings.h"
#include "resources/ResourceSet.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// How long this process has been running, from its start time in /proc (10 ms steps).
double SecondsSinceProcessStart() {
    std::ifstream stat("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    size_t close = text.rfind(')');
    if (close == std::string::npos) {
        return -1.0;
    }
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    // Field 22 (starttime) is the 20th after the command name.
    for (int i = 3; i <= 22 && fields >> field; ++i) {
    }
    timespec boot{};
    ::clock_gettime(CLOCK_BOOTTIME, &boot);
    double started = std::stod(field) / static_cast<double>(::sysconf(_SC_CLK_TCK));
    return boot.tv_sec + boot.tv_nsec / 1e9 - started;
}

// Notes the end of the first paint of the main window: a zero timer queued by the first
// paint event fires once that painting pass is done.
class FirstPaint : public QObject {
public:
    explicit FirstPaint(QWidget* window) : window_(window) {
        QCoreApplication::instance()->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!seen_ && event->type() == QEvent::Paint) {
            auto* widget = qobject_cast<QWidget*>(watched);
            if (widget != nullptr && widget->window() == window_) {
                seen_ = true;
                QTimer::singleShot(0, this, [this] {
                    painted = Clock::now();
                    processSeconds = SecondsSinceProcessStart();
                    done = true;
                });
            }
        }
        return false;
    }
    bool done = false;
    Clock::time_point painted;
    double processSeconds = 0.0;

private:
    QWidget* window_;
    bool seen_ = false;
};

bool WaitFor(const std::function<bool()>& condition, int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > milliseconds) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const Clock::time_point mainEntered = Clock::now();
    const double processAtMain = SecondsSinceProcessStart();
    int seconds = 30;
    bool withPanels = false;
    bool withTrend = false;
    bool overCan = false;
    bool silent = false;
    long stopAfter = 0;
    bool actions = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--panels") {
            withPanels = true;
        } else if (arg == "--trend") {
            withTrend = true;
        } else if (arg == "--can") {
            overCan = true;
        } else if (arg == "--silent") {
            silent = actions = true;
        } else if (arg == "--stop-after" && i + 1 < argc) {
            stopAfter = std::max(1L, std::atol(argv[++i]));
            actions = true;
        } else if (arg == "--actions") {
            actions = true;
        } else if (!arg.empty() && arg[0] != '-') {
            seconds = std::max(1, std::atoi(arg.c_str()));
        } else {
            std::fprintf(stderr,
                         "usage: ui_stall_bench [SECONDS] [--panels] [--trend] [--can] "
                         "[--silent | --stop-after N] [--actions]\n");
            return 1;
        }
    }
    const uint32_t canCode = tarvo::CanBitRates::CodeOfEntry(1);  // 500 kbit/s

    QTemporaryDir folder;
    QDir root(folder.path());
    root.mkpath("sys");
    root.mkpath("dev");
    QFile::link(QStringLiteral(TARVO_STAGE_FOLDER "/data"), root.filePath("data"));
    {
        tarvo::AppSettings settings(root.filePath("sys/sys.ini").toStdString());
        settings.SetInterfaceMode(overCan ? tarvo::kModeCan : tarvo::kModeRs232);
        settings.SetSerial("ttySIM0", "115200");
        settings.SetSerialNodeId(1);
        settings.SetCanBitRateCode(canCode);
        settings.SetCanNodeId(1);
    }
    if (overCan) {
        QFile canIni(root.filePath("sys/can.ini"));
        if (!canIni.open(QIODevice::WriteOnly) ||
            canIni.write("[can]\r\nbackend=sim\r\nsocket=dev/cansim0\r\n") < 0) {
            std::fprintf(stderr, "ui_stall_bench: cannot write sys/can.ini\n");
            return 1;
        }
    }
    // The shipped panel definitions.
    QDir shipped(QStringLiteral(TARVO_STAGE_FOLDER "/sys"));
    for (const QString& name : shipped.entryList({QStringLiteral("*.ini")}, QDir::Files)) {
        if (name != QStringLiteral("sys.ini")) {
            QFile::copy(shipped.filePath(name), root.filePath(QStringLiteral("sys/") + name));
        }
    }
    // The program folder is the current directory, as for the program.
    QDir::setCurrent(folder.path());

    // Start-up as main() does it, in English.
    QApplication application(argc, argv);
    const Clock::time_point applicationBuilt = Clock::now();
    tarvo::QtMessageBox messageBox(QStringLiteral("TarvoStep"));
    messageBox.SetRecordOnly(true);
    tarvo::QtMessageSender sender;
    tarvo::SharedState state({"", false, &messageBox, &sender});
    tarvo::LanguageSettlement::StartHooks hooks;
    hooks.loadEnglishResources = [&] {
        return tarvo::ResourceSet::LoadEnglish(QString::fromStdString(state.englishLibraryPath));
    };
    if (tarvo::LanguageSettlement::SettleAtStart(state, hooks) !=
        tarvo::LanguageSettlement::Outcome::English) {
        std::fprintf(stderr, "ui_stall_bench: the English set did not load\n");
        return 1;
    }
    tarvo::ResourceSet resources(tarvo::ResourceSet::Language::English);
    QScreen* screen = application.primaryScreen();
    tarvo::LanguageSettlement::ApplyColumnSettings(
        state, screen ? static_cast<int>(screen->logicalDotsPerInch()) : 96);
    tarvo::MainFrame mainFrame(state, resources);
    FirstPaint firstPaint(&mainFrame);
    mainFrame.show();
    state.switches.mainFrameWindow = &mainFrame;
    if (!WaitFor([&] { return firstPaint.done; }, 10000)) {
        std::fprintf(stderr, "ui_stall_bench: the main window was never painted\n");
        return 1;
    }

    // The simulated drive, then the connection from the toolbar.
    QProcess drive;
    drive.setProgram(QStringLiteral(TARVO_STAGE_FOLDER "/tarvo-drivesim"));
    QStringList driveArguments = {"--folder", folder.path(),  "--node",
                                  "1",        "--no-console", "--quiet"};
    driveArguments += overCan ? QStringList{"--can-sim", "--can-bitrate", "500000"}
                              : QStringList{"--link", "ttySIM0"};
    if (silent) {
        driveArguments += {"--drop-every", "1"};
    } else if (stopAfter > 0) {
        driveArguments += {"--stop-after", QString::number(stopAfter)};
    }
    drive.setArguments(driveArguments);
    drive.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    drive.start();
    QByteArray driveOutput;
    if (!WaitFor(
            [&] {
                driveOutput += drive.readAllStandardOutput();
                return driveOutput.contains("ready\n");
            },
            10000)) {
        std::fprintf(stderr, "ui_stall_bench: the simulated drive did not start\n");
        return 1;
    }
    std::atomic<long> exchanges{0};
    state.link.SetExchangeObserver([&exchanges](const tarvo::DriveExchange&) { ++exchanges; });
    mainFrame.Dispatch(1128);
    // A silent drive never confirms the connection; the open itself is what counts then.
    if (!WaitFor(
            [&] {
                return silent
                           ? state.switches.connectionState.load() == tarvo::ConnectionState::Open
                           : mainFrame.StatusText().startsWith("Comm Status: Open");
            },
            15000)) {
        std::fprintf(stderr, "ui_stall_bench: no connection (%s)\n",
                     qPrintable(messageBox.Shown().join(" | ")));
        return 1;
    }
    const long exchangesAtConnect = exchanges.load();

    if (withPanels) {
        for (uint32_t command : {1227u, 1215u, 1217u}) {
            mainFrame.ShowView(command);
        }
    }
    // A trend of eight signals read by the same monitor walk.
    if (withTrend) {
        for (uint32_t key : {0x606C00u, 0x604100u, 0x606300u, 0x607800u, 0x606400u, 0x60FF00u,
                             0x607A00u, 0x608100u}) {
            tarvo::TrendViewFactory::AddToTrend(mainFrame, key);
        }
    }

    // The 10 ms timer that records its own lateness.
    long ticks = 0;
    Clock::duration longest{0};
    Clock::duration longestAt{0};
    // The user-interface thread's own processor time over the longest interval, and how often
    // it was switched out then: taken away from the processor (the machine is busy) or
    // waiting of its own accord (blocked on something).
    auto threadCpu = [] {
        timespec t{};
        ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
    };
    auto previousCpu = threadCpu();
    std::chrono::nanoseconds longestCpu{0};
    auto switches = [] {
        rusage usage{};
        ::getrusage(RUSAGE_THREAD, &usage);
        return std::pair<long, long>(usage.ru_nivcsw, usage.ru_nvcsw);
    };
    auto previousSwitches = switches();
    std::pair<long, long> longestSwitches{0, 0};
    Clock::duration total{0};
    Clock::time_point previous = Clock::now();
    const Clock::time_point measureStart = previous;
    const long exchangesAtStart = exchanges.load();
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(10);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        Clock::time_point now = Clock::now();
        Clock::duration late = now - previous - std::chrono::milliseconds(10);
        previous = now;
        ++ticks;
        total += std::max(late, Clock::duration::zero());
        auto cpu = threadCpu();
        auto busy = cpu - previousCpu;
        previousCpu = cpu;
        auto switched = switches();
        std::pair<long, long> during{switched.first - previousSwitches.first,
                                     switched.second - previousSwitches.second};
        previousSwitches = switched;
        if (late > longest) {
            longest = late;
            longestAt = now - measureStart;
            longestCpu = busy;
            longestSwitches = during;
        }
    });
    probe.start();

    // The user: the toolbar's connect button, then what every settings form's connect button
    // does first (the node ID), then the CAN form's version query, in turn.
    long actionCount = 0;
    Clock::duration longestAction{0};
    const char* longestActionName = "none";
    QTimer user;
    user.setInterval(300);
    QObject::connect(&user, &QTimer::timeout, [&] {
        static const char* const kNames[] = {"connect button", "node ID", "version query"};
        const int which = static_cast<int>(actionCount % (overCan ? 3 : 2));
        Clock::time_point begin = Clock::now();
        if (which == 0) {
            mainFrame.Dispatch(1128);
        } else if (which == 1) {
            state.link.SetNodeId(1);
        } else {
            char text[256] = {};
            state.link.ReadVersion(text);
        }
        Clock::duration took = Clock::now() - begin;
        ++actionCount;
        if (took > longestAction) {
            longestAction = took;
            longestActionName = kNames[which];
        }
    });
    if (actions) {
        user.start();
    }
    QTimer::singleShot(seconds * 1000, Qt::PreciseTimer, &application, &QApplication::quit);
    application.exec();
    probe.stop();
    user.stop();
    double measured = Seconds(Clock::now() - measureStart);
    long polled = exchanges.load() - exchangesAtStart;
    bool stillConnected = state.switches.connectionState.load() == tarvo::ConnectionState::Open;

    mainFrame.close();
    sender.Abandon();
    state.link.Shutdown([] {});
    drive.terminate();
    drive.waitForFinished(2000);

    double longestMs = Seconds(longest) * 1000.0;
    double startupFromProcess = firstPaint.processSeconds;
    double startupFromApplication = Seconds(firstPaint.painted - applicationBuilt);
    std::printf("platform                       %s\n", qPrintable(application.platformName()));
    std::printf("drive                          %s over %s, %s\n",
                silent          ? "silent"
                : stopAfter > 0 ? "stops answering"
                                : "answering",
                overCan ? "simulated CAN" : "RS232 (pty)",
                stopAfter > 0 ? qPrintable(QStringLiteral("after %1 exchanges (%2 before the run)")
                                               .arg(stopAfter)
                                               .arg(exchangesAtConnect))
                              : "throughout");
    std::printf(
        "measured                       %.1f s, %ld ticks of 10 ms, %ld exchanges "
        "(%.0f/s), connection %s%s\n",
        measured, ticks, polled, polled / measured, stillConnected ? "open" : "closed",
        withPanels ? ", three panels open" : "");
    if (withTrend) {
        std::printf("trend                          eight signals plotted\n");
    }
    if (actions) {
        std::printf("user actions                   %ld, longest %.1f ms (%s)\n", actionCount,
                    Seconds(longestAction) * 1000.0, longestActionName);
    }
    std::printf("longest timer lateness         %.1f ms   (goal < 50 ms) %s, %.1f s into the run\n",
                longestMs, longestMs < 50.0 ? "ok" : "MISSED", Seconds(longestAt));
    std::printf(
        "  the thread in that tick      %.1f ms of processor time in %.1f ms; switched out %ld "
        "times taken off, %ld times waiting\n",
        std::chrono::duration<double, std::milli>(longestCpu).count(), longestMs + 10.0,
        longestSwitches.first, longestSwitches.second);
    std::printf("mean timer lateness            %.2f ms\n",
                ticks > 0 ? Seconds(total) * 1000.0 / ticks : 0.0);
    std::printf("process start -> painted       %.3f s    (goal < 0.5 s) %s\n", startupFromProcess,
                startupFromProcess < 0.5 ? "ok" : "MISSED");
    std::printf("  of which before main()       %.3f s\n", processAtMain);
    std::printf("QApplication -> painted        %.3f s\n", startupFromApplication);
    std::printf("main() -> painted              %.3f s\n",
                Seconds(firstPaint.painted - mainEntered));
    return 0;
}
