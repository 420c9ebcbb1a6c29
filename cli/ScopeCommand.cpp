#include "cli/ScopeCommand.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <deque>
#include <iostream>
#include <map>
#include <optional>
#include <thread>

#include "cli/ArgumentText.h"
#include "platform/AtomicFile.h"
#include "cli/ConsoleMessageBox.h"
#include "oscilloscope/DriverOscilloModel.h"
#include "dictionary/FormulaEvaluator.h"
#include "comm/LinkRequest.h"
#include "comm/LinkSwitches.h"
#include "dictionary/ObjectDictionary.h"
#include "oscilloscope/ScopeExport.h"
#include "oscilloscope/ScopeLink.h"
#include "oscilloscope/ScopeRecordFile.h"
#include "oscilloscope/ScopeUnits.h"
#include "platform/Timer.h"
#include "dictionary/UnitTable.h"

namespace tarvo {

namespace {

constexpr const char* kUsage =
    "usage: tarvoctl CONNECTION scope --channel N=ENTRY [--channel N=ENTRY ...]\n"
    "           [--trigger ENTRY|manual] [--level VALUE] [--edge 0|1] [--period N]\n"
    "           [--pretrigger N] [--total N] [--record FILE.txt] [--csv FILE.csv] [--wait S]\n"
    "  N is the channel 1-4; --period in units of 62.5 us; --level a raw decimal value;\n"
    "  --wait: seconds to wait for the capture (default 60)\n";

struct ScopeArguments {
    std::map<int, uint32_t> channels;  // channel -> entry key
    std::optional<uint32_t> trigger;   // 0: manual
    std::optional<std::string> level;
    std::optional<int> edge;
    std::optional<std::string> period;
    std::optional<std::string> pretrigger;
    std::optional<std::string> total;
    std::string recordFile;
    std::string csvFile;
    uint32_t waitSeconds = 60;
};

bool Fail(const std::string& text) {
    std::cerr << "tarvoctl: " << text << '\n' << kUsage;
    return false;
}

bool Parse(const std::vector<std::string>& args, ScopeArguments& out) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        if (i + 1 >= args.size()) {
            return Fail(option + " needs a value");
        }
        const std::string& value = args[++i];
        uint32_t number = 0;
        if (option == "--channel") {
            size_t equals = value.find('=');
            uint32_t channel = 0;
            uint32_t key = 0;
            if (equals == std::string::npos ||
                !ArgumentText::ParseUnsigned(value.substr(0, equals), channel) || channel < 1 ||
                channel > 4 || !ArgumentText::ParseAddress(value.substr(equals + 1), key)) {
                return Fail("--channel takes N=INDEX:SUB with N from 1 to 4, e.g. 1=606C:00");
            }
            out.channels[static_cast<int>(channel)] = key;
        } else if (option == "--trigger") {
            uint32_t key = 0;
            if (value != "manual" && !ArgumentText::ParseAddress(value, key)) {
                return Fail("--trigger takes INDEX:SUB or manual");
            }
            out.trigger = key;
        } else if (option == "--level") {
            if (!ArgumentText::ParseValue(value, 32, number)) {
                return Fail("--level takes a decimal value");
            }
            out.level = value;
        } else if (option == "--edge") {
            if (value != "0" && value != "1") {
                return Fail("--edge takes 0 or 1");
            }
            out.edge = value == "1" ? 1 : 0;
        } else if (option == "--period" || option == "--pretrigger" || option == "--total") {
            if (!ArgumentText::ParseUnsigned(value, number) || number > 0xFFFF) {
                return Fail(option + " takes a number from 0 to 65535");
            }
            (option == "--period"       ? out.period
             : option == "--pretrigger" ? out.pretrigger
                                        : out.total) = value;
        } else if (option == "--record") {
            out.recordFile = value;
        } else if (option == "--csv") {
            out.csvFile = value;
        } else if (option == "--wait") {
            if (!ArgumentText::ParseUnsigned(value, out.waitSeconds) || out.waitSeconds == 0) {
                return Fail("--wait takes a number of seconds");
            }
        } else {
            return Fail("unknown option " + option);
        }
    }
    if (out.channels.empty()) {
        return Fail("name at least one channel");
    }
    return true;
}

