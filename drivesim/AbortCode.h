#pragma once

#include <cstdint>

namespace tarvo::sim {

// The abort codes the drive answers refused requests with (command byte 0x80).
namespace AbortCode {
constexpr uint32_t kNone = 0;
constexpr uint32_t kToggleNotAlternated = 0x05030000;
constexpr uint32_t kUnknownCommand = 0x05040001;
constexpr uint32_t kWriteReadOnly = 0x06010002;
constexpr uint32_t kNoSuchObject = 0x06020000;
constexpr uint32_t kWrongLength = 0x06070010;
constexpr uint32_t kValueOutOfRange = 0x06090030;
constexpr uint32_t kGeneralError = 0x08000000;
constexpr uint32_t kDeviceState = 0x08000022;
}  // namespace AbortCode

}  // namespace tarvo::sim
