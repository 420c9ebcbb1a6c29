#pragma once

#include <cstdint>
#include <string>

namespace tarvo {

// The meaning of an SDO abort code as CANopen (CiA 301) defines it.
class AbortText {
public:
    // "Attempt to write a read only object" and the like; "unknown abort code" otherwise.
    static std::string Meaning(uint32_t code);
    // "abort 0x06010002 (Attempt to write a read only object)".
    static std::string Describe(uint32_t code);
};

}  // namespace tarvo
