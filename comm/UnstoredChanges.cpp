#include "comm/UnstoredChanges.h"

#include "protocol/DriveObjects.h"

namespace tarvo {

namespace {

bool IsWrite(SdoCommand command) {
    return command == SdoCommand::Write8 || command == SdoCommand::Write16 ||
           command == SdoCommand::Write24 || command == SdoCommand::Write32;
}

}  // namespace

void UnstoredChanges::SetStoredEntry(StoredEntry storedEntry) {
    std::lock_guard lock(mutex_);
    storedEntry_ = std::move(storedEntry);
}

void UnstoredChanges::SetListener(std::function<void()> listener) {
    std::lock_guard lock(listenerMutex_);
    listener_ = std::move(listener);
}

template <typename Pred>
bool UnstoredChanges::EraseIf(Pred pred) {
    return std::erase_if(keys_, pred) != 0;
}

void UnstoredChanges::OnConfirmed(SdoCommand command, uint32_t address, uint32_t data) {
    if (!IsWrite(command)) {
        return;
    }
    bool changed = false;
    {
        std::lock_guard lock(mutex_);
        if (address == DriveObject::kStoreMotorParameters) {
            if (data == DriveObject::kStoreCommand) {
                changed = EraseIf([](uint32_t key) { return IsMotorParameter(key); });
            }
        } else if (address == DriveObject::kStoreControlParameters) {
            if (data == DriveObject::kStoreCommand) {
                changed = EraseIf([](uint32_t key) { return !IsMotorParameter(key); });
            }
        } else if (address == DriveObject::kReboot) {
            if (data == DriveObject::kRebootValue) {
                changed = !keys_.empty();
                keys_.clear();
            }
        } else if (storedEntry_ && storedEntry_(address)) {
            changed = keys_.insert(address).second;
        }
    }
    Notify(changed);
}

void UnstoredChanges::OnConnectionOpened(const std::string& drive) {
    bool changed = false;
    {
        std::lock_guard lock(mutex_);
        if (drive != drive_) {
            changed = !keys_.empty();
            keys_.clear();
            drive_ = drive;
        }
    }
    Notify(changed);
}

void UnstoredChanges::Notify(bool changed) {
    if (!changed) {
        return;
    }
    std::lock_guard lock(listenerMutex_);
    if (listener_) {
        listener_();
    }
}

size_t UnstoredChanges::Count() const {
    std::lock_guard lock(mutex_);
    return keys_.size();
}

bool UnstoredChanges::IsUnstored(uint32_t key) const {
    std::lock_guard lock(mutex_);
    return keys_.count(key) != 0;
}

std::set<uint32_t> UnstoredChanges::Keys() const {
    std::lock_guard lock(mutex_);
    return keys_;
}

}  // namespace tarvo
