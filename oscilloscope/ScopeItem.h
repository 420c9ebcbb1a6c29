#pragma once

#include <cstdint>
#include <string>

namespace tarvo {

// The code that names a sampled or triggering object in the capture object's slots: index in
// bits 31..16, subindex in bits 15..8, width in bits in bits 7..0. In the view's channel
// lists bit 0 of the width additionally marks a signed object (17 or 33).
namespace ScopeItemCode {

constexpr uint32_t Make(uint32_t address, int widthBits, bool isSigned) {
    return address << 8 | static_cast<uint32_t>(widthBits) | (isSigned ? 1u : 0u);
}
constexpr uint32_t Address(uint32_t code) {
    return code >> 8;
}
constexpr int Width(uint32_t code) {
    return static_cast<int>(code & 0xFE);
}
constexpr bool IsSigned(uint32_t code) {
    return (code & 1u) != 0;
}
// The code as the drive takes it: without the signed mark.
constexpr uint32_t ForSlot(uint32_t code) {
    return code & ~1u;
}

}  // namespace ScopeItemCode

// One object that may be sampled on a channel or used as the trigger.
struct ScopeItem {
    int ordinal = 0;  // 1 for the first item of its list, each newer one more
    uint32_t code = 0;
    std::string name;
};

}  // namespace tarvo
