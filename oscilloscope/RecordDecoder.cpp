#include "oscilloscope/RecordDecoder.h"

namespace tarvo {

namespace {

struct SlotPlace {
    int slot;   // 0-based: Slot1 = 0
    int width;  // bytes
};

constexpr SlotPlace kOrder[6] = {{0, 2}, {1, 2}, {4, 4}, {2, 2}, {3, 2}, {5, 4}};

}  // namespace

size_t RecordLayout::BytesPerRecord() const {
    size_t bytes = 0;
    for (const SlotPlace& place : kOrder) {
        if (slotCodes[place.slot] != 0) {
            bytes += static_cast<size_t>(place.width);
        }
    }
    return bytes;
}

size_t RecordDecoder::Decode(const uint8_t* bytes, size_t count, const RecordLayout& layout,
                             ScopeSamples& samples) {
    samples.Clear();
    size_t perRecord = layout.BytesPerRecord();
    if (perRecord == 0) {
        return 0;
    }
    size_t records = 0;
    for (size_t at = 0; at + perRecord <= count; at += perRecord, ++records) {
        size_t position = at;
        for (const SlotPlace& place : kOrder) {
            if (layout.slotCodes[place.slot] == 0) {
                continue;
            }
            int channel = place.slot < 4    ? place.slot + 1
                          : place.slot == 4 ? layout.slot5Channel
                                            : layout.slot6Channel;
            bool isSigned = layout.channelSigned[static_cast<size_t>(channel - 1) & 3];
            uint32_t raw = 0;
            for (int i = 0; i < place.width; ++i) {
                raw |= static_cast<uint32_t>(bytes[position + i]) << (8 * i);
            }
            position += static_cast<size_t>(place.width);
            double value = 0.0;
            if (place.width == 2) {
                value = isSigned && raw >= 32768 ? double(raw) - 65536.0 : double(raw);
            } else {
                value = isSigned ? double(static_cast<int32_t>(raw)) : double(raw);
            }
            samples.Add(channel, value);
        }
    }
    return records;
}

}  // namespace tarvo
