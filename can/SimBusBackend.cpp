#include "can/SimBusBackend.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>

#include "can/SimBusWire.h"
#include "can/SocketWait.h"

namespace tarvo::canbus {

namespace {

constexpr int kWelcomeTimeoutMs = 10000;  // the simulator may be slow to get the processor

}  // namespace

std::string SimBusBackend::TraceName() const {
    std::string name = std::filesystem::path(path_).filename().string();
    return name.empty() ? "cansim" : name;
}

bool SimBusBackend::Probe(std::string& detail) {
    detail = "simulated bus " + path_;
    return true;
}

std::string SimBusBackend::Open(uint32_t, uint32_t bitsPerSecond) {
    Close();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path_.size() >= sizeof address.sun_path) {
        return "the simulated bus path " + path_ + " is too long for a local socket";
    }
    std::memcpy(address.sun_path, path_.c_str(), path_.size());
    socket_ = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (socket_ < 0) {
        return std::string("cannot make a local socket: ") + std::strerror(errno);
    }
    if (::connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        int error = errno;
        Close();
        return "no simulated drive serves the CAN bus at " + path_ + " (" + std::strerror(error) +
               "; start tarvo-drivesim --can-sim)";
    }
    SimBusRecord hello = SimBus::Control(SimBus::kHello, bitsPerSecond, SimBus::kProtocolVersion);
    if (::send(socket_, &hello, sizeof hello, MSG_NOSIGNAL) != static_cast<ssize_t>(sizeof hello)) {
        Close();
        return "the simulated bus at " + path_ + " closed the connection";
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWelcomeTimeoutMs);
    for (;;) {
        int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        deadline - std::chrono::steady_clock::now())
                                        .count());
        pollfd entry{socket_, POLLIN, 0};
        if (left <= 0 || ::poll(&entry, 1, left) <= 0) {
            Close();
            return "the simulated bus at " + path_ + " does not answer";
        }
        SimBusRecord record;
        ssize_t count = ::recv(socket_, &record, sizeof record, 0);
        if (count != static_cast<ssize_t>(sizeof record)) {
            Close();
            return "the simulated bus at " + path_ + " closed the connection";
        }
        if (record.kind != SimBus::kWelcome) {
            continue;
        }
        uint32_t busRate = SimBus::Word(record.data);
        uint32_t status = SimBus::Word(record.data + 4);
        if (status == SimBus::kWelcomeOk) {
            return {};
        }
        Close();
        if (status == SimBus::kWelcomeBitRateMismatch) {
            return "bit rate mismatch: the simulated bus runs at " + std::to_string(busRate) +
                   " bit/s, " + std::to_string(bitsPerSecond) + " bit/s was chosen";
        }
        return "the simulated bus at " + path_ + " speaks another protocol version";
    }
}

void SimBusBackend::Close() {
    if (socket_ >= 0) {
        ::close(socket_);
        socket_ = -1;
    }
}

std::string SimBusBackend::Send(const Frame& frame) {
    if (socket_ < 0) {
        return "the simulated bus is not open";
    }
    SimBusRecord record = SimBus::FromFrame(frame);
    if (::send(socket_, &record, sizeof record, MSG_NOSIGNAL) !=
        static_cast<ssize_t>(sizeof record)) {
        return "the simulated bus is gone: " + std::string(std::strerror(errno));
    }
    return {};
}

int SimBusBackend::Receive(Frame& frame, int timeoutMs, std::string& error) {
    if (socket_ < 0) {
        error = "the simulated bus is not open";
        return -1;
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (WaitReadable(socket_, deadline, wakeEvent_) == 0) {
            return 0;
        }
        SimBusRecord record;
        ssize_t count = ::recv(socket_, &record, sizeof record, MSG_DONTWAIT);
        if (count < 0 && (errno == EINTR || errno == EAGAIN)) {
            continue;
        }
        if (count <= 0) {
            error = "the simulated bus at " + path_ + " has closed";
            return -1;
        }
        if (count == static_cast<ssize_t>(sizeof record) && record.kind == SimBus::kFrame) {
            frame = SimBus::ToFrame(record);
            return 1;
        }
    }
}

}  // namespace tarvo::canbus
