#include "cli/WatchCommand.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#include <thread>

#include "cli/ArgumentText.h"
#include "cli/EntryLookup.h"
#include "cli/EntryValue.h"
#include "cli/ExitCode.h"
#include "cli/WatchOutput.h"
#include "comm/LinkRequester.h"
#include "platform/MessageTarget.h"

namespace tarvo {

namespace {

constexpr const char* kUsage =
    "usage: tarvoctl CONNECTION watch ENTRY... [--interval MS] [--count N | --for DURATION]\n"
    "                [--csv [FILE]] [--json]\n";
constexpr uint32_t kLongestInterval = 3600000;

// Set by SIGINT and SIGTERM; the poll loop ends after its row.
std::atomic<int> stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);

void OnStopSignal(int signal) {
    stopSignal.store(signal);
}

// Catches SIGINT and SIGTERM for the length of a watch, and puts the old handlers back.
class StopSignals {
public:
    StopSignals() {
        stopSignal.store(0);
        struct sigaction action {};
        action.sa_handler = OnStopSignal;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &oldInterrupt_);
        sigaction(SIGTERM, &action, &oldTerminate_);
    }
    ~StopSignals() {
        sigaction(SIGINT, &oldInterrupt_, nullptr);
        sigaction(SIGTERM, &oldTerminate_, nullptr);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;
    static bool Raised() { return stopSignal.load() != 0; }

private:
    struct sigaction oldInterrupt_ {};
    struct sigaction oldTerminate_ {};
};

struct WatchOptions {
    std::vector<std::string> entries;
    uint32_t intervalMs = 100;
    std::optional<uint32_t> count;
    std::optional<double> seconds;
    bool csv = false;
    std::string csvFile;  // empty: CSV on standard output
    bool json = false;
};

bool ParseArguments(const std::vector<std::string>& args, WatchOptions& options) {
    auto value = [&](size_t& i) -> const std::string* {
        if (i + 1 >= args.size()) {
            std::cerr << "tarvoctl: " << args[i] << " needs a value\n";
            return nullptr;
        }
        return &args[++i];
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const std::string* text = nullptr;
        if (arg == "--json") {
            options.json = true;
        } else if (arg == "--csv") {
            options.csv = true;
            if (i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0) {
                options.csvFile = args[++i];
            }
        } else if (arg == "--interval") {
            uint32_t ms = 0;
            if ((text = value(i)) == nullptr) {
                return false;
            }
            if (!ArgumentText::ParseUnsigned(*text, ms) || ms > kLongestInterval) {
                std::cerr << "tarvoctl: --interval takes milliseconds from 0 to "
                          << kLongestInterval << ", not " << *text << '\n';
                return false;
            }
            options.intervalMs = ms;
        } else if (arg == "--count") {
            uint32_t count = 0;
            if ((text = value(i)) == nullptr) {
                return false;
            }
            if (!ArgumentText::ParseUnsigned(*text, count) || count == 0) {
                std::cerr << "tarvoctl: --count takes a number of rows from 1, not " << *text
                          << '\n';
                return false;
            }
            options.count = count;
        } else if (arg == "--for") {
            double seconds = 0;
            if ((text = value(i)) == nullptr) {
                return false;
            }
            if (!ArgumentText::ParseDuration(*text, seconds)) {
                std::cerr << "tarvoctl: --for takes a duration such as 90, 90s, 500ms, 5m or "
                             "2h, not "
                          << *text << '\n';
                return false;
            }
            options.seconds = seconds;
        } else if (arg.rfind("--", 0) == 0) {
            std::cerr << "tarvoctl: watch does not take " << arg << '\n';
            return false;
        } else {
            options.entries.push_back(arg);
        }
    }
    if (options.entries.empty()) {
        std::cerr << kUsage << kConnectionUsage;
        return false;
    }
    if (options.count && options.seconds) {
        std::cerr << "tarvoctl: watch takes --count N or --for DURATION, not both\n";
        return false;
    }
    if (options.json && options.csv && options.csvFile.empty()) {
        std::cerr << "tarvoctl: standard output takes --json or --csv, not both (--csv FILE "
                     "logs to a file)\n";
        return false;
    }
    return true;
}

// The window of the watch's reads: each answer queues the read of the next entry, so the
// link never idles inside a row.
class RowReader : public MessageTarget {
public:
    struct Sample {
        uint32_t value = 0;
        std::optional<uint32_t> abortCode;
    };

