#pragma once

#include <cstdint>
#include <string>

namespace tarvo::sim {

// How the drive holds one dictionary entry's value.
enum class ValueKind { Unsigned, Signed, Text, Domain };

// One entry of the simulated drive's dictionary with its limits and present value.
struct SimObject {
    uint32_t key = 0;  // index * 256 + subindex
    ValueKind kind = ValueKind::Unsigned;
    uint8_t width = 0;  // bytes of a number: 1, 2 or 4; 0 for text and domain entries
    bool writable = false;
    bool stored = false;               // kept in non-volatile memory
    bool limitAbortsTellSide = false;  // 0x06090031/32 instead of 0x06090030 out of limits
    int64_t defaultValue = 0;
    int64_t minimum = 0;
    int64_t maximum = 0;
    std::string defaultText;
    std::string text;  // present text of a VISIBLE STRING entry
    uint32_t raw = 0;  // present value, zero-extended from its width

    uint16_t Index() const { return static_cast<uint16_t>(key >> 8); }
    uint8_t SubIndex() const { return static_cast<uint8_t>(key & 0xFF); }
    bool IsNumber() const { return kind == ValueKind::Unsigned || kind == ValueKind::Signed; }
    // The present value as the number it stands for (sign-extended for INTEGER types).
    int64_t Number() const { return Widen(raw); }
    int64_t Widen(uint32_t value) const {
        if (kind != ValueKind::Signed) {
            return static_cast<int64_t>(value);
        }
        if (width == 4) {
            return static_cast<int64_t>(static_cast<int32_t>(value));
        }
        uint32_t sign = 1u << (width * 8 - 1);
        uint32_t mask = (sign << 1) - 1;
        value &= mask;
        return (value & sign) ? static_cast<int64_t>(value) - (static_cast<int64_t>(mask) + 1)
                              : value;
    }
    uint32_t Narrow(int64_t number) const {
        uint32_t value = static_cast<uint32_t>(number);
        return width >= 4 ? value : value & ((1u << (width * 8)) - 1);
    }
};

}  // namespace tarvo::sim