// The oscilloscope's requests, served one after the other over the command's connection.
class QueuedScopeLink : public ScopeLink {
public:
    int Request(MessageTarget* window, SdoCommand command, uint32_t address,
                uint32_t data) override {
        queue.push_back({window, address, data, command});
        return 0;
    }
    DriveSegment Segment() override { return segment; }
    bool DeferredQueueEmpty() override { return true; }

    std::deque<LinkRequest> queue;
    DriveSegment segment;
};

// Serves every queued request and the poll timer until nothing is left: 0, or the exit
// code of a failed exchange (2) or of a capture that did not end in time (2).
int Serve(DriveConnection& drive, QueuedScopeLink& link, DriverOscilloModel& model,
          ManualTimer& poll, std::chrono::steady_clock::time_point deadline,
          std::map<uint32_t, uint32_t>& refusals) {
    for (;;) {
        if (!link.queue.empty()) {
            LinkRequest request = link.queue.front();
            link.queue.pop_front();
            DriveConnection::Reply reply;
            int code = drive.Exchange(request.command, request.address, request.data, reply);
            if (code == 3) {
                refusals[request.address] = reply.abortCode;
                model.onMessage(WM_LINK_ABORT, reply.abortCode, request.address);
            } else if (code != 0) {
                return code;
            } else if (reply.message == WM_LINK_SEGMENT) {
                link.segment = reply.segment;
                model.onMessage(WM_LINK_SEGMENT, reply.value, request.address);
            } else {
                model.onMessage(WM_LINK_VALUE, reply.value, request.address);
            }
            continue;
        }
        if (!poll.IsActive()) {
            return ExitCode::Done;
        }
        if (std::chrono::steady_clock::now() + poll.Interval() > deadline) {
            std::cerr << "tarvoctl: the drive did not complete the capture in time\n";
            return ExitCode::NoAnswer;
        }
        std::this_thread::sleep_for(poll.Interval());
        poll.Fire();
    }
}

}  // namespace

