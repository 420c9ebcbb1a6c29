#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "cli/ConnectionOptions.h"
#include "cli/ExchangeTrace.h"
#include "cli/ExitCode.h"
#include "comm/DriveMessage.h"

namespace tarvo {

class LinkRequester;
struct LinkSwitches;

// One connection to one drive for the length of a command, over the control link as the
// program uses it (serial port or CAN bus, node, reply timeout, trace).
//
//     DriveConnection drive(options, programFolder);
//     int code = drive.Open();
//     DriveConnection::Reply reply;
//     if (code == ExitCode::Done) code = drive.Exchange(SdoCommand::Read, 0x604100, 0, reply);
//     return drive.Close(code);
//
// Every int result is a process exit code (ExitCode). BadInput and NoAnswer have been
// reported on standard error when the call returns; for Refused the abort code is handed
// back and the command reports it (AbortMessage), so that it can also print it as JSON. A
// refused write is Refused although the link reads the entry back after it.
class DriveConnection {
public:
    struct Reply {
        uint32_t message = 0;  // WM_LINK_VALUE or WM_LINK_SEGMENT
        uint32_t value = 0;
        DriveSegment segment;    // for WM_LINK_SEGMENT
        uint32_t abortCode = 0;  // when the result is Refused
    };

    DriveConnection(const ConnectionOptions& options, const std::string& programFolder);
    ~DriveConnection();
    DriveConnection(const DriveConnection&) = delete;
    DriveConnection& operator=(const DriveConnection&) = delete;

    // Loads the serial or CAN library and opens the port or bus.
    int Open();
    // One request and its reply. A refused write is Refused with the drive's abort code,
    // although the link goes on to read the entry's value (which panels show).
    int Exchange(SdoCommand command, uint32_t address, uint32_t data, Reply& reply);
    // Reads of many entries, each queued from the handler of the reply before it so that
    // the link never idles between them. `replies` gets one reply per address, `results`
    // Done or Refused each; the result is Done, or NoAnswer when the drive stopped answering.
    int ReadMany(const std::vector<uint32_t>& addresses, std::vector<Reply>& replies,
                 std::vector<int>& results);
    // The segmented upload of a text, cut at its first zero byte.
    int Upload(uint32_t address, std::string& text, uint32_t& abortCode);
    // What a node said to the probe of a bus scan.
    struct NodeAnswer {
        bool present = false;  // it answered, with a value or a refusal
        bool refused = false;
        uint32_t value = 0;  // the value read; the abort code when refused
    };
    // A bus scan: the read of `address` goes to every node of `nodes` back to back, and the
    // replies are collected within one reply timeout; `answers` gets one per node. False
    // when the CAN library cannot scan a bus (the caller asks node by node); `code` is Done,
    // or NoAnswer (reported) when the bus failed.
    bool ProbeNodes(const std::vector<uint32_t>& nodes, uint32_t address,
                    std::vector<NodeAnswer>& answers, int& code);
    // Later requests go to another node (a bus scan).
    void SetNode(uint32_t node);
    // A scan asks each node once and says nothing of nodes that stay silent.
    void SetProbing(bool probing);

    // Ends the link and writes the trace; returns `exitCode`, or 1 when it was 0 and the
    // trace could not be written. Called by the destructor when not called before.
    int Close(int exitCode);

    const ConnectionOptions& options() const { return options_; }

    // "6081:00: the drive refused: abort 0x06090030 (Invalid value for parameter)".
    static std::string AbortMessage(uint32_t address, uint32_t abortCode);

    // For commands that keep requests of their own windows going (the transfer commands):
    // the link, its switches, and a loop that delivers the link's messages, calling `tick`
    // after each round, until `done` holds. False when the drive stopped answering (the
    // link reported a failed exchange, or a request was never served).
    LinkRequester& Requester();
    LinkSwitches& Switches();
    bool Deliver(const std::function<bool()>& done, const std::function<void()>& tick);

private:
    struct Link;
    ConnectionOptions options_;
    std::string programFolder_;
    void Observe(const DriveExchange& exchange);

    ExchangeTrace trace_;  // written by the link's worker only, read after it has ended
    // The abort the drive gave to the write in flight; the worker sets it before it
    // delivers the outcome, which the main thread waits for.
    std::mutex abortMutex_;
    uint32_t writeAddress_ = 0;
    std::optional<uint32_t> writeAbort_;
    std::unique_ptr<Link> link_;
    bool closed_ = false;
    bool probing_ = false;
    std::chrono::steady_clock::time_point deadline_;
};

}  // namespace tarvo
