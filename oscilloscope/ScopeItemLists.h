#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "oscilloscope/ScopeItem.h"

namespace tarvo {

class ObjectDictionary;

// The objects the oscilloscope offers: the trigger list, the common channel list read from
// sys/Oscilloscope.ini and one list per channel of objects picked for, or reported by the
// drive on, that channel only.
//
// Trigger box: position 0 is "manual trigger", position k >= 1 the k-th trigger item from
// the newest. Channel box n: the channel's own items first (newest at position 0), then
// the common items in file order.
class ScopeItemLists {
public:
    static constexpr int kChannels = 4;

    explicit ScopeItemLists(const ObjectDictionary& dictionary) : dictionary_(dictionary) {}

    // Reads the "trigger" and "channel" sections; keys "1", "2", ... until one is missing or
    // names address 0. Unknown objects and objects of unsuitable width are skipped. Returns
    // what is wrong with the file (unreadable, empty, a section missing), else empty; the
    // lists hold whatever could be read.
    std::string Load(const std::string& iniPath);

    // Items made from the dictionary: a trigger object of 8, 16 or 32 bits, a channel object
    // of 16 or 32 bits (signed mark set for a signed type). None for anything else.
    std::optional<ScopeItem> MakeTriggerItem(uint32_t address);
    std::optional<ScopeItem> MakeChannelItem(uint32_t address);
    // An item for a code the drive reported: from the dictionary when it knows the object,
    // else named by its address.
    ScopeItem MakeReportedItem(uint32_t code);

    int TriggerBoxSize() const { return static_cast<int>(triggers_.size()) + 1; }
    // Null for position 0 and out-of-range positions.
    const ScopeItem* TriggerAt(int position) const;
    // The box position of the item with this address, or -1.
    int FindTriggerAddress(uint32_t address) const;
    // Puts an item at the head of the trigger list (box position 1).
    void InsertTrigger(ScopeItem item);

    int ChannelBoxSize(int channel) const;
    // How many of the box's first positions hold the channel's own items.
    int OwnCount(int channel) const {
        return ValidChannel(channel) ? static_cast<int>(Own(channel).size()) : 0;
    }
    const ScopeItem* ChannelAt(int channel, int position) const;
    // Box position of the item whose slot code (signed mark ignored) equals `code`, or -1.
    int FindChannelCode(int channel, uint32_t code) const;
    int FindChannelAddress(int channel, uint32_t address) const;
    // Puts an item at position 0 of one channel's box.
    void InsertChannelItem(int channel, ScopeItem item);

    std::vector<std::string> TriggerNames(const std::string& manualText) const;
    std::vector<std::string> ChannelNames(int channel) const;
    // Changes whenever any box's items change, so views refill only then.
    int Revision() const { return revision_; }

private:
    static bool ValidChannel(int channel) { return channel >= 1 && channel <= kChannels; }
    std::vector<ScopeItem>& Own(int channel) { return own_[channel - 1]; }
    const std::vector<ScopeItem>& Own(int channel) const { return own_[channel - 1]; }

    const ObjectDictionary& dictionary_;
    std::vector<ScopeItem> triggers_;                    // newest first
    std::vector<ScopeItem> common_;                      // file order
    std::array<std::vector<ScopeItem>, kChannels> own_;  // newest first
    int triggerOrdinal_ = 0;
    int commonOrdinal_ = 0;
    std::array<int, kChannels> ownOrdinal_{};
    int revision_ = 0;
};

}  // namespace tarvo