int ScopeCommand::Run(const std::vector<std::string>& args, const ConnectionOptions& options,
                      const std::string& programFolder) {
    ScopeArguments wanted;
    if (!Parse(args, wanted)) {
        return ExitCode::BadInput;
    }
    ConsoleMessageBox box;
    ObjectDictionary dictionary;
    if (!dictionary.LoadFile(programFolder + "/data/tarvo.dat", 2, &box)) {
        return ExitCode::BadInput;
    }
    QueuedScopeLink link;
    std::atomic<MessageTarget*> mainWindow{nullptr};
    FormulaEvaluator evaluator(link, mainWindow, &box);
    UnitTable unitTable(&box);
    ScopeUnits units(dictionary, unitTable, evaluator);
    LinkSwitches switches;
    ManualTimer poll;
    ManualTimer restart;
    DriverOscilloModel model({dictionary, units, link, switches, box, poll, restart});
    std::map<uint32_t, uint32_t> refusals;

    DriveConnection drive(options, programFolder);
    int code = drive.Open();
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(wanted.waitSeconds);
    auto serve = [&] { return Serve(drive, link, model, poll, deadline, refusals); };
    model.Create(programFolder + "/sys/Oscilloscope.ini");
    if (code == 0) {
        code = serve();
    }
    // Channels as asked; the others are switched off.
    for (int channel = 1; channel <= 4 && code == 0; ++channel) {
        auto it = wanted.channels.find(channel);
        if (it != wanted.channels.end()) {
            model.BeginPick(channel);
            model.onMessage(WM_OBJECT_PICKED, 0, static_cast<intptr_t>(it->second));
            link.queue.clear();  // the pick's own apply follows the box; apply it checked
            const ScopeItem* picked = model.lists().ChannelAt(
                channel, model.form().channels[static_cast<size_t>(channel - 1)].item);
            if (picked == nullptr || ScopeItemCode::Address(picked->code) != it->second) {
                char key[16];
                std::snprintf(key, sizeof key, "%04X:%02X", it->second >> 8, it->second & 0xFF);
                std::cerr << "tarvoctl: " << key
                          << " cannot be sampled: it is not a 16- or 32-bit entry of the "
                             "dictionary\n";
                return drive.Close(ExitCode::BadInput);
            }
            model.ClickChannel(channel, true);
        } else if (model.form().channels[static_cast<size_t>(channel - 1)].checked) {
            model.ClickChannel(channel, false);
        }
        code = serve();
    }
    if (code == 0 && wanted.trigger) {
        if (*wanted.trigger == 0) {
            model.SelectTrigger(0);
        } else {
            model.BeginPick(0);
            model.onMessage(WM_OBJECT_PICKED, 0, static_cast<intptr_t>(*wanted.trigger));
        }
        code = serve();
    }
    if (code == 0 && wanted.level) {
        model.EnterTriggerLevel(*wanted.level);
        code = serve();
    }
    if (code == 0 && wanted.edge && model.form().edge != *wanted.edge) {
        model.ToggleEdge();
        code = serve();
    }
    if (code == 0 && wanted.period) {
        model.EnterPeriod(*wanted.period);
        code = serve();
    }
    if (code == 0 && wanted.pretrigger) {
        model.EnterPretrigger(*wanted.pretrigger);
        code = serve();
    }
    if (code == 0 && wanted.total) {
        model.EnterTotal(*wanted.total);
        code = serve();
    }
    if (code == 0 && !refusals.empty()) {
        for (auto [address, abortCode] : refusals) {
            std::cerr << "tarvoctl: " << DriveConnection::AbortMessage(address, abortCode) << '\n';
        }
        return drive.Close(ExitCode::Refused);
    }
    if (code == 0) {
        model.StartOrCancel();
        code = serve();
    }
    if (code == 0 && !refusals.empty()) {
        for (auto [address, abortCode] : refusals) {
            std::cerr << "tarvoctl: " << DriveConnection::AbortMessage(address, abortCode) << '\n';
        }
        code = 3;
    }
    if (code != 0) {
        return drive.Close(code);
    }
    // Complete means: every sample of the record the drive announced, decoded.
    const CurvePlot& plot = model.plot();
    size_t expected = static_cast<size_t>(std::max(model.form().total, 0));
    size_t bytes = expected * model.Layout().BytesPerRecord();
    if (expected == 0 || static_cast<size_t>(plot.RecordCount()) != expected ||
        model.run().UploadedBytes() != bytes) {
        std::cerr << "tarvoctl: the record is incomplete: " << model.run().UploadedBytes() << " of "
                  << bytes << " bytes, " << plot.RecordCount() << " of " << expected
                  << " samples\n";
        return drive.Close(ExitCode::NoAnswer);
    }
    if (!wanted.recordFile.empty()) {
        std::string error = ScopeRecordFile::Write(wanted.recordFile, model.MakeRecord());
        if (!error.empty()) {
            std::cerr << "tarvoctl: " << error << '\n';
            return drive.Close(ExitCode::BadInput);
        }
    }
    if (!wanted.csvFile.empty()) {
        std::string error =
            AtomicFile::Write(wanted.csvFile, ScopeExport::SampleTable(plot.Records()));
        if (!error.empty()) {
            std::cerr << "tarvoctl: " << error << '\n';
            return drive.Close(ExitCode::BadInput);
        }
    }
    std::cout << "captured " << expected << " samples (" << bytes << " bytes) of channel";
    const char* separator = wanted.channels.size() > 1 ? "s " : " ";
    for (auto [channel, key] : wanted.channels) {
        std::cout << separator << channel;
        separator = ", ";
    }
    std::cout << ", " << model.form().periodText << " apart\n";
    return drive.Close(ExitCode::Done);
}

}  // namespace tarvo
