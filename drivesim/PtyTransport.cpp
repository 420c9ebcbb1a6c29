#include "drivesim/PtyTransport.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace tarvo::sim {

namespace {

constexpr uint64_t kCloseGraceUs = 2000000;
constexpr uint64_t kSettleUs = 20000;

}  // namespace

PtyTransport::PtyTransport(SimulatedDrive& drive, uint8_t node, const FaultSettings& faults)
    : drive_(drive), node_(node), faults_(faults), framer_(node), line_(faults) {}

PtyTransport::~PtyTransport() {
    Close();
}

bool PtyTransport::ValidLinkName(const std::string& name) {
    if (name.empty() || name.size() > 7 || name == "." || name == "..") {
        return false;
    }
    for (char c : name) {
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.')) {
            return false;
        }
    }
    return true;
}

bool PtyTransport::Open(const std::string& programFolder, const std::string& linkName,
                        std::string& error) {
    if (!linkName.empty() && !ValidLinkName(linkName)) {
        error = "--link " + linkName +
                ": a link name is a plain device name of at most 7 characters (such as ttySIM0)";
        return false;
    }
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
        Close();
        return false;
    }
    char name[128];
    if (::ptsname_r(master_, name, sizeof name) != 0) {
        error = std::string("cannot name the pseudo-terminal: ") + std::strerror(errno);
        Close();
        return false;
    }
    portPath_ = name;
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ >= 0) {
        // Raw from the start: no echo, no line editing, every byte passes unchanged.
        termios settings{};
        if (::tcgetattr(slave_, &settings) == 0) {
            ::cfmakeraw(&settings);
            ::tcsetattr(slave_, TCSANOW, &settings);
        }
    }
    if (!linkName.empty()) {
        std::error_code code;
        std::filesystem::path folder = std::filesystem::path(programFolder) / "dev";
        std::filesystem::create_directories(folder, code);
        std::filesystem::path link = folder / linkName;
        if (std::filesystem::is_symlink(std::filesystem::symlink_status(link, code))) {
            std::filesystem::remove(link, code);
        } else if (std::filesystem::exists(std::filesystem::symlink_status(link, code))) {
            error = link.string() + " exists and is not a link; not replaced";
            Close();
            return false;
        }
        std::filesystem::create_symlink(portPath_, link, code);
        if (code) {
            error = "cannot link " + link.string() + " to " + portPath_ + ": " + code.message();
            Close();
            return false;
        }
        linkPath_ = link.string();
    }
    return true;
}

void PtyTransport::Close() {
    if (!linkPath_.empty()) {
        // Only our own link goes; another simulator may have taken the name meanwhile.
        std::error_code code;
        if (std::filesystem::read_symlink(linkPath_, code) == portPath_) {
            std::filesystem::remove(linkPath_, code);
        }
        linkPath_.clear();
    }
    if (slave_ >= 0) {
        ::close(slave_);
        slave_ = -1;
    }
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
}

void PtyTransport::OnReadable(uint64_t nowUs) {
    if (master_ < 0) {
        return;
    }
    uint8_t buffer[512];
    std::vector<SerialFramer::Frame> frames;
    for (;;) {
        ssize_t count = ::read(master_, buffer, sizeof buffer);
        if (count > 0) {
            framer_.Feed(buffer, static_cast<size_t>(count), nowUs, frames);
            continue;
        }
        if (count < 0 && errno == EINTR) {
            continue;
        }
        break;  // EAGAIN: all read; EIO: nobody on the other side right now
    }
    for (const SerialFramer::Frame& frame : frames) {
        if (closePending_) {
            break;
        }
        SdoReply reply;
        if (!drive_.Exchange(SerialFramer::Decode(frame), nowUs, reply)) {
            continue;  // rebooting: silent
        }
        FaultPlan::Decision decision = faults_.Next();
        SerialFramer::Frame answer = SerialFramer::Encode(node_, reply);
        line_.Schedule(nowUs, frame, decision.answer ? &answer : nullptr, decision);
        closePending_ = decision.closeAfter;
    }
}

void PtyTransport::Flush(uint64_t nowUs) {
    if (master_ < 0) {
        return;
    }
    line_.TakeDue(nowUs, unwritten_);
    while (!unwritten_.empty()) {
        ssize_t count = ::write(master_, unwritten_.data(), unwritten_.size());
        if (count > 0) {
            unwritten_.erase(unwritten_.begin(), unwritten_.begin() + count);
        } else if (count < 0 && errno == EINTR) {
            continue;
        } else {
            break;  // the terminal's buffer is full: the rest goes out later
        }
    }
    if (closePending_ && line_.Idle() && unwritten_.empty()) {
        // Closing the master drops what the terminal still holds: the last reply is read
        // first (or given up on after a while), as it was on the wire before the cable went.
        // The terminal takes written bytes in a moment later, so an empty queue only counts
        // once that moment has passed.
        if (closeByUs_ == 0) {
            closeByUs_ = nowUs + kCloseGraceUs;
            drainedFromUs_ = nowUs + kSettleUs;
        }
        int pending = 0;
        bool drained = slave_ < 0 || ::ioctl(slave_, FIONREAD, &pending) != 0 || pending == 0;
        if ((drained && nowUs >= drainedFromUs_) || nowUs >= closeByUs_) {
            Close();
        }
        nextCloseCheckUs_ = nowUs + 1000;
    }
}

int64_t PtyTransport::NextDueUs() const {
    int64_t due = line_.NextDueUs();
    if (closePending_ && master_ >= 0 && due < 0) {
        return static_cast<int64_t>(nextCloseCheckUs_);
    }
    return due;
}

}  // namespace tarvo::sim