    RowReader(LinkRequester& link, std::vector<uint32_t> addresses)
        : link_(link), addresses_(std::move(addresses)), samples_(addresses_.size()) {}

    void Start() {
        next_ = 0;
        samples_.assign(addresses_.size(), Sample{});
        link_.Request(this, SdoCommand::Read, addresses_[0], 0);
    }
    bool Complete() const { return next_ >= addresses_.size(); }
    const std::vector<Sample>& Samples() const { return samples_; }
    std::chrono::steady_clock::time_point FirstArrival() const { return firstArrival_; }

    intptr_t onMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
        if (Complete() || static_cast<uint32_t>(lParam) != addresses_[next_]) {
            return 0;
        }
        if (message == WM_LINK_ABORT) {
            samples_[next_].abortCode = static_cast<uint32_t>(wParam);
        } else if (message == WM_LINK_VALUE) {
            samples_[next_].value = static_cast<uint32_t>(wParam);
        } else {
            return 0;
        }
        if (next_ == 0) {
            firstArrival_ = std::chrono::steady_clock::now();
        }
        if (++next_ < addresses_.size()) {
            link_.Request(this, SdoCommand::Read, addresses_[next_], 0);
        }
        return 0;
    }

private:
    LinkRequester& link_;
    std::vector<uint32_t> addresses_;
    std::vector<Sample> samples_;
    size_t next_ = 0;
    std::chrono::steady_clock::time_point firstArrival_;
};

// Waits until `due`, or less when a stop signal arrives.
void WaitUntil(std::chrono::steady_clock::time_point due) {
    while (!StopSignals::Raised()) {
        auto now = std::chrono::steady_clock::now();
        if (now >= due) {
            return;
        }
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
            due - now, std::chrono::milliseconds(50)));
    }
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

