#include "CommLibrary.h"

#include <dlfcn.h>

#include <cstring>
#include <filesystem>

#include "LibraryFile.h"
#include "LinkTexts.h"
#include "MessageBox.h"

namespace tarvo {

CommLibrary::CommLibrary(const std::string& programFolder, MessageBox& messageBox)
    : messageBox_(messageBox) {
    std::error_code ignored;
    std::filesystem::path folder = std::filesystem::absolute(programFolder, ignored);
    dataFolder_ = (folder / "data").string();
}

CommLibrary::~CommLibrary() {
    if (serialObject_ != nullptr) {
        serialObject_->ops->Close(serialObject_);
        serialObject_->ops->Release(serialObject_);
        serialObject_ = nullptr;
    }
    if (canObject_ != nullptr) {
        canObject_->ops->Close(canObject_);
        canObject_->ops->Release(canObject_);
        canObject_ = nullptr;
    }
}

int CommLibrary::Load(int32_t mode) {
    mode_ = mode;
    if (mode != kSerial && mode != kCan) {
        return 1;
    }
    const bool serial = mode == kSerial;
    // Always by absolute path, never through the library search path.
    std::string path = dataFolder_ + (serial ? "/libCOM.so" : "/libCAN.so");
    libraryHandle_ = LibraryFile::Open(path, loadError_);
    if (libraryHandle_ == nullptr) {
        return 0;
    }
    void* factory = ::dlsym(libraryHandle_, serial ? "CreateObject" : "CreateCanObject");
    if (factory == nullptr) {
        messageBox_.Show(serial ? link_text::kGetCommInterfaceFailure
                                : link_text::kGetCanInterfaceFailure);
        return 0;
    }
    if (serial) {
        if (serialObject_ != nullptr) {
            serialObject_->ops->Release(serialObject_);
            serialObject_ = nullptr;
        }
        reinterpret_cast<SerialCreateObjectFn>(factory)(&serialObject_);
        if (serialObject_ == nullptr) {
            messageBox_.Show(link_text::kCreateCommInstanceFailure);
            return 0;
        }
    } else {
        if (canObject_ != nullptr) {
            canObject_->ops->Release(canObject_);
            canObject_ = nullptr;
        }
        reinterpret_cast<CanCreateObjectFn>(factory)(&canObject_);
        if (canObject_ == nullptr) {
            messageBox_.Show(link_text::kCreateCanInstanceFailure);
            return 0;
        }
    }
    return 1;
}

int32_t CommLibrary::Open(const CommSettings* settings) {
    if (settings == nullptr) {
        return -1;
    }
    if (mode_ == kSerial) {
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
        if (serialObject_ == nullptr) {
            messageBox_.Show(link_text::kCreateCommInstanceFailure);
            return -1;
        }
        return static_cast<int32_t>(serialObject_->ops->Open(serialObject_, &config));
    }
    if (mode_ == kCan) {
        keptSettings_ = *settings;
        if (canObject_ == nullptr) {
            return -1;
        }
        return static_cast<int32_t>(canObject_->ops->Open(canObject_, &keptSettings_));
    }
    return -1;
}

int32_t CommLibrary::Transact(const void* frame, uint32_t length) {
    if (mode_ == kSerial && serialObject_ != nullptr) {
        return static_cast<int32_t>(serialObject_->ops->Transact(
            serialObject_, static_cast<const uint8_t*>(frame), length));
    }
    if (mode_ == kCan && canObject_ != nullptr) {
        return static_cast<int32_t>(
            canObject_->ops->Transmit(canObject_, static_cast<const CanMessage*>(frame)));
    }
    return -1;
}

int32_t CommLibrary::FetchReply(void* buffer, uint32_t* length) {
    if (mode_ == kSerial && serialObject_ != nullptr) {
        return static_cast<int32_t>(
            serialObject_->ops->FetchReply(serialObject_, static_cast<uint8_t*>(buffer), length));
    }
    if (mode_ == kCan && canObject_ != nullptr) {
        return static_cast<int32_t>(
            canObject_->ops->Receive(canObject_, static_cast<CanMessage*>(buffer)));
    }
    return -1;
}

void CommLibrary::Close() {
    if (mode_ == kSerial && serialObject_ != nullptr) {
        serialObject_->ops->Close(serialObject_);
    } else if (mode_ == kCan && canObject_ != nullptr) {
        canObject_->ops->Close(canObject_);
    }
}

int32_t CommLibrary::ReadVersion(char* text256) {
    if (canObject_ == nullptr || text256 == nullptr) {
        return 0;
    }
    return static_cast<int32_t>(canObject_->ops->ReadVersion(canObject_, text256));
}

bool CommLibrary::hasObject() const {
    return (mode_ == kSerial && serialObject_ != nullptr) ||
           (mode_ == kCan && canObject_ != nullptr);
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
