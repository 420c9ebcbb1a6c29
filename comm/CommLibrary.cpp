#include "comm/CommLibrary.h"

#include <dlfcn.h>

#include <cstring>
#include <filesystem>

#include "comm/LinkTexts.h"
#include "platform/LibraryFile.h"
#include "platform/MessageBox.h"

namespace tarvo {

CommLibrary::CommLibrary(const std::string& programFolder, MessageBox& messageBox)
    : messageBox_(messageBox) {
    std::error_code ignored;
    std::filesystem::path folder = std::filesystem::absolute(programFolder, ignored);
    dataFolder_ = (folder / "data").string();
}

namespace {

void CloseObject(SerialPort* object) {
    object->ops->Close(object);
}

void CloseObject(CanObject* object) {
    object->ops->Close(object);
}

}  // namespace

CommLibrary::~CommLibrary() {
    // Close, then release; no exchange runs any more.
    if (serialObject_ != nullptr) {
        CloseObject(serialObject_.get());
        serialObject_.reset();
    }
    if (canObject_ != nullptr) {
        CloseObject(canObject_.get());
        canObject_.reset();
    }
}

template <typename Object>
void CommLibrary::Retire(std::shared_ptr<Object>& object) {
    if (object == nullptr) {
        return;
    }
    // Still held by an exchange: closing it ends the exchange's wait, and the exchange
    // releases it when it lets go. Otherwise it is released here.
    if (object.use_count() > 1) {
        CloseObject(object.get());
    }
    object.reset();
}

int CommLibrary::Load(int32_t mode) {
    {
        std::lock_guard lock(objectMutex_);
        mode_ = mode;
    }
    if (mode != kSerial && mode != kCan) {
        return 1;
    }
    const bool serial = mode == kSerial;
    if (mode == openMode_.load()) {
        // The open connection's object stays: it serves until it is closed or replaced.
        std::lock_guard lock(objectMutex_);
        if (serial ? serialObject_ != nullptr : canObject_ != nullptr) {
            return 1;
        }
    }
    // Always by absolute path, never through the library search path.
    std::string path = dataFolder_ + (serial ? "/libCOM.so" : "/libCAN.so");
    libraryHandle_ = LibraryFile::Open(path, loadError_);
    if (!serial) {
        canLoadError_ = libraryHandle_ == nullptr ? path + ": " + loadError_ : std::string();
    }
    if (libraryHandle_ == nullptr) {
        return 0;
    }
    void* factory = ::dlsym(libraryHandle_, serial ? "CreateObject" : "CreateCanObject");
    if (factory == nullptr) {
        messageBox_.Show(serial ? link_text::kGetCommInterfaceFailure
                                : link_text::kGetCanInterfaceFailure);
        return 0;
    }
    if (!serial) {
        canLastError_ =
            reinterpret_cast<CanLastErrorFn>(::dlsym(libraryHandle_, "TarvoCanLastError"));
        canProbe_ = reinterpret_cast<CanProbeFn>(::dlsym(libraryHandle_, "TarvoCanProbe"));
    }
    if (serial) {
        std::shared_ptr<SerialPort> old;
        {
            std::lock_guard lock(objectMutex_);
            old = std::move(serialObject_);
        }
        Retire(old);
        SerialPort* created = nullptr;
        reinterpret_cast<SerialCreateObjectFn>(factory)(&created);
        if (created == nullptr) {
            messageBox_.Show(link_text::kCreateCommInstanceFailure);
            return 0;
        }
        std::shared_ptr<SerialPort> object(created,
                                           [](SerialPort* port) { port->ops->Release(port); });
        std::lock_guard lock(objectMutex_);
        serialObject_ = std::move(object);
    } else {
        std::shared_ptr<CanObject> old;
        {
            std::lock_guard lock(objectMutex_);
            old = std::move(canObject_);
        }
        Retire(old);
        CanObject* created = nullptr;
        reinterpret_cast<CanCreateObjectFn>(factory)(&created);
        if (created == nullptr) {
            messageBox_.Show(link_text::kCreateCanInstanceFailure);
            return 0;
        }
        std::shared_ptr<CanObject> object(created, [](CanObject* can) { can->ops->Release(can); });
        std::lock_guard lock(objectMutex_);
        canObject_ = std::move(object);
    }
    return 1;
}

int32_t CommLibrary::Open(const CommSettings* settings) {
    if (settings == nullptr) {
        return -1;
    }
    Port port;
    {
        std::lock_guard lock(objectMutex_);
        port.mode_ = mode_.load();
        port.serial_ = port.mode_ == kSerial ? serialObject_ : nullptr;
        port.can_ = port.mode_ == kCan ? canObject_ : nullptr;
    }
    int32_t result = OpenPort(port, *settings);
    if (result == 0) {
        int32_t replaced = openMode_.exchange(port.mode_);
        if (replaced != kNone && replaced != port.mode_) {
            std::lock_guard lock(objectMutex_);
            if (replaced == kSerial && serialObject_ != nullptr) {
                CloseObject(serialObject_.get());
            } else if (replaced == kCan && canObject_ != nullptr) {
                CloseObject(canObject_.get());
            }
        }
    } else if (port.mode_ == openMode_.load()) {
        // The object of the open connection was opened again and failed: nothing is open.
        openMode_ = kNone;
    }
    return result;
}

int32_t CommLibrary::OpenPort(const Port& port, const CommSettings& given) {
    const CommSettings* settings = &given;
    if (port.mode_ == kSerial) {
        if (libraryHandle_ == nullptr) {
            messageBox_.Show(link_text::kLoadCommLibraryFailure);
            return -1;
        }
        keptSettings_ = *settings;
        SerialConfig config{};
        std::memcpy(config.portName, settings->portName, sizeof config.portName);
        config.dcb.DCBlength = sizeof(SerialDcb);
        config.dcb.BaudRate = settings->rate;
        config.dcb.ByteSize = 8;
        config.dcb.Parity = 0;
        config.dcb.StopBits = 0;
        config.dcb.flags &= ~(kSerialDcbDtrControlMask | kSerialDcbRtsControlMask);
        config.replyTimeoutMs = settings->replyTimeoutMs;
        if (port.serial_ == nullptr) {
            messageBox_.Show(link_text::kCreateCommInstanceFailure);
            return -1;
        }
        return static_cast<int32_t>(port.serial_->ops->Open(port.serial_.get(), &config));
    }
    if (port.mode_ == kCan) {
        keptSettings_ = *settings;
        if (port.can_ == nullptr) {
            return -1;
        }
        return static_cast<int32_t>(port.can_->ops->Open(port.can_.get(), &keptSettings_));
    }
    return -1;
}

CommLibrary::Port CommLibrary::Acquire() const {
    Port port;
    std::lock_guard lock(objectMutex_);
    int32_t open = openMode_.load();
    port.mode_ = open != kNone ? open : mode_.load();
    if (port.mode_ == kSerial) {
        port.serial_ = serialObject_;
    } else if (port.mode_ == kCan) {
        port.can_ = canObject_;
    }
    return port;
}

int32_t CommLibrary::Port::Transact(const void* frame, uint32_t length) const {
    if (mode_ == kSerial && serial_ != nullptr) {
        return static_cast<int32_t>(
            serial_->ops->Transact(serial_.get(), static_cast<const uint8_t*>(frame), length));
    }
    if (mode_ == kCan && can_ != nullptr) {
        return static_cast<int32_t>(
            can_->ops->Transmit(can_.get(), static_cast<const CanMessage*>(frame)));
    }
    return -1;
}

int32_t CommLibrary::Port::FetchReply(void* buffer, uint32_t* length) const {
    if (mode_ == kSerial && serial_ != nullptr) {
        return static_cast<int32_t>(
            serial_->ops->FetchReply(serial_.get(), static_cast<uint8_t*>(buffer), length));
    }
    if (mode_ == kCan && can_ != nullptr) {
        return static_cast<int32_t>(
            can_->ops->Receive(can_.get(), static_cast<CanMessage*>(buffer)));
    }
    return -1;
}

int32_t CommLibrary::Transact(const void* frame, uint32_t length) {
    return Acquire().Transact(frame, length);
}

int32_t CommLibrary::FetchReply(void* buffer, uint32_t* length) {
    return Acquire().FetchReply(buffer, length);
}

void CommLibrary::Close() {
    Port port = Acquire();
    openMode_ = kNone;
    if (port.serial_ != nullptr) {
        CloseObject(port.serial_.get());
    } else if (port.can_ != nullptr) {
        CloseObject(port.can_.get());
    }
}

int32_t CommLibrary::ReadVersion(char* text256) {
    std::shared_ptr<CanObject> object;
    {
        std::lock_guard lock(objectMutex_);
        object = canObject_;
    }
    if (object == nullptr || text256 == nullptr) {
        return 0;
    }
    return static_cast<int32_t>(object->ops->ReadVersion(object.get(), text256));
}

std::string CommLibrary::CanFailureReason() const {
    std::shared_ptr<CanObject> object;
    {
        std::lock_guard lock(objectMutex_);
        object = canObject_;
    }
    if (object == nullptr || canLastError_ == nullptr) {
        return canLoadError_;
    }
    char text[512] = {};
    canLastError_(object.get(), text, sizeof text);
    text[sizeof text - 1] = '\0';
    return text;
}

int32_t CommLibrary::ProbeCan(const CanMessage* requests, uint32_t count, CanMessage* replies) {
    std::shared_ptr<CanObject> object;
    {
        std::lock_guard lock(objectMutex_);
        object = canObject_;
    }
    if (object == nullptr || canProbe_ == nullptr || openMode_.load() != kCan) {
        return -1;
    }
    return static_cast<int32_t>(canProbe_(object.get(), requests, count, replies));
}

bool CommLibrary::hasObject() const {
    return Acquire().valid();
}

std::string CommLibrary::VersionCaption(const char* versionText) {
    std::string caption = link_text::kVersionCaption;
    if (versionText != nullptr) {
        // The library's text is bounded by its 256-byte buffer even without a final NUL.
        std::string text(versionText, ::strnlen(versionText, 256));
        size_t colon = text.rfind(':');
        if (colon != std::string::npos) {
            caption += text.substr(colon);
        }
    }
    return caption;
}

}  // namespace tarvo
