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
#include "cli/ConsoleMessageBox.h"
#include "cli/EntryLookup.h"
#include "comm/LinkRequest.h"
#include "comm/LinkSwitches.h"
#include "dictionary/FormulaEvaluator.h"
#include "dictionary/ObjectDictionary.h"
#include "dictionary/UnitTable.h"
#include "oscilloscope/CurvePlot.h"
#include "oscilloscope/ScopeCapture.h"
#include "oscilloscope/ScopeChannelSettings.h"
#include "oscilloscope/ScopeExport.h"
#include "oscilloscope/ScopeFormat.h"
#include "oscilloscope/ScopeItemLists.h"
#include "oscilloscope/ScopeLink.h"
#include "oscilloscope/ScopeRecordFile.h"
#include "oscilloscope/ScopeTriggerSettings.h"
#include "oscilloscope/ScopeUnits.h"
#include "platform/AtomicFile.h"
#include "platform/MessageTarget.h"
#include "platform/Timer.h"

namespace tarvo {

namespace {

constexpr const char* kUsage =
    "usage: tarvoctl CONNECTION scope --channel N=ENTRY [--channel N=ENTRY ...]\n"
    "           [--trigger ENTRY|manual] [--level VALUE] [--edge 0|1] [--period N]\n"
    "           [--pretrigger N] [--total N] [--record FILE.txt] [--csv FILE.csv]\n"
    "           [--table FILE.csv] [--wait S]\n"
    "  N is the channel 1-4; ENTRY a key (606C:00) or a dictionary name (Statusword);\n"
    "  --period in units of 62.5 us; --level a raw decimal value;\n"
    "  --table: a header line, the time in seconds and each channel's value;\n"
    "  --wait: seconds to wait for the capture (default 60)\n";

struct ScopeArguments {
    std::map<int, std::string> channels;  // channel -> entry, as typed
    std::optional<std::string> trigger;   // "manual" or an entry
    std::optional<std::string> level;
    std::optional<int> edge;
    std::optional<uint32_t> period;
    std::optional<uint32_t> pretrigger;
    std::optional<uint32_t> total;
    std::string recordFile;
    std::string csvFile;
    std::string tableFile;
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
            if (equals == std::string::npos ||
                !ArgumentText::ParseUnsigned(value.substr(0, equals), channel) || channel < 1 ||
                channel > 4 || equals + 1 == value.size()) {
                return Fail(
                    "--channel takes N=ENTRY with N from 1 to 4, e.g. 1=606C:00 or "
                    "1=Statusword");
            }
            out.channels[static_cast<int>(channel)] = value.substr(equals + 1);
        } else if (option == "--trigger") {
            out.trigger = value;
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
                                        : out.total) = number;
        } else if (option == "--record") {
            out.recordFile = value;
        } else if (option == "--csv") {
            out.csvFile = value;
        } else if (option == "--table") {
            out.tableFile = value;
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

// The capture with the channel and trigger settings it reports to, as the oscilloscope's
// view keeps them, so that the record file holds what the view would write after the same
// capture.
class CommandCapture : public MessageTarget {
public:
    CommandCapture(const ObjectDictionary& dictionary, ScopeUnits& units, ScopeLink& link,
                   LinkSwitches& switches, MessageBox& box, Timer& poll, Timer& restart,
                   Timer& watch)
        : lists(dictionary),
          capture({link, switches, box, poll, restart, watch, this},
                  {[this](ScopeCapture::Sub sub, uint32_t value) { Reported(sub, value); },
                   [this](ScopeCapture::Sub sub) { Refused(sub); }, nullptr,
                   [this] { return channels.Layout(); }, nullptr,
                   [this] {
                       capture.Samples().Plot(plot);
                       plot.Zoom(-1);
                       plot.Recompute();
                   },
                   [this](bool fresh, bool) {
                       if (fresh) {
                           plot.ResetView();
                       }
                       channels.PrepareCurves();
                   },
                   nullptr, nullptr, nullptr}),
          channels(channelForms, {lists, plot, units, this,
                                  [this](CaptureObject::Sub slot, uint32_t code) {
                                      capture.WriteSlot(slot, code);
                                  },
                                  [] {}}),
          trigger(triggerForm, {lists, units, this}) {}

    intptr_t onMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
        capture.Deliver(message, wParam, lParam);
        return 0;
    }

    // Samples `key` on `channel`; false when it is no 16- or 32-bit entry of the dictionary.
    bool Sample(int channel, uint32_t key) {
        if (!channels.Pick(channel, key)) {
            return false;
        }
        Switch(channel, true);
        return true;
    }
    void Switch(int channel, bool on) {
        if (channels.Click(channel, on)) {
            capture.ReadBackAfterReply(ScopeCapture::ReadBack::kSlotsAndTotal);
        }
    }
    // The trigger object, or 0 for the manual trigger; an object that cannot trigger is left.
    void Trigger(uint32_t key) {
        int position = key == 0 ? 0 : trigger.Pick(key);
        if (position < 0) {
            return;
        }
        const ScopeItem* item = lists.TriggerAt(position);
        // A newly chosen trigger object's level is read again in its unit.
        levelAfterTrigger_ = item != nullptr;
        capture.WriteTrigger(item != nullptr ? item->code : 0);
    }
    void Level(const std::string& text) {
        if (auto raw = trigger.LevelRaw(text)) {
            capture.WriteLevel(*raw);
        }
    }

    ScopeRecord Record() const {
        const ScopeCapture::Settings& drive = capture.Reported();
        ScopeRecord record;
        record.time = drive.samplePeriod;
        record.offset = drive.pretrigger;
        record.number = drive.total;
        trigger.ToRecord(record);
        channels.ToRecord(record.channels);
        record.samples = capture.Samples().Records();
        return record;
    }

    ScopeItemLists lists;
    CurvePlot plot;
    ScopeCapture capture;
    ScopeChannelSettings::Forms channelForms;
    ScopeChannelSettings channels;
    ScopeTriggerSettings::TriggerForm triggerForm;
    ScopeTriggerSettings trigger;
    std::string periodText = "0 us";

private:
    void Reported(ScopeCapture::Sub sub, uint32_t value) {
        using Sub = ScopeCapture::Sub;
        if (sub >= Sub::Slot1 && sub <= Sub::Slot6) {
            channels.SlotReported(static_cast<int>(sub), value);
        } else if (sub == Sub::SamplePeriod) {
            periodText = ScopePeriodText(static_cast<int32_t>(value), periodText);
        } else if (sub == Sub::TriggerSource) {
            trigger.SourceReported(value);
            if (levelAfterTrigger_) {
                levelAfterTrigger_ = false;
                capture.ReadLevel();
            }
        } else if (sub == Sub::TriggerLevel) {
            trigger.LevelReported(value);
        }
    }
    void Refused(ScopeCapture::Sub sub) {
        if (sub >= ScopeCapture::Sub::Slot1 && sub <= ScopeCapture::Sub::Slot6) {
            channels.SlotRefused(static_cast<int>(sub));
        } else if (sub == ScopeCapture::Sub::TriggerSource) {
            trigger.SourceRefused();
        }
    }

    bool levelAfterTrigger_ = false;
};

// Serves every queued request and the poll timer until nothing is left: 0, or the exit
// code of a failed exchange (2) or of a capture that did not end in time (2).
int Serve(DriveConnection& drive, QueuedScopeLink& link, MessageTarget& target, ManualTimer& poll,
          std::chrono::steady_clock::time_point deadline, std::map<uint32_t, uint32_t>& refusals) {
    for (;;) {
        if (!link.queue.empty()) {
            LinkRequest request = link.queue.front();
            link.queue.pop_front();
            DriveConnection::Reply reply;
            int code = drive.Exchange(request.command, request.address, request.data, reply);
            if (code == 3) {
                refusals[request.address] = reply.abortCode;
                target.onMessage(WM_LINK_ABORT, reply.abortCode, request.address);
            } else if (code != 0) {
                return code;
            } else if (reply.message == WM_LINK_SEGMENT) {
                link.segment = reply.segment;
                target.onMessage(WM_LINK_SEGMENT, reply.value, request.address);
            } else {
                target.onMessage(WM_LINK_VALUE, reply.value, request.address);
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

int ReportRefusals(const std::map<uint32_t, uint32_t>& refusals) {
    for (auto [address, abortCode] : refusals) {
        std::cerr << "tarvoctl: " << DriveConnection::AbortMessage(address, abortCode) << '\n';
    }
    return ExitCode::Refused;
}

}  // namespace

int ScopeCommand::Run(const std::vector<std::string>& args, const ConnectionOptions& options,
                      const std::string& programFolder) {
    ScopeArguments wanted;
    if (!Parse(args, wanted)) {
        return ExitCode::BadInput;
    }
    // Entries by key or by name, as every command takes them.
    EntryLookup lookup(programFolder);
    std::map<int, uint32_t> channelKeys;
    for (const auto& [channel, text] : wanted.channels) {
        DictionaryEntry entry;
        if (!lookup.Find(text, entry)) {
            return ExitCode::BadInput;
        }
        channelKeys[channel] = entry.key;
    }
    std::optional<uint32_t> triggerKey;
    if (wanted.trigger) {
        DictionaryEntry entry;
        if (*wanted.trigger != "manual" && !lookup.Find(*wanted.trigger, entry)) {
            return ExitCode::BadInput;
        }
        triggerKey = *wanted.trigger == "manual" ? 0 : entry.key;
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
    // The command serves its own requests one by one and ends on a failed exchange: the
    // capture's watch over the link has nothing to add.
    ManualTimer watch;
    switches.connectionState = ConnectionState::Open;
    CommandCapture scope(dictionary, units, link, switches, box, poll, restart, watch);
    ScopeCapture& capture = scope.capture;
    std::map<uint32_t, uint32_t> refusals;

    DriveConnection drive(options, programFolder);
    int code = drive.Open();
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(wanted.waitSeconds);
    auto serve = [&] { return Serve(drive, link, scope, poll, deadline, refusals); };
    scope.lists.Load(programFolder + "/sys/Oscilloscope.ini");
    capture.ReadSettings();
    if (code == 0) {
        code = serve();
    }
    // Channels as asked; the others are switched off.
    for (int channel = 1; channel <= 4 && code == 0; ++channel) {
        auto it = channelKeys.find(channel);
        if (it != channelKeys.end()) {
            if (!scope.Sample(channel, it->second)) {
                char key[16];
                std::snprintf(key, sizeof key, "%04X:%02X", it->second >> 8, it->second & 0xFF);
                std::cerr << "tarvoctl: " << key
                          << " cannot be sampled: it is not a 16- or 32-bit entry of the "
                             "dictionary\n";
                return drive.Close(ExitCode::BadInput);
            }
        } else if (scope.channels.At(channel).checked) {
            scope.Switch(channel, false);
        }
        code = serve();
    }
    if (code == 0 && triggerKey) {
        scope.Trigger(*triggerKey);
        code = serve();
    }
    if (code == 0 && wanted.level) {
        scope.Level(*wanted.level);
        code = serve();
    }
    if (code == 0 && wanted.edge && capture.Reported().edge != *wanted.edge) {
        capture.WriteEdge(*wanted.edge);
        code = serve();
    }
    if (code == 0 && wanted.period) {
        capture.WritePeriod(*wanted.period);
        code = serve();
    }
    if (code == 0 && wanted.pretrigger) {
        capture.WritePretrigger(*wanted.pretrigger);
        code = serve();
    }
    if (code == 0 && wanted.total) {
        capture.WriteTotal(*wanted.total);
        code = serve();
    }
    if (code == 0 && !refusals.empty()) {
        return drive.Close(ReportRefusals(refusals));
    }
    if (code == 0) {
        capture.Start();
        code = serve();
    }
    if (code == 0 && !refusals.empty()) {
        code = ReportRefusals(refusals);
    }
    if (code != 0) {
        return drive.Close(code);
    }
    // Complete means: every sample of the record the drive announced, decoded.
    size_t expected = static_cast<size_t>(std::max(capture.Reported().total, 0));
    size_t bytes = capture.ExpectedBytes();
    size_t uploaded = capture.run().UploadedBytes();
    if (expected == 0 || capture.DecodedRecords() != expected || uploaded != bytes) {
        std::cerr << "tarvoctl: the record is incomplete: " << uploaded << " of " << bytes
                  << " bytes, " << capture.DecodedRecords() << " of " << expected << " samples\n";
        return drive.Close(ExitCode::NoAnswer);
    }
    if (!wanted.recordFile.empty()) {
        std::string error = ScopeRecordFile::Write(wanted.recordFile, scope.Record());
        if (!error.empty()) {
            std::cerr << "tarvoctl: " << error << '\n';
            return drive.Close(ExitCode::BadInput);
        }
    }
    if (!wanted.csvFile.empty()) {
        std::string error = AtomicFile::Write(
            wanted.csvFile, ScopeExport::SampleTable(capture.Samples().Records()));
        if (!error.empty()) {
            std::cerr << "tarvoctl: " << error << '\n';
            return drive.Close(ExitCode::BadInput);
        }
    }
    if (!wanted.tableFile.empty()) {
        std::vector<TimeTableColumn> columns;
        for (const auto& [channel, key] : channelKeys) {
            columns.push_back(scope.channels.TableColumn(channel));
        }
        std::string error = AtomicFile::Write(
            wanted.tableFile, ScopeExport::TimeTable(capture.Samples().Records(),
                                                     capture.Reported().samplePeriod, columns));
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
    std::cout << ", " << scope.periodText << " apart\n";
    return drive.Close(ExitCode::Done);
}

}  // namespace tarvo
