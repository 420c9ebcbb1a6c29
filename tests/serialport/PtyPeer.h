#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tarvo::test {

using Bytes = std::vector<uint8_t>;

// The drive's end of a pseudo-terminal pair: the port under test opens the terminal end
// ("pts/N"), the peer reads request frames from the controlling end and answers them.
class PtyPeer {
public:
    // What to send back for one request: the reply in pieces (empty: stay silent).
    using Responder = std::function<std::vector<Bytes>(const Bytes& request)>;

    PtyPeer() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0) {
            std::string path = ::ptsname(master_);
            name_ = path.substr(5);  // without "/dev/"
            ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
        }
        wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    }

    ~PtyPeer() {
        StopServing();
        CloseMaster();
        ::close(wake_);
    }

    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    bool ok() const { return master_ >= 0 && !name_.empty(); }
    const std::string& PortName() const { return name_; }
    int master() const { return master_; }

    // The pause between the pieces of one reply.
    void SetPieceGap(std::chrono::microseconds gap) { pieceGap_ = gap; }

    // Reads `count` bytes from the line within `timeoutMs`; fewer when the time ran out.
    Bytes Read(size_t count, int timeoutMs) {
        Bytes bytes;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (bytes.size() < count) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() < 0) {
                break;
            }
            pollfd in{master_, POLLIN, 0};
            if (::poll(&in, 1, static_cast<int>(left.count())) <= 0) {
                break;
            }
            uint8_t buffer[64];
            ssize_t n = ::read(master_, buffer, std::min(sizeof buffer, count - bytes.size()));
            if (n > 0) {
                bytes.insert(bytes.end(), buffer, buffer + n);
            } else if ((in.revents & POLLHUP) != 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
        return bytes;
    }

    void Write(const Bytes& bytes) {
        size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += static_cast<size_t>(n);
            } else {
                pollfd out{master_, POLLOUT, 0};
                if (::poll(&out, 1, 1000) <= 0) {
                    return;
                }
            }
        }
    }

    // The cable is pulled: the drive's end disappears.
    void CloseMaster() {
        StopServing();
        if (master_ >= 0) {
            ::close(master_);
            master_ = -1;
        }
    }

    // Answers every request frame of `frameLength` bytes on a thread of its own.
    void Serve(Responder responder, size_t frameLength = 10) {
        StopServing();
        stop_ = false;
        server_ = std::thread([this, responder = std::move(responder), frameLength] {
            Bytes pending;
            while (!stop_.load()) {
                pollfd set[2] = {{master_, POLLIN, 0}, {wake_, POLLIN, 0}};
                if (::poll(set, 2, -1) < 0 || set[1].revents != 0) {
                    continue;
                }
                uint8_t buffer[256];
                ssize_t n = ::read(master_, buffer, sizeof buffer);
                if (n <= 0) {
                    // No terminal end open right now: wait for the port to come back.
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                    continue;
                }
                pending.insert(pending.end(), buffer, buffer + n);
                while (pending.size() >= frameLength) {
                    Bytes request(pending.begin(), pending.begin() + frameLength);
                    pending.erase(pending.begin(), pending.begin() + frameLength);
                    {
                        std::lock_guard lock(mutex_);
                        requests_.push_back(request);
                    }
                    std::vector<Bytes> pieces = responder(request);
                    for (size_t i = 0; i < pieces.size(); ++i) {
                        if (i > 0) {
                            std::this_thread::sleep_for(pieceGap_);
                        }
                        Write(pieces[i]);
                    }
                }
            }
        });
    }

    void StopServing() {
        if (server_.joinable()) {
            stop_ = true;
            uint64_t one = 1;
            (void)::write(wake_, &one, sizeof one);
            server_.join();
            uint64_t drained = 0;
            (void)::read(wake_, &drained, sizeof drained);
        }
    }

    std::vector<Bytes> Requests() {
        std::lock_guard lock(mutex_);
        return requests_;
    }

    size_t RequestCount() {
        std::lock_guard lock(mutex_);
        return requests_.size();
    }

private:
    int master_ = -1;
    int wake_ = -1;
    std::string name_;
    std::chrono::microseconds pieceGap_{20000};
    std::atomic<bool> stop_{false};
    std::thread server_;
    std::mutex mutex_;
    std::vector<Bytes> requests_;
};

// A 10-byte drive frame with its checksum: node, command, index, subindex, data.
inline Bytes DriveFrame(uint8_t node, uint8_t command, uint16_t index, uint8_t sub, uint32_t data) {
    Bytes frame = {node,
                   command,
                   static_cast<uint8_t>(index),
                   static_cast<uint8_t>(index >> 8),
                   sub,
                   static_cast<uint8_t>(data),
                   static_cast<uint8_t>(data >> 8),
                   static_cast<uint8_t>(data >> 16),
                   static_cast<uint8_t>(data >> 24),
                   0};
    uint8_t sum = 0;
    for (int i = 0; i < 9; ++i) {
        sum = static_cast<uint8_t>(sum + frame[i]);
    }
    frame[9] = static_cast<uint8_t>(-sum);
    return frame;
}

// The reply a drive gives to `request`: same node, index and subindex.
inline Bytes ReplyTo(const Bytes& request, uint8_t command, uint32_t data) {
    return DriveFrame(request[0], command, static_cast<uint16_t>(request[2] | request[3] << 8),
                      request[4], data);
}

}  // namespace tarvo::test
