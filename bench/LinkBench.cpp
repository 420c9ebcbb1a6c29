// Exchanges per second through the control link and the serial library over a
// pseudo-terminal: (a) with a peer that answers at once, the tool's own overhead; (b) with
// a peer that takes as long as a 115200 baud line needs for the request and the reply.
// Prints figures; asserts nothing.
#include <sys/prctl.h>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "comm/ControlLink.h"
#include "platform/MessageBox.h"
#include "platform/MessageTarget.h"
#include "platform/QueuedMessageSender.h"
#include "protocol/DriveObjects.h"
#include "protocol/ReplyMatcher.h"
#include "tests/serialport/PtyPeer.h"

using Clock = std::chrono::steady_clock;
using tarvo::test::Bytes;

namespace {

constexpr double kLineRate = 115200.0;
// Request and reply: 20 bytes of 10 bits each on the line.
constexpr double kLineSecondsPerExchange = 20 * 10 / kLineRate;

// Keeps one read in flight: each value queues the next read, as a list panel does.
class Reader : public tarvo::MessageTarget {
public:
    explicit Reader(tarvo::ControlLink& link) : link_(link) {}
    intptr_t onMessage(uint32_t message, uintptr_t, intptr_t) override {
        if (message == tarvo::WM_LINK_VALUE) {
            ++values;
            link_.Request(this, tarvo::SdoCommand::Read, tarvo::DriveObject::kPositionActualValue,
                          0);
        }
        return 0;
    }
    long values = 0;

private:
    tarvo::ControlLink& link_;
};

class Failures : public tarvo::MessageTarget {
public:
    intptr_t onMessage(uint32_t, uintptr_t, intptr_t) override {
        ++count;
        return 0;
    }
    long count = 0;
};

// Waits until `deadline` with a precision of a few microseconds.
void WaitUntil(Clock::time_point deadline) {
    auto coarse = deadline - std::chrono::microseconds(300);
    if (Clock::now() < coarse) {
        auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(coarse.time_since_epoch());
        timespec until{static_cast<time_t>(ns.count() / 1000000000),
                       static_cast<long>(ns.count() % 1000000000)};
        ::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr);
    }
    while (Clock::now() < deadline) {
    }
}

double ProcessCpuSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

struct Figures {
    double exchangesPerSecond = 0;
    double cpuMicrosPerExchange = 0;  // every thread of the process, the peer's included
    long failures = 0;
};

// Runs reads through the link for `duration`.
Figures Measure(tarvo::test::PtyPeer& peer, std::chrono::microseconds lineTime,
                std::chrono::seconds duration) {
    peer.Serve([lineTime, first = true](const Bytes& request) mutable {
        if (first) {
            ::prctl(PR_SET_TIMERSLACK, 1);
            first = false;
        }
        if (lineTime.count() > 0) {
            WaitUntil(Clock::now() + lineTime);
        }
        return std::vector<Bytes>{
            tarvo::test::ReplyTo(request, tarvo::ToByte(tarvo::SdoReplyCommand::Value32), 1)};
    });

    tarvo::LinkSwitches switches;
    switches.cyclicReadEnabled = 0;
    tarvo::QueuedMessageSender sender;
    tarvo::RecordingMessageBox box;
    tarvo::ControlLink link({switches, sender, box, TARVO_STAGE_FOLDER, nullptr});
    Reader reader(link);
    Failures failed;
    switches.mainFrameWindow = &failed;
    CommSettings settings{};
    for (size_t i = 0; i < peer.PortName().size(); ++i) {
        settings.portName[i] = static_cast<uint8_t>(peer.PortName()[i]);
    }
    settings.nodeId = 1;
    settings.rate = 115200;
    settings.replyTimeoutMs = 500;
    if (link.Load(2) != 1 || link.Open(&settings) != 0) {
        std::fprintf(stderr, "link_bench: cannot open %s through %s/data/libCOM.so\n",
                     peer.PortName().c_str(), TARVO_STAGE_FOLDER);
        return {};
    }
    link.SetNodeId(1);
    switches.connectionState = tarvo::ConnectionState::Open;

    // A short warm-up, then the measured run.
    link.Request(&reader, tarvo::SdoCommand::Read, tarvo::DriveObject::kPositionActualValue, 0);
    auto warm = Clock::now() + std::chrono::milliseconds(200);
    while (Clock::now() < warm) {
        sender.Drain(std::chrono::milliseconds(5));
    }
    long startValues = reader.values;
    double startCpu = ProcessCpuSeconds();
    auto start = Clock::now();
    auto end = start + duration;
    while (Clock::now() < end) {
        sender.Drain(std::chrono::milliseconds(5));
    }
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    double cpu = ProcessCpuSeconds() - startCpu;
    long exchanges = reader.values - startValues;
    link.Shutdown([&sender] { sender.Drain(std::chrono::milliseconds(1)); });
    peer.StopServing();
    Figures figures;
    figures.exchangesPerSecond = exchanges / seconds;
    figures.cpuMicrosPerExchange = exchanges > 0 ? cpu * 1e6 / exchanges : 0;
    figures.failures = failed.count;
    return figures;
}

