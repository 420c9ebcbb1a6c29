#include "can/PcanBasicBackend.h"

#include <dlfcn.h>
#include <poll.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "can/SocketWait.h"

namespace tarvo::canbus {

PcanBasicBackend::~PcanBasicBackend() {
    Close();
    if (handle_ != nullptr) {
        ::dlclose(handle_);
    }
}

std::string PcanBasicBackend::TraceName() const {
    char name[16];
    std::snprintf(name, sizeof name, "pcan%u", static_cast<unsigned>(channel_));
    return name;
}

std::string PcanBasicBackend::Load() {
    if (handle_ != nullptr) {
        return {};
    }
    handle_ = ::dlopen(library_.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* reason = ::dlerror();
        return "PCAN-Basic library " + library_ + " cannot be loaded" +
               (reason != nullptr ? std::string(": ") + reason : std::string());
    }
    initialize_ = reinterpret_cast<PcanInitializeFn>(::dlsym(handle_, "CAN_Initialize"));
    uninitialize_ = reinterpret_cast<PcanUninitializeFn>(::dlsym(handle_, "CAN_Uninitialize"));
    read_ = reinterpret_cast<PcanReadFn>(::dlsym(handle_, "CAN_Read"));
    write_ = reinterpret_cast<PcanWriteFn>(::dlsym(handle_, "CAN_Write"));
    getValue_ = reinterpret_cast<PcanGetValueFn>(::dlsym(handle_, "CAN_GetValue"));
    getErrorText_ = reinterpret_cast<PcanGetErrorTextFn>(::dlsym(handle_, "CAN_GetErrorText"));
    if (initialize_ == nullptr || uninitialize_ == nullptr || read_ == nullptr ||
        write_ == nullptr) {
        ::dlclose(handle_);
        handle_ = nullptr;
        return library_ + " is not a PCAN-Basic library (CAN_Initialize, CAN_Uninitialize, " +
               "CAN_Read or CAN_Write missing)";
    }
    return {};
}

std::string PcanBasicBackend::StatusText(TPCANStatus status) const {
    char text[256] = {};
    if (getErrorText_ != nullptr && getErrorText_(status, 0x09, text) == TARVO_PCAN_ERROR_OK &&
        text[0] != '\0') {
        text[sizeof text - 1] = '\0';
        return text;
    }
    std::snprintf(text, sizeof text, "PCAN-Basic status 0x%05X", status);
    return text;
}

bool PcanBasicBackend::Probe(std::string& detail) {
    std::string error = Load();
    if (!error.empty()) {
        detail = error;
        return false;
    }
    char version[64] = {};
    if (getValue_ != nullptr && getValue_(TARVO_PCAN_NONEBUS, TARVO_PCAN_API_VERSION, version,
                                          sizeof version) == TARVO_PCAN_ERROR_OK) {
        version[sizeof version - 1] = '\0';
        detail = "PCAN-Basic " + std::string(version);
    } else {
        detail = "PCAN-Basic";
    }
    detail += " " + TraceName();
    return true;
}

std::string PcanBasicBackend::Open(uint32_t code, uint32_t) {
    Close();
    std::string error = Load();
    if (!error.empty()) {
        return error;
    }
    TPCANStatus status = initialize_(channel_, static_cast<uint16_t>(code), 0, 0, 0);
    if (status != TARVO_PCAN_ERROR_OK) {
        return "PCAN-Basic cannot open channel " + TraceName() + ": " + StatusText(status);
    }
    open_ = true;
    receiveEvent_ = -1;
    int event = -1;
    if (getValue_ != nullptr &&
        getValue_(channel_, TARVO_PCAN_RECEIVE_EVENT, &event, sizeof event) ==
            TARVO_PCAN_ERROR_OK &&
        event >= 0) {
        receiveEvent_ = event;
    }
    return {};
}

void PcanBasicBackend::Close() {
    if (open_) {
        uninitialize_(channel_);
        open_ = false;
        receiveEvent_ = -1;
    }
}

std::string PcanBasicBackend::Send(const Frame& frame) {
    if (!open_) {
        return "the PCAN channel is not open";
    }
    TPCANMsg message{};
    message.ID = frame.Identifier();
    message.MSGTYPE = static_cast<uint8_t>(
        (frame.IsExtended() ? TARVO_PCAN_MESSAGE_EXTENDED : TARVO_PCAN_MESSAGE_STANDARD) |
        (frame.IsRemote() ? TARVO_PCAN_MESSAGE_RTR : 0));
    message.LEN = frame.length > 8 ? 8 : frame.length;
    std::memcpy(message.DATA, frame.data, 8);
    TPCANStatus status = write_(channel_, &message);
    return status == TARVO_PCAN_ERROR_OK ? std::string()
                                         : "PCAN-Basic cannot send: " + StatusText(status);
}

int PcanBasicBackend::Receive(Frame& frame, int timeoutMs, std::string& error) {
    if (!open_) {
        error = "the PCAN channel is not open";
        return -1;
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        TPCANMsg message{};
        TPCANTimestamp timestamp{};
        TPCANStatus status = read_(channel_, &message, &timestamp);
        if (status == TARVO_PCAN_ERROR_OK) {
            if ((message.MSGTYPE & (TARVO_PCAN_MESSAGE_STATUS | TARVO_PCAN_MESSAGE_ERRFRAME)) !=
                0) {
                continue;  // bus status, not a frame
            }
            frame.id = message.ID;
            if ((message.MSGTYPE & TARVO_PCAN_MESSAGE_EXTENDED) != 0) {
                frame.id = (frame.id & 0x1FFFFFFFu) | Frame::kExtended;
            } else {
                frame.id &= 0x7FFu;
            }
            if ((message.MSGTYPE & TARVO_PCAN_MESSAGE_RTR) != 0) {
                frame.id |= Frame::kRemote;
            }
            frame.length = message.LEN > 8 ? 8 : message.LEN;
            std::memcpy(frame.data, message.DATA, 8);
            return 1;
        }
        if ((status & TARVO_PCAN_ERROR_QRCVEMPTY) == 0) {
            error = "PCAN-Basic cannot receive: " + StatusText(status);
            return -1;
        }
        int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        deadline - std::chrono::steady_clock::now())
                                        .count());
        if (left <= 0 || Signalled(wakeEvent_)) {
            return 0;
        }
        if (receiveEvent_ >= 0) {
            pollfd entries[2] = {{receiveEvent_, POLLIN, 0}, {wakeEvent_, POLLIN, 0}};
            ::poll(entries, wakeEvent_ >= 0 ? 2 : 1, left);
        } else if (wakeEvent_ >= 0) {
            pollfd entry{wakeEvent_, POLLIN, 0};
            ::poll(&entry, 1, 1);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
}

}  // namespace tarvo::canbus