int WatchCommand::Run(const std::vector<std::string>& args, const ConnectionOptions& options,
                      const std::string& programFolder) {
    WatchOptions watch;
    if (!ParseArguments(args, watch)) {
        return ExitCode::BadInput;
    }
    EntryLookup lookup(programFolder);
    if (!lookup.Usable()) {
        return ExitCode::BadInput;
    }
    std::vector<DictionaryEntry> entries(watch.entries.size());
    std::vector<WatchOutput::Column> columns;
    std::vector<uint32_t> addresses;
    for (size_t i = 0; i < watch.entries.size(); ++i) {
        if (!lookup.Find(watch.entries[i], entries[i])) {
            return ExitCode::BadInput;
        }
        if (entries[i].dataType == "VISIBLE STRING") {
            std::cerr << "tarvoctl: watch plots numbers; " << EntryLookup::KeyText(entries[i].key)
                      << " is a text (read it with upload)\n";
            return ExitCode::BadInput;
        }
        columns.push_back({EntryLookup::KeyText(entries[i].key), entries[i].name,
                           EntryValue::DefaultUnit(entries[i])});
        addresses.push_back(entries[i].key);
    }
    const bool terminal = ::isatty(STDOUT_FILENO) == 1;
    WatchOutput::Form screenForm = WatchOutput::Form::Csv;
    if (watch.json) {
        screenForm = WatchOutput::Form::Json;
    } else if (terminal && !(watch.csv && watch.csvFile.empty())) {
        screenForm = WatchOutput::Form::Table;
    }
    WatchOutput screen(screenForm, columns);
    WatchOutput csv(WatchOutput::Form::Csv, columns);
    // The log is written row by row as the rows arrive, so that a long test that ends in a
    // crash keeps its rows.
    std::unique_ptr<std::FILE, FileCloser> log;
    if (!watch.csvFile.empty()) {
        log.reset(std::fopen(watch.csvFile.c_str(), "w"));
        if (!log) {
            std::cerr << "tarvoctl: cannot write " << watch.csvFile << ": " << std::strerror(errno)
                      << '\n';
            return ExitCode::BadInput;
        }
    }
    bool logFailed = false;
    auto put = [&](const std::string& onScreen, const std::string& inLog) {
        std::fwrite(onScreen.data(), 1, onScreen.size(), stdout);
        std::fflush(stdout);
        if (log && (std::fwrite(inLog.data(), 1, inLog.size(), log.get()) != inLog.size() ||
                    std::fflush(log.get()) != 0)) {
            logFailed = true;
        }
    };

    DriveConnection drive(options, programFolder);
    int code = drive.Open();
    if (code != ExitCode::Done) {
        return drive.Close(code);
    }
    EntryValue values([&drive](uint32_t key) -> std::optional<int32_t> {
        DriveConnection::Reply reply;
        if (drive.Exchange(SdoCommand::Read, key, 0, reply) != ExitCode::Done) {
            return std::nullopt;
        }
        return static_cast<int32_t>(reply.value);
    });
    StopSignals signals;
    put(screen.Header(), csv.Header());
    RowReader reader(drive.Requester(), addresses);
    std::vector<bool> refusalShown(addresses.size(), false);
    int result = ExitCode::Done;
    const auto start = std::chrono::steady_clock::now();
    const auto interval = std::chrono::milliseconds(watch.intervalMs);
    auto due = start;
    std::optional<std::chrono::steady_clock::time_point> end;
    if (watch.seconds) {
        end = start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                          std::chrono::duration<double>(*watch.seconds));
    }
    for (uint64_t row = 0; !watch.count || row < *watch.count; ++row) {
        WaitUntil(due);
        if (StopSignals::Raised() || (end && std::chrono::steady_clock::now() >= *end)) {
            break;
        }
        reader.Start();
        if (!drive.Deliver([&] { return reader.Complete() || StopSignals::Raised(); }, nullptr)) {
            std::cerr << "tarvoctl: the drive does not answer; " << row << " rows written\n";
            result = ExitCode::NoAnswer;
            break;
        }
        if (!reader.Complete()) {
            break;  // stopped inside the row: it is left out whole
        }
        std::vector<WatchOutput::Cell> cells(addresses.size());
        for (size_t i = 0; i < addresses.size(); ++i) {
            const RowReader::Sample& sample = reader.Samples()[i];
            if (sample.abortCode) {
                cells[i].abortCode = *sample.abortCode;
                result = ExitCode::Refused;
                if (!refusalShown[i]) {
                    refusalShown[i] = true;
                    std::cerr << "tarvoctl: "
                              << DriveConnection::AbortMessage(addresses[i], *sample.abortCode)
                              << '\n';
                }
                continue;
            }
            std::string text;
            std::string error;
            if (!values.Show(entries[i], sample.value, columns[i].unit, text, error)) {
                std::cerr << "tarvoctl: " << columns[i].key << ": " << error << '\n';
                return drive.Close(ExitCode::BadInput);
            }
            cells[i].text = text;
            cells[i].raw = sample.value;
        }
        double time = std::chrono::duration<double>(reader.FirstArrival() - start).count();
        put(screen.Row(time, cells), csv.Row(time, cells));
        // A slow drive delays the next row instead of sending a burst to catch up.
        due = std::max(due + interval, std::chrono::steady_clock::now());
    }
    if (log && (std::fclose(log.release()) != 0 || logFailed)) {
        std::cerr << "tarvoctl: cannot write " << watch.csvFile << ": " << std::strerror(errno)
                  << '\n';
        return drive.Close(ExitCode::BadInput);
    }
    return drive.Close(result);
}

}  // namespace tarvo
