#include "drivesim/DriveSimulator.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <vector>

#include "dictionary/DictionarySource.h"
#include "dictionary/EdsReader.h"
#include "protocol/DriveObjects.h"

namespace tarvo::sim {

namespace {

constexpr uint64_t kIdleWakeUs = 20000;  // the model moves on at least this often

std::string Resolve(const std::string& folder, const std::string& path) {
    if (path.empty() || path[0] == '/' || folder.empty()) {
        return path;
    }
    return (std::filesystem::path(folder) / path).string();
}

}  // namespace

DriveSimulator::DriveSimulator(DriveSimOptions options, std::ostream& out, std::ostream& err)
    : options_(std::move(options)), out_(out), err_(err), start_(std::chrono::steady_clock::now()) {
    wake_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

DriveSimulator::~DriveSimulator() {
    pty_.reset();
    bus_.reset();
    socketCan_.reset();
    if (wake_ >= 0) {
        ::close(wake_);
    }
}

uint64_t DriveSimulator::NowUs() const {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                     std::chrono::steady_clock::now() - start_)
                                     .count());
}

const std::string& DriveSimulator::PortPath() const {
    static const std::string kNone;
    return pty_ ? pty_->PortPath() : kNone;
}

std::string DriveSimulator::BusPath() const {
    return bus_ ? bus_->Path() : std::string();
}

bool DriveSimulator::LoadEds(std::vector<SourceEntry>& entries, std::string& error) {
    EdsReader::Options options;
    options.nodeId = options_.node;
    EdsContents contents;
    if (!EdsReader::Load(options_.eds, options, contents, error)) {
        error = "cannot serve the EDS: " + error;
        return false;
    }
    // What the drive cannot serve is told once, at start, whether or not --quiet is given.
    for (const std::string& line : contents.leftOut) {
        err_ << "eds: not served: " << line << '\n';
    }
    for (const std::string& line : contents.notes) {
        err_ << "eds: " << line << '\n';
    }
    entries = std::move(contents.entries);
    return true;
}

bool DriveSimulator::Start(const std::string& defaultSource, std::string& error) {
    std::string folder = options_.folder;
    if (folder.empty()) {
        std::error_code code;
        folder = std::filesystem::current_path(code).string();
    }
    std::string source = options_.source.empty() ? defaultSource : options_.source;
    std::vector<SourceEntry> entries;
    if (!options_.eds.empty()) {
        if (!LoadEds(entries, error)) {
            return false;
        }
    } else if (!DictionarySource::Load(source, entries, error)) {
        error = "cannot read the dictionary source: " + error +
                (options_.source.empty() ? " (give one with --source FILE)" : "");
        return false;
    }
    DriveModel::Settings settings;
    settings.storeBusyMs = options_.storeBusyMs;
    settings.rebootSilenceMs = options_.rebootSilenceMs;
    settings.seed = options_.seed;
    settings.changingInputs = options_.changingInputs;
    settings.storeFile = Resolve(folder, options_.storeFile);
    settings.limitAbortsTellSide = !options_.eds.empty();
    model_ = std::make_unique<DriveModel>(std::move(entries), settings);
    if (!options_.quiet) {
        model_->SetLog([this](const std::string& line) { err_ << "drive: " << line << '\n'; });
    }
    if (!model_->Start(error)) {
        return false;
    }
    drive_ = std::make_unique<SimulatedDrive>(*model_);
    uint8_t node = static_cast<uint8_t>(options_.node);
    if (options_.pty) {
        pty_ = std::make_unique<PtyTransport>(*drive_, node, options_.faults);
        if (!pty_->Open(folder, options_.link, error)) {
            return false;
        }
        out_ << "port " << pty_->PortPath() << '\n';
        if (!pty_->LinkPath().empty()) {
            out_ << "link " << pty_->LinkPath() << '\n';
        }
    }
    if (options_.canSim) {
        busNode_ = std::make_unique<CanDriveNode>(*drive_, node, options_.faults);
        bus_ = std::make_unique<SimBusServer>(*busNode_, options_.canBitRate, options_.canPaced);
        if (!bus_->Open(Resolve(folder, options_.canSimPath), error)) {
            return false;
        }
        out_ << "bus " << bus_->Path() << '\n';
    }
    if (!options_.socketCan.empty()) {
        socketCanNode_ = std::make_unique<CanDriveNode>(*drive_, node, options_.faults);
        socketCan_ = std::make_unique<SocketCanTransport>(*socketCanNode_);
        if (!socketCan_->Open(options_.socketCan, error)) {
            return false;
        }
        out_ << "socketcan " << options_.socketCan << '\n';
    }
    out_ << "ready" << std::endl;
    consoleOpen_ = options_.console;
    return true;
}

void DriveSimulator::Stop() {
    uint64_t one = 1;
    if (wake_ >= 0) {
        [[maybe_unused]] ssize_t ignored = ::write(wake_, &one, sizeof one);
    }
}

bool DriveSimulator::AnyOpen() const {
    return (pty_ && !pty_->Closed()) || (bus_ && !bus_->Closed()) ||
           (socketCan_ && !socketCan_->Closed());
}

