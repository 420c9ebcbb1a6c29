#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tarvo {

// The bit-rate entries of the CAN form and the PCAN-USB codes they stand for.
class CanBitRates {
public:
    static constexpr int kEntryCount = 7;
    // The code of entry i (0 = "1 MBit/s" ... 6 = "20 KBit/s").
    static uint32_t CodeOfEntry(int entry);
    // The entry of a code, or nothing when the code is not one of the table's.
    static std::optional<int> EntryOfCode(uint32_t code);
    static std::string EntryText(int entry);
    // The entry of a rate in kbit/s (1000, 500, ... 20), or nothing.
    static std::optional<int> EntryOfKbits(uint32_t kbits);
    // "Open 500 KBit/s" and the like for the status text; "Closed" for unknown codes.
    static std::string OpenText(uint32_t code);
};

}  // namespace tarvo
