#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <set>
#include <string>

#include "protocol/DriveProtocol.h"

namespace tarvo {

// The entries written in this session that the drive keeps over a power cycle but has not
// stored yet. The control link tells it of every write the drive confirmed; the windows
// read it to mark such values and to ask before the connection or the program closes.
//
// A store of the motor parameters (2FF0h:03h) keeps the motor entries (2000h) and a store
// of the control parameters (2FF0h:01h) every other stored entry, so each clears only its
// own marks. A confirmed restart (2FFFh) brings the stored values back and clears them all;
// initialising the control parameters stores nothing and clears nothing.
//
// The marks belong to the drive they were written to: opening a connection to the same
// interface, port and node keeps them (a drive that lost the link or its power still has
// not stored those values), a connection to another drive forgets them.
//
// Called from the link's worker and the user-interface thread. The listener runs on the
// caller's thread, outside the marks' lock; replacing it waits for a call in progress, so an
// owner that clears it may then go.
class UnstoredChanges {
public:
    // True for an entry the drive stores (S attribute, or the facts say so).
    using StoredEntry = std::function<bool(uint32_t key)>;

    void SetStoredEntry(StoredEntry storedEntry);
    // Told whenever the marks change; set it before the link serves requests.
    void SetListener(std::function<void()> listener);

    // A request the drive answered with a value (a refused write is answered otherwise).
    void OnConfirmed(SdoCommand command, uint32_t address, uint32_t data);
    // A connection opened; `drive` names the interface, port and node it reaches.
    void OnConnectionOpened(const std::string& drive);

    size_t Count() const;
    bool IsUnstored(uint32_t key) const;
    std::set<uint32_t> Keys() const;

    // The motor parameters are the entries of 2000h; every other stored entry is kept by
    // the store of the control parameters.
    static bool IsMotorParameter(uint32_t key) { return (key >> 8) == 0x2000; }

private:
    template <typename Pred>
    bool EraseIf(Pred pred);
    void Notify(bool changed);

    mutable std::mutex mutex_;
    std::set<uint32_t> keys_;
    std::string drive_;
    StoredEntry storedEntry_;
    std::mutex listenerMutex_;
    std::function<void()> listener_;
};

}  // namespace tarvo
