#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "protocol/SerialPortAbi.h"
#include "serialport/LineControl.h"
#include "serialport/ReplyReceiver.h"

namespace tarvo::serial {

// One serial port that sends a request frame and waits, on the caller's thread, for the
// drive's 10-byte reply. The wait loop serves, in this order of precedence, a stop request,
// a requested transmission, and then poll()s the stop event and the port.
class SerialPortObject : public SerialPort {
public:
    SerialPortObject();
    ~SerialPortObject();
    SerialPortObject(const SerialPortObject&) = delete;
    SerialPortObject& operator=(const SerialPortObject&) = delete;

    uint32_t Open(const SerialConfig* config);
    uint32_t Transact(const uint8_t* frame, uint32_t length);
    uint32_t FetchReply(uint8_t* buffer, uint32_t* length);
    uint32_t ReadNow(uint8_t* buffer, uint32_t* length);
    void Close();

    static constexpr uint32_t kReplyLength = ReplyReceiver::kReplyLength;
    static constexpr uint32_t kBufferSize = ReplyReceiver::kBufferSize;

private:
    uint32_t WaitLoop();
    bool TransmitStep();
    // Takes what the port holds; true when bytes came in. While a request is matched, a
    // reply is ready (10 bytes at the front) once the receiver has found it.
    bool ReceiveStep();
    // Marks the handles as in use by the calling thread; false when the port is closed.
    bool BeginUse();
    void EndUse();
    void CloseHandles();  // with handleMutex_ held

    uint32_t firstUse_ = 1;
    int stopEvent_ = -1;
    std::atomic<bool> stopRequested_{false};
    bool transmitRequested_ = false;
    std::mutex lock_;  // Open, the transmit step and the receive step
    ReplyReceiver receiver_;
    uint32_t transmitLength_ = 0;
    uint8_t transmitBuffer_[kBufferSize] = {};
    uint32_t replyTimeoutMs_ = 0;
    LineSettings settings_;
    std::string path_;
    int port_ = -1;

    // A Close from another thread while a wait runs signals the stop event and waits here
    // until the waiting thread has let go of the handles.
    std::mutex handleMutex_;
    std::condition_variable useEnded_;
    bool inUse_ = false;
    std::thread::id user_;
};

}  // namespace tarvo::serial