void DriveSimulator::Command(const std::string& line) {
    std::istringstream words(line);
    std::string word;
    words >> word;
    if (word.empty()) {
        return;
    }
    if (word == "error") {
        int bit = -1;
        std::string persist;
        words >> bit >> persist;
        if (bit < 0 || bit > 31) {
            out_ << "error BIT [persist]: BIT is 0-31" << std::endl;
            return;
        }
        model_->InjectError(bit, persist == "persist");
        out_ << "error " << bit << " raised" << std::endl;
    } else if (word == "clear") {
        model_->ClearInjectedErrors();
        out_ << "injected errors go with the next fault reset" << std::endl;
    } else if (word == "pin") {
        int n = 0;
        std::string level;
        words >> n >> level;
        if (n < 1 || n > 8 || (level != "0" && level != "1" && level != "auto")) {
            out_ << "pin N 0|1|auto: N is 1-8" << std::endl;
            return;
        }
        model_->SetInputPin(n, level == "auto" ? -1 : level == "1" ? 1 : 0);
        out_ << "DIN" << n << " " << level << std::endl;
    } else if (word == "status") {
        model_->AdvanceTo(NowUs());
        char text[96];
        std::snprintf(
            text, sizeof text, "statusword %04X, errors %04X%04X, position %lld, velocity %lld",
            static_cast<unsigned>(ObjectTable::Value(model_->Find(DriveObject::kStatusWord))),
            static_cast<unsigned>(ObjectTable::Value(model_->Find(DriveObject::kErrorStateHigh))),
            static_cast<unsigned>(ObjectTable::Value(model_->Find(DriveObject::kErrorStateLow))),
            static_cast<long long>(
                ObjectTable::Value(model_->Find(DriveObject::kPositionActualValue))),
            static_cast<long long>(
                ObjectTable::Value(model_->Find(DriveObject::kVelocityActualValue))));
        out_ << text << std::endl;
    } else if (word == "record") {
        // The capture's record as it would be uploaded, for checking what a client decoded.
        model_->AdvanceTo(NowUs());
        std::string bytes;
        if (model_->ReadBlock(CaptureObject::Address(CaptureObject::Sub::SampleData), bytes) != 0) {
            out_ << "record busy" << std::endl;
            return;
        }
        std::string hex;
        static const char kDigits[] = "0123456789ABCDEF";
        for (unsigned char byte : bytes) {
            hex += kDigits[byte >> 4];
            hex += kDigits[byte & 0x0F];
        }
        out_ << "record " << bytes.size() << " " << hex << std::endl;
    } else if (word == "quit") {
        stopping_ = true;
    } else {
        out_ << "commands: error BIT [persist], clear, pin N 0|1|auto, status, record, quit"
             << std::endl;
    }
}

void DriveSimulator::ReadConsole() {
    char buffer[256];
    ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (count <= 0) {
        if (count == 0 || (errno != EINTR && errno != EAGAIN)) {
            consoleOpen_ = false;  // no more commands; the drive goes on
        }
        return;
    }
    consoleLine_.append(buffer, static_cast<size_t>(count));
    size_t end;
    while ((end = consoleLine_.find('\n')) != std::string::npos) {
        Command(consoleLine_.substr(0, end));
        consoleLine_.erase(0, end + 1);
    }
    if (consoleLine_.size() > 1024) {
        consoleLine_.clear();
    }
}

int DriveSimulator::Run() {
    // Line-rate emulation wakes every byte time (87 us at 115200 baud); the default timer
    // slack of 50 us would stretch each of those waits.
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    std::vector<pollfd> fds;
    std::vector<int> busFds;
    while (!stopping_) {
        uint64_t now = NowUs();
        model_->AdvanceTo(now);
        if (pty_) {
            pty_->Flush(now);
        }
        if (bus_) {
            bus_->Flush(now);
        }
        if (socketCan_) {
            socketCan_->Flush(now);
        }
        if (!AnyOpen()) {
            if (!options_.quiet) {
                err_ << "drive: every port is closed; the simulator ends\n";
            }
            return 0;
        }
        int64_t next = static_cast<int64_t>(now + kIdleWakeUs);
        for (int64_t due : {pty_ && !pty_->Closed() ? pty_->NextDueUs() : -1,
                            bus_ && !bus_->Closed() ? bus_->NextDueUs() : -1,
                            socketCan_ && !socketCan_->Closed() ? socketCan_->NextDueUs() : -1}) {
            if (due >= 0) {
                next = std::min(next, due);
            }
        }
        int64_t waitUs = std::max<int64_t>(0, next - static_cast<int64_t>(now));

        fds.clear();
        fds.push_back({wake_, POLLIN, 0});
        if (consoleOpen_) {
            fds.push_back({STDIN_FILENO, POLLIN, 0});
        }
        if (pty_ && !pty_->Closed()) {
            fds.push_back({pty_->Fd(), POLLIN, 0});
        }
        busFds.clear();
        if (bus_) {
            bus_->Descriptors(busFds);
        }
        for (int fd : busFds) {
            fds.push_back({fd, POLLIN, 0});
        }
        if (socketCan_ && !socketCan_->Closed()) {
            fds.push_back({socketCan_->Fd(), POLLIN, 0});
        }
        timespec timeout{static_cast<time_t>(waitUs / 1000000),
                         static_cast<long>((waitUs % 1000000) * 1000)};
        int ready = ::ppoll(fds.data(), fds.size(), &timeout, nullptr);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            err_ << "drive: poll failed: " << std::strerror(errno) << '\n';
            return 1;
        }
        if (ready == 0) {
            continue;
        }
        now = NowUs();
        for (const pollfd& entry : fds) {
            if (entry.revents == 0) {
                continue;
            }
            if (entry.fd == wake_) {
                stopping_ = true;
            } else if (entry.fd == STDIN_FILENO && consoleOpen_) {
                ReadConsole();
            } else if (pty_ && entry.fd == pty_->Fd()) {
                pty_->OnReadable(now);
            } else if (socketCan_ && entry.fd == socketCan_->Fd()) {
                socketCan_->OnReadable(now);
            } else if (bus_) {
                bus_->OnReadable(entry.fd, now);
            }
        }
    }
    return 0;
}

}  // namespace tarvo::sim
