#include "drivesim/SimBusServer.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace tarvo::sim {

namespace {

bool FillAddress(const std::string& path, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) {
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size());
    return true;
}

}  // namespace

SimBusServer::~SimBusServer() {
    Close();
}

bool SimBusServer::Open(const std::string& path, std::string& error) {
    sockaddr_un address;
    if (!FillAddress(path, address)) {
        error = "the bus socket path " + path + " is empty or longer than " +
                std::to_string(sizeof address.sun_path - 1) + " bytes";
        return false;
    }
    std::error_code code;
    std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (!parent.empty()) {
        std::filesystem::create_directories(parent, code);
    }
    if (std::filesystem::is_socket(std::filesystem::symlink_status(path, code))) {
        int probe = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        bool live = probe >= 0 &&
                    ::connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        if (probe >= 0) {
            ::close(probe);
        }
        if (live) {
            error = "another simulated drive serves the bus at " + path;
            return false;
        }
        std::filesystem::remove(path, code);
    }
    listener_ = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listener_ < 0 ||
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 16) != 0) {
        error = "cannot serve the bus at " + path + ": " + std::strerror(errno);
        if (listener_ >= 0) {
            ::close(listener_);
            listener_ = -1;
        }
        return false;
    }
    path_ = path;
    return true;
}

void SimBusServer::Close() {
    for (const Client& client : clients_) {
        ::close(client.fd);
    }
    clients_.clear();
    if (listener_ >= 0) {
        ::close(listener_);
        listener_ = -1;
        std::error_code code;
        std::filesystem::remove(path_, code);
    }
}

void SimBusServer::Descriptors(std::vector<int>& fds) const {
    if (listener_ < 0) {
        return;
    }
    fds.push_back(listener_);
    for (const Client& client : clients_) {
        fds.push_back(client.fd);
    }
}

void SimBusServer::Accept() {
    for (;;) {
        int fd = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            return;
        }
        clients_.push_back({fd, false});
    }
}

void SimBusServer::Drop(int fd) {
    ::close(fd);
    clients_.erase(std::remove_if(clients_.begin(), clients_.end(),
                                  [fd](const Client& client) { return client.fd == fd; }),
                   clients_.end());
}

void SimBusServer::Broadcast(const canbus::SimBusRecord& record, int exceptFd) {
    for (const Client& client : clients_) {
        if (client.welcomed && client.fd != exceptFd) {
            // A participant that does not read loses frames, as on a real bus.
            ::send(client.fd, &record, sizeof record, MSG_DONTWAIT | MSG_NOSIGNAL);
        }
    }
}

void SimBusServer::OnReadable(int fd, uint64_t nowUs) {
    if (listener_ < 0) {
        return;
    }
    if (fd == listener_) {
        Accept();
        return;
    }
    auto client = std::find_if(clients_.begin(), clients_.end(),
                               [fd](const Client& c) { return c.fd == fd; });
    if (client == clients_.end()) {
        return;
    }
    for (;;) {
        canbus::SimBusRecord record;
        ssize_t count = ::recv(fd, &record, sizeof record, MSG_DONTWAIT);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return;
        }
        if (count <= 0) {
            Drop(fd);
            return;
        }
        if (count != static_cast<ssize_t>(sizeof record)) {
            continue;  // not a record of this bus
        }
        if (record.kind == canbus::SimBus::kHello) {
            uint32_t rate = canbus::SimBus::Word(record.data);
            uint32_t version = canbus::SimBus::Word(record.data + 4);
            uint32_t status = version != canbus::SimBus::kProtocolVersion
                                  ? canbus::SimBus::kWelcomeVersionMismatch
                              : rate != bitRate_ ? canbus::SimBus::kWelcomeBitRateMismatch
                                                 : canbus::SimBus::kWelcomeOk;
            canbus::SimBusRecord welcome =
                canbus::SimBus::Control(canbus::SimBus::kWelcome, bitRate_, status);
            ::send(fd, &welcome, sizeof welcome, MSG_DONTWAIT | MSG_NOSIGNAL);
            if (status != canbus::SimBus::kWelcomeOk) {
                Drop(fd);
                return;
            }
            client->welcomed = true;
        } else if (record.kind == canbus::SimBus::kFrame && client->welcomed) {
            Send(canbus::SimBus::ToFrame(record), fd, nowUs);
        }
    }
}

void SimBusServer::Send(const canbus::Frame& frame, int sender, uint64_t nowUs) {
    if (line_.BitRate() == 0) {
        Pass(frame, sender, nowUs);
    } else {
        line_.Send(frame, sender, nowUs);
    }
}

void SimBusServer::Pass(const canbus::Frame& frame, int sender, uint64_t atUs) {
    Broadcast(canbus::SimBus::FromFrame(frame), sender);
    if (sender != kDrive) {
        node_.OnFrame(frame, atUs);
    }
}

void SimBusServer::Flush(uint64_t nowUs) {
    if (listener_ < 0) {
        return;
    }
    passed_.clear();
    line_.TakePassed(nowUs, passed_);
    for (const CanBusLine::Passed& frame : passed_) {
        Pass(frame.frame, frame.sender, frame.endUs);
    }
    std::vector<canbus::Frame> frames;
    node_.TakeDue(nowUs, frames);
    for (const canbus::Frame& frame : frames) {
        Send(frame, kDrive, nowUs);
    }
    if (node_.CloseRequested() && line_.NextDueUs() < 0) {
        Close();
    }
}

int64_t SimBusServer::NextDueUs() const {
    int64_t node = node_.NextDueUs();
    int64_t line = line_.NextDueUs();
    return node < 0 ? line : line < 0 ? node : std::min(node, line);
}

}  // namespace tarvo::sim
