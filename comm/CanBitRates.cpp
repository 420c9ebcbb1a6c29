#include "comm/CanBitRates.h"

namespace tarvo {

namespace {

struct Rate {
    uint32_t code;
    const char* text;
    uint32_t kbits;
};

// 20 kbit/s has no code of its own in the form's table; it takes PCAN's 20 kbit/s code so
// that choosing it really selects that rate.
constexpr Rate kRates[CanBitRates::kEntryCount] = {
    {0x0014, "1 MBit/s", 1000},  {0x001C, "500 KBit/s", 500}, {0x011C, "250 KBit/s", 250},
    {0x031C, "125 KBit/s", 125}, {0x432F, "100 KBit/s", 100}, {0x472F, "50 KBit/s", 50},
    {0x532F, "20 KBit/s", 20},
};

}  // namespace

uint32_t CanBitRates::CodeOfEntry(int entry) {
    return (entry >= 0 && entry < kEntryCount) ? kRates[entry].code : 0;
}

std::optional<int> CanBitRates::EntryOfCode(uint32_t code) {
    for (int i = 0; i < kEntryCount; ++i) {
        if (kRates[i].code == code) {
            return i;
        }
    }
    return std::nullopt;
}

std::string CanBitRates::EntryText(int entry) {
    return (entry >= 0 && entry < kEntryCount) ? kRates[entry].text : "";
}

std::optional<int> CanBitRates::EntryOfKbits(uint32_t kbits) {
    for (int i = 0; i < kEntryCount; ++i) {
        if (kRates[i].kbits == kbits) {
            return i;
        }
    }
    return std::nullopt;
}

std::string CanBitRates::OpenText(uint32_t code) {
    // Every rate the form offers, 20 kbit/s included: the drive answers at each of them.
    for (int i = 0; i < kEntryCount; ++i) {
        if (kRates[i].code == code) {
            return std::string("Open ") + kRates[i].text;
        }
    }
    return "Closed";
}

}  // namespace tarvo
