#pragma once

#include <cstdint>
#include <optional>

#include "protocol/DriveProtocol.h"

namespace tarvo {

// The object word of the transfer files: index in bits 31-16, subindex in bits 15-8 and the
// value's width in bits (08h, 10h, 20h) in bits 7-0, as in a PDO mapping entry.
struct ObjectWord {
    uint32_t word = 0;

    // The dictionary key (index * 256 + subindex).
    uint32_t Key() const { return word >> 8; }
    uint32_t SizeBits() const { return word & 0xFF; }
    bool HasValidSize() const { return SizeBits() == 8 || SizeBits() == 16 || SizeBits() == 32; }
    // The write command of the width; none when the size is not one of 8, 16 and 32 bits.
    std::optional<SdoCommand> WriteCommand() const {
        if (!HasValidSize()) {
            return std::nullopt;
        }
        return WriteCommandOfWidth(static_cast<int>(SizeBits() / 8));
    }
};

}  // namespace tarvo
