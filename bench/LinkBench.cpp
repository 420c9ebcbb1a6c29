// Exchanges per second through the control link and the serial library over a
// pseudo-terminal: (a) with a peer that answers at once, the tool's own overhead; (b) with
// a peer that takes as long as a 115200 baud line needs for the request and the reply.
// Prints figures; asserts nothing.
#include <sys/prctl.h>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "ControlLink.h"
#include "MessageBox.h"
#include "MessageTarget.h"
#include "PtyPeer.h"
#include "QueuedMessageSender.h"

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
            link_.Request(this, 0x40, 0x606400, 0);
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
    auto coarse = deadline - std::chrono::microseconds(80);
    if (Clock::now() < coarse) {
        auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(coarse.time_since_epoch());
        timespec until{static_cast<time_t>(ns.count() / 1000000000),
                       static_cast<long>(ns.count() % 1000000000)};
        ::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr);
    }
    while (Clock::now() < deadline) {
    }
}

// Runs reads through the link for `duration`; returns exchanges per second.
double Measure(tarvo::test::PtyPeer& peer, std::chrono::microseconds lineTime,
               std::chrono::seconds duration, long& failures) {
    peer.Serve([lineTime, first = true](const Bytes& request) mutable {
        if (first) {
            ::prctl(PR_SET_TIMERSLACK, 1);
            first = false;
        }
        if (lineTime.count() > 0) {
            WaitUntil(Clock::now() + lineTime);
        }
        return std::vector<Bytes>{tarvo::test::ReplyTo(request, 0x43, 1)};
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
        return 0;
    }
    link.SetNodeId(1);
    switches.connectionState = 1;

    // A short warm-up, then the measured run.
    link.Request(&reader, 0x40, 0x606400, 0);
    auto warm = Clock::now() + std::chrono::milliseconds(200);
    while (Clock::now() < warm) {
        sender.Drain(std::chrono::milliseconds(5));
    }
    long startValues = reader.values;
    auto start = Clock::now();
    auto end = start + duration;
    while (Clock::now() < end) {
        sender.Drain(std::chrono::milliseconds(5));
    }
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    long exchanges = reader.values - startValues;
    link.Shutdown([&sender] { sender.Drain(std::chrono::milliseconds(1)); });
    peer.StopServing();
    failures = failed.count;
    return exchanges / seconds;
}

}  // namespace

int main(int argc, char** argv) {
    int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    long failures = 0;
    {
        tarvo::test::PtyPeer peer;
        double rate =
            Measure(peer, std::chrono::microseconds(0), std::chrono::seconds(seconds), failures);
        std::printf("(a) peer answers at once:   %8.0f exchanges/s  (goal >= 10000)  %s\n", rate,
                    rate >= 10000 ? "met" : "NOT met");
        if (failures != 0) {
            std::printf("    %ld failed exchanges\n", failures);
        }
    }
    {
        tarvo::test::PtyPeer peer;
        auto lineTime =
            std::chrono::microseconds(static_cast<long>(kLineSecondsPerExchange * 1e6 + 0.5));
        double limit = 1.0 / kLineSecondsPerExchange;
        double rate = Measure(peer, lineTime, std::chrono::seconds(seconds), failures);
        std::printf(
            "(b) 115200 baud line:       %8.0f exchanges/s  line limit %.0f/s  ratio %.3f "
            "(goal >= 0.95)  %s\n",
            rate, limit, rate / limit, rate / limit >= 0.95 ? "met" : "NOT met");
        if (failures != 0) {
            std::printf("    %ld failed exchanges\n", failures);
        }
    }
    return 0;
}
