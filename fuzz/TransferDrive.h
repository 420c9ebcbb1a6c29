#pragma once

#include <cstdint>
#include <cstdlib>
#include <deque>
#include <map>

#include "comm/LinkRequester.h"
#include "dictionary/ObjectDictionary.h"
#include "dictionary/ValueText.h"
#include "platform/MessageTarget.h"

namespace tarvo::fuzz {

// The control link and a drive behind it for the export and import models: requests wait
// in a queue until Serve answers them, as the link's worker would. The drive holds a value
// per key (a fixed pattern until written), refuses writes of entries that are not writable
// and reads of keys it does not know, and keeps a written value cut to the write's width.
class TransferDrive : public LinkRequester {
public:
    static constexpr uint32_t kNoObject = 0x06020000;
    static constexpr uint32_t kReadOnly = 0x06010002;

    explicit TransferDrive(const ObjectDictionary& dictionary) : dictionary_(dictionary) {}

    struct Sent {
        MessageTarget* window;
        uint8_t command;
        uint32_t key;
        uint32_t data;
    };

    int Request(MessageTarget* window, SdoCommand command, uint32_t key, uint32_t data) override {
        queue_.push_back({window, static_cast<uint8_t>(command), key, data});
        return 0;
    }

    // Answers every request, those made while answering included. `onWrite` sees each write
    // before the drive takes it.
    template <typename OnWrite>
    void Serve(OnWrite onWrite) {
        for (int guard = 0; !queue_.empty(); ++guard) {
            if (guard > 1000000) {
                std::abort();  // a model that never stops asking
            }
            Sent sent = queue_.front();
            queue_.pop_front();
            auto entry = dictionary_.FindEntry(sent.key);
            if (sent.command == 0x40) {
                if (!entry && sent.key % 3 == 0) {
                    sent.window->onMessage(WM_LINK_ABORT, kNoObject, sent.key);
                } else {
                    sent.window->onMessage(WM_LINK_VALUE, Held(sent.key), sent.key);
                }
                continue;
            }
            onWrite(sent);
            if (entry && !entry->HasAttribute('W')) {
                sent.window->onMessage(WM_LINK_ABORT, kReadOnly, sent.key);
                continue;
            }
            uint32_t mask = sent.command == 0x2F   ? 0xFFu
                            : sent.command == 0x2B ? 0xFFFFu
                                                   : 0xFFFFFFFFu;
            held_[sent.key] = sent.data & mask;
            sent.window->onMessage(WM_LINK_VALUE, Held(sent.key), sent.key);
        }
    }
    void Serve() {
        Serve([](const Sent&) {});
    }

    // What a read of the key gives: in the width of the entry's type when there is one.
    uint32_t Held(uint32_t key) const {
        auto it = held_.find(key);
        uint32_t value = it != held_.end() ? it->second : key * 2654435761u;
        return value & EntryMask(key);
    }
    uint32_t EntryMask(uint32_t key) const {
        auto entry = dictionary_.FindEntry(key);
        int width = entry ? ValueText::TypeWidth(entry->dataType) : 32;
        return width == 8 ? 0xFFu : width == 16 ? 0xFFFFu : 0xFFFFFFFFu;
    }
    bool Written(uint32_t key) const { return held_.count(key) != 0; }

private:
    const ObjectDictionary& dictionary_;
    std::deque<Sent> queue_;
    std::map<uint32_t, uint32_t> held_;
};

}  // namespace tarvo::fuzz