// The matching that every exchange adds: a reply checked against its request, and a reply
// found behind three stray bytes. Nanoseconds per reply.
std::pair<double, double> MatchingNanos() {
    const Bytes request =
        tarvo::test::DriveFrame(1, tarvo::ToByte(tarvo::SdoCommand::Read),
                                tarvo::IndexOf(tarvo::DriveObject::kPositionActualValue), 0, 0);
    Bytes line = {0xA5, 0x5A, 0xC3};
    Bytes reply =
        tarvo::test::ReplyTo(request, tarvo::ToByte(tarvo::SdoReplyCommand::Value32), 12345);
    line.insert(line.end(), reply.begin(), reply.end());
    constexpr long kRounds = 2000000;
    long found = 0;
    auto start = Clock::now();
    for (long i = 0; i < kRounds; ++i) {
        asm volatile("" : : "r"(reply.data()) : "memory");  // read the reply afresh
        found += tarvo::ReplyMatcher::MatchesFrame(request.data(), reply.data()) ? 1 : 0;
    }
    double direct = std::chrono::duration<double, std::nano>(Clock::now() - start).count();
    start = Clock::now();
    for (long i = 0; i < kRounds; ++i) {
        asm volatile("" : : "r"(line.data()) : "memory");
        for (size_t at = 0; at + 10 <= line.size(); ++at) {
            if (tarvo::ReplyMatcher::MatchesFrame(request.data(), line.data() + at)) {
                ++found;
                break;
            }
        }
    }
    double behindStray = std::chrono::duration<double, std::nano>(Clock::now() - start).count();
    if (found == 0) {
        std::printf("(no reply matched)\n");
    }
    return {direct / kRounds, behindStray / kRounds};
}

}  // namespace

int main(int argc, char** argv) {
    int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    {
        tarvo::test::PtyPeer peer;
        Figures a = Measure(peer, std::chrono::microseconds(0), std::chrono::seconds(seconds));
        std::printf(
            "(a) peer answers at once:  %7.0f exchanges/s  (goal >= 10000: %s); "
            "%.1f us CPU per exchange\n",
            a.exchangesPerSecond, a.exchangesPerSecond >= 10000 ? "met" : "NOT met",
            a.cpuMicrosPerExchange);
        if (a.failures != 0) {
            std::printf("    %ld failed exchanges\n", a.failures);
        }
    }
    {
        tarvo::test::PtyPeer peer;
        auto lineTime =
            std::chrono::microseconds(static_cast<long>(kLineSecondsPerExchange * 1e6 + 0.5));
        double limit = 1.0 / kLineSecondsPerExchange;
        Figures b = Measure(peer, lineTime, std::chrono::seconds(seconds));
        double ratio = b.exchangesPerSecond / limit;
        std::printf(
            "(b) 115200 baud line:      %7.0f exchanges/s  line limit %.0f/s, ratio %.3f "
            "(goal >= 0.95: %s)\n",
            b.exchangesPerSecond, limit, ratio, ratio >= 0.95 ? "met" : "NOT met");
        if (b.failures != 0) {
            std::printf("    %ld failed exchanges\n", b.failures);
        }
    }
    {
        auto [direct, behindStray] = MatchingNanos();
        std::printf("(c) reply matching:        %.1f ns a reply, %.1f ns behind 3 stray bytes\n",
                    direct, behindStray);
    }
    double load[1] = {0};
    if (::getloadavg(load, 1) == 1) {
        std::printf("machine load average during the run: %.2f\n", load[0]);
    }
    return 0;
}
